// The game's own drawing on top of the engine's immediate helpers: the skinned frames (dialog
// frame, rounded frame), the progress bar, centred and bubbled text and debug shapes in the
// world. Skin pieces are textures looked up by label; a missing one is left out. Coordinates are
// window pixels; colours 0xAARRGGBB. Main thread, inside a frame.
#pragma once

#include <cstdint>

#include "base/math/Limit.h"

// ---- skin pieces (labels of the "Texture" resources)
inline constexpr float kSkinCornerSize = 32.0f;  // the dialog and rounded frames' corner pieces

// Plain alpha blending at alpha 255, else the textures' alpha scaled by alpha.
void SetBlendForAlpha(uint8_t alpha);

// The texture labelled label at (x, y) scaled, else the image of that label; nothing when neither
// exists. Blend states are the caller's.
void DrawPictureAt(const char* label, float x, float y, float scale);

// A one-pixel outline in 0xFFDCA459 around the rectangle, coordinates truncated (the edit field's
// focus mark).
void DrawHighlightRect(float x0, float y0, float x1, float y1);
// The progress bar: end caps "hbar_left" and "hbar_right" beside the rectangle, "hbar_center"
// under it, and "hbar_filler" tinted with colour up to value (clamped to [0, 1]) of the width,
// dimmed to a quarter after it. Always 32 pixels high from the top; the bottom is not used.
void DrawHBar(const base::tRectf& rect, float value, uint32_t colour);
// Black at the smaller of the two alphas over the rectangle, then the four "dialog_*" corners,
// faded by alpha below 255.
void DrawDialogFrame(float x0, float y0, float x1, float y1, uint8_t backgroundAlpha, uint8_t alpha);
// The nine "frame_round_*" pieces filling the rectangle: 32-pixel corners, stretched edges and
// centre; faded by alpha below 255.
void DrawRoundFrame(float x0, float y0, float x1, float y1, uint8_t alpha);

// ---- text through the current font, centred lines wrapped at 500 pixels (250 when above)
// Without above: the block centred on (x, y) and, while a scene is shown, kept on the scene
// horizontally and in the window vertically. With above: its bottom centre at (x, y), kept
// 5 pixels inside the window's left and right edges. The font's properties are restored.
void DrawTextCentered(float x, float y, const char16_t* text, uint32_t textColour, uint32_t outlineColour, bool above);
// The same text in a dialog frame with a 25-pixel margin, fading in during the third second of
// time (nothing before 2 s, opaque from 3 s): tooltips, spoken lines and interface texts.
void DrawTextBubble(float x, float y, const char16_t* text, uint32_t textColour, uint32_t outlineColour, float time,
                    bool above);
// The bubble's alpha at time: 255 × (time − 2) clamped to [0, 255], truncated.
uint8_t TextBubbleAlpha(float time);
// Where the caption of a figure on the screen (its rectangle) is centred, for DrawTextCentered
// or, with bubble (its frame counted), DrawTextBubble without above: over the figure's head, or
// where the window has no room there, beside the head (right of the figure, else left). The
// current font measures the text.
base::tVector2<float> FigureCaptionCentre(const base::tRectf& figure, const char16_t* text, bool bubble);

// The horizontal span of the shown scene that text is kept on: its width, its horizontal
// scroll offset and its effective zoom.
struct st_SceneSpan {
  float width = 0.0f;
  float offset = 0.0f;
  float zoom = 1.0f;
};
// False while no session shows a scene (text is then only kept in the window by the callers' rules).
bool GetSceneSpanForText(st_SceneSpan& out);

// ---- debug shapes in the world (world transform reset to identity)
// Three lines of length 50 through the point, along x, y and z.
void DrawDebugCross3D(float x, float y, float z, uint32_t colour);
// A circle in the horizontal plane at height y, one segment per whole unit of radius (none below
// 1, at most gfx::kMaxCircleSegments).
void DrawDebugCircle3D(float x, float y, float z, float radius, uint32_t colour);
