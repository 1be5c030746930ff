// cl_DecoderPanel: the message-decoding mini-game ("Decoder"). Two lines of a message are shown
// enciphered by three code wheels (vowels, consonants, cipher alphabet); the player turns each
// wheel's knob a step at a time with arrow buttons (two riding on the knob, two fixed below it)
// and the letters roll to their new values. Won when both lines read as the plain message; the
// edges leave (lost), the skip button counts as won. Main thread only.
#pragma once

#include <array>
#include <string>

#include "base/math/Vector.h"
#include "graphics/Texture.h"
#include "graphics/image/Image.h"
#include "quillane/minigames/Minigame.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/minigames/decoder/DecoderCipher.h"
#include "quillane/minigames/decoder/RotateButton.h"

namespace gfx {
class cl_Font;
}

namespace quillane {

class cl_DecoderPanel : public i_Minigame {
 public:
  static constexpr int kArrows = 12;
  static constexpr int kNoArrow = kArrows;
  static constexpr int kMaxLineLength = 30;
  static constexpr float kCellWidth = 26.0f;

  cl_DecoderPanel();
  ~cl_DecoderPanel() override;
  static i_Minigame* Create();

  // Reads the data file (unless restart), the level from the mission element (defaults without
  // one), scrambles the wheels and lays out the machine. False, with a log line, when the data
  // file cannot be read or the level cannot be played.
  using i_Minigame::Init;  // the window's own Init stays reachable
  bool Init(base::Variant* mission, bool restart) override;
  // Writes Win (solved or skipped: 1; left: 0) and empties the lines.
  void End() override;
  bool IsFinished() override;
  bool HandleInput(base::ICMD& cmd) override;
  bool Compile(const char* dataFile) override;
  void Update(float dt) override;
  void Render(float x, float y) override;
  // "vowels|consonants|alphabet back": the fixed arrow that turns the wheel towards offset 0 (at
  // offset 0 the knob's middle, where a click turns nothing); the base's.
  bool GetPlayTarget(const char* name, float& x, float& y) override;
  bool IsPlayCondition(const char* name) override;  // "idle": also no letter rolling

  // The four images, two textures and the skip strip, read or written by the open file's mode;
  // false (one "ERROR:" line) when the file does not fit.
  bool Records(cl_MinigameDataFile& data);

  // For tests and the play-through.
  const cl_DecoderCipher& GetCipher() const { return m_cipher; }
  const st_DecoderLine& GetLine(int i) const { return m_lines[i]; }
  const cl_RotateButton& GetArrow(int i) const { return m_arrows[i]; }
  // The wheel an arrow turns and its direction.
  static int ArrowWheel(int arrow);
  static int ArrowDirection(int arrow);
  bool IsSolved() const;
  float GetKnobAngle(int wheel) const { return m_knobAngles[wheel]; }

 private:
  void ReadLevel(const base::Variant* mission);
  bool Scramble();
  void LayOut();
  // A point of the machine picture, as painted, on the screen.
  base::tVector2<float> OnMachine(float x, float y) const;
  void PlaceKnobArrows();
  void TurnWheel(int wheel, int d);
  int ArrowAt(float x, float y) const;
  bool OverSkipButton(float x, float y) const;
  void DrawLine(const st_DecoderLine& line, float x, float y);
  // The largest font in which each wheel's label fits between its fixed arrow buttons at the
  // scale; null without any of the fonts.
  gfx::cl_Font* ChooseLabelFont() const;
  void DrawLabels();

  st_DecoderLine m_lines[2];
  cl_DecoderCipher m_cipher;
  float m_knobAngles[3] = {0.0f, 0.0f, 0.0f};
  float m_machine[2] = {0.0f, 0.0f};  // top-left corner of the machine picture
  float m_time = 0.0f;
  float m_statusAngle = 0.0f;
  float m_statusTarget = 0.0f;
  bool m_solved = false;
  bool m_left = false;
  int m_edge = 0;
  float m_knobSize[2] = {0.0f, 0.0f};
  float m_knobPositions[3][2] = {};
  std::array<cl_RotateButton, kArrows> m_arrows;
  float m_backgroundOffset = 0.0f;
  bool m_clatterOn = false;
  gfx::cl_Texture m_knob;
  gfx::cl_Texture m_status;
  gfx::cl_Image m_back;
  gfx::cl_Image m_machineBack;
  gfx::cl_Image m_textBack;
  gfx::cl_Image m_textFront;
  float m_endTime = 0.0f;
  gfx::cl_Font* m_labelFont = nullptr;  // chosen at the start, for the window's scale
};

}  // namespace quillane
