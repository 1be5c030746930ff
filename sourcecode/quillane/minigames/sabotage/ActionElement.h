// cl_ActionElement: one drawable piece of the Sabotage panels (a knob, a lever, a metal plate, a
// fluid bar, a lamp, a label or a coloured box) with its place, its size, its hit test and a queue
// of timed steps that move, turn, resize it or play its strip one after the other. The panels
// never animate an element directly: they queue steps, update the element every frame and wait
// while it reports that it still animates. Main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "base/String.h"

namespace gfx {
class cl_Image;
class cl_Texture;
class cl_TextureStrip;
}  // namespace gfx

namespace quillane {

class cl_MinigameDataFile;

class cl_ActionElement {
 public:
  // One queued step; it animates the element whose queue holds it.
  struct st_Animation {
    explicit st_Animation(cl_ActionElement* element) : m_Element(element) {}
    virtual ~st_Animation() = default;
    virtual bool Update(float dt) = 0;  // advances by dt seconds; false once the step has ended
    virtual void Reset() {}             // the queue is cleared before the step ended

    cl_ActionElement* m_Element;  // not owned
  };
  // Turns towards the target at π radians a second; ends the frame after reaching it.
  struct st_Rotation : st_Animation {
    st_Rotation(cl_ActionElement* element, float target) : st_Animation(element), m_Target(target) {}
    bool Update(float dt) override;
    float m_Target;
  };
  // Moves two of the element's values in a straight line to their targets in the duration,
  // starting from where they are when the step starts; a step of no length jumps.
  struct st_Linear : st_Animation {
    st_Linear(cl_ActionElement* element, float& a, float& b, float targetA, float targetB, float duration)
        : st_Animation(element), m_A(a), m_B(b), m_TargetA(targetA), m_TargetB(targetB), m_Duration(duration) {}
    bool Update(float dt) override;
    float& m_A;
    float& m_B;
    float m_TargetA, m_TargetB;
    float m_StartA = 0.0f, m_StartB = 0.0f;
    bool m_Started = false;
    float m_Duration;
    float m_Elapsed = 0.0f;
  };
  // Moves (m_X, m_Y).
  struct st_Translation : st_Linear {
    st_Translation(cl_ActionElement* element, float x, float y, float duration)
        : st_Linear(element, element->m_X, element->m_Y, x, y, duration) {}
  };
  // Changes (m_Width, m_Height).
  struct st_Scale : st_Linear {
    st_Scale(cl_ActionElement* element, float w, float h, float duration)
        : st_Linear(element, element->m_Width, element->m_Height, w, h, duration) {}
  };
  // Plays the element's strip once (ends after its last frame) or in a loop (ends only when the
  // queue is cleared, which rewinds the strip).
  struct st_StripRun : st_Animation {
    st_StripRun(cl_ActionElement* element, bool loop) : st_Animation(element), m_Loop(loop) {}
    bool Update(float dt) override;
    void Reset() override;
    bool m_Started = false;
    bool m_Loop;
  };

  cl_ActionElement();
  ~cl_ActionElement();  // the strip and the queued steps go with the element
  cl_ActionElement(const cl_ActionElement&) = delete;
  cl_ActionElement& operator=(const cl_ActionElement&) = delete;

  // ---- set-up (pictures are found by label; a missing one leaves the handle null and the size)
  // A rotated texture: centred in its middle, the element as large as the texture.
  void SetTexture(const char* label, float x, float y, float rotation);
  // A stretched texture between (x, y) and (x + width, y + height); m_Quad is the owner's choice.
  void SetTextureRect(const char* label, float x, float y, float width, float height);
  void SetImage(const char* label, float x, float y);
  // The next record of the file as the element's strip, placed by its frame box (x and y at the
  // scale, the size unscaled). False when the record does not fit.
  bool ReadStrip(cl_MinigameDataFile& file, float scale);

  // ---- every frame
  // Draws the element with its panel's origin at (offsetX, offsetY).
  void Draw(float offsetX, float offsetY, float scale);
  // Whether the point (relative to the panel's origin) lies on the element, borders included:
  // the corner unscaled, the size scaled.
  bool HitTest(float px, float py, float scale) const;
  // Runs the queue: steps that end are dropped and the next one starts with the same dt. True
  // while steps are left.
  bool Update(float dt);
  void StopAnimations();  // every queued step reset and dropped
  bool IsAnimating() const { return !m_Animations.empty(); }

  // ---- queueing steps (a relative step measures from the element as it is now)
  void AddRotation(float angle, bool absolute);
  void AddTranslation(float dx, float dy, float duration, bool absolute);
  void AddScale(float dw, float dh, float duration, bool absolute);
  void AddStripRun(bool loop);

  float m_X = 0.0f, m_Y = 0.0f;
  float m_Width = 0.0f, m_Height = 0.0f;
  float m_Rotation = 0.0f;
  bool m_Stretch = false;
  bool m_Quad = false;
  gfx::cl_Texture* m_Texture = nullptr;  // not owned
  gfx::cl_Image* m_Image = nullptr;      // not owned
  std::unique_ptr<gfx::cl_TextureStrip> m_Strip;
  uint32_t m_Colour = 0;  // a label's text or a box's fill
  base::tString<base::BaseUnicodeString> m_Text;
  std::deque<std::unique_ptr<st_Animation>> m_Animations;  // the first one runs
};

}  // namespace quillane
