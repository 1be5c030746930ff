#include "quillane/minigames/decoder/Decoder.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>
#include <string_view>

#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "base/math/Random.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/screen/FontScope.h"
#include "quillane/settings/TweakSettings.h"
#include "quillane/text/Localised.h"

namespace quillane {

namespace {

constexpr uint32_t kTextColour = 0xFF000000u, kOutlineColour = 0xFF808080u;
constexpr uint32_t kLabelColour = 0xFFFFFFFFu, kLabelOutline = 0xFF191919u;
// The status dial turns 0.25 radians a frame at 60 frames a second, whatever the frame rate: at
// slower frames a per-frame turn would outlast the second after solving, and the "Win" box would
// never show.
constexpr float kDialSpeed = 15.0f;
// The scramble gives up after this many tries (only level data can make it fail).
constexpr int kMaxScrambles = 1000;

// Knob centres of the vowel, consonant and alphabet wheels, from the machine's corner.
constexpr float kKnobCenters[3][2] = {{277.0f, 440.0f}, {512.0f, 440.0f}, {747.0f, 440.0f}};

// ORDER ARROWS: wheel, direction, and either the knob it rides on (arm ±50, radius 25) or its
// fixed place (radius 15), for arrows 0 to 11.
struct st_ArrowPlace {
  int wheel;
  int direction;
  bool onKnob;
  float x, y;  // the arm on the knob, or the fixed place
};
constexpr st_ArrowPlace kArrowPlaces[cl_DecoderPanel::kArrows] = {
    {cl_DecoderCipher::WHEEL_CONSONANTS, 1, true, 50.0f, 0.0f},
    {cl_DecoderCipher::WHEEL_CONSONANTS, -1, true, -50.0f, 0.0f},
    {cl_DecoderCipher::WHEEL_VOWELS, 1, true, 50.0f, 0.0f},
    {cl_DecoderCipher::WHEEL_VOWELS, -1, true, -50.0f, 0.0f},
    {cl_DecoderCipher::WHEEL_ALPHABET, 1, true, 50.0f, 0.0f},
    {cl_DecoderCipher::WHEEL_ALPHABET, -1, true, -50.0f, 0.0f},
    {cl_DecoderCipher::WHEEL_CONSONANTS, 1, false, 434.0f, 552.0f},
    {cl_DecoderCipher::WHEEL_CONSONANTS, -1, false, 599.0f, 552.0f},
    {cl_DecoderCipher::WHEEL_VOWELS, 1, false, 193.0f, 552.0f},
    {cl_DecoderCipher::WHEEL_VOWELS, -1, false, 357.0f, 552.0f},
    {cl_DecoderCipher::WHEEL_ALPHABET, 1, false, 668.0f, 552.0f},
    {cl_DecoderCipher::WHEEL_ALPHABET, -1, false, 832.0f, 552.0f},
};

// The labels under the knobs, each centred in a 112 × 15 box.
struct st_Label {
  const char* text;
  float x, y;
};
constexpr st_Label kLabels[3] = {{"#decod0_1464 Vowels", 221.0f, 546.0f},
                                 {"#decod0_1468 Consonants", 455.0f, 546.0f},
                                 {"#decod0_1472 Alphabet", 691.0f, 546.0f}};
// The labels' fonts, largest first. The machine is drawn smaller in a smaller window, its text
// is not: the first font in which every label fits between its wheel's two fixed arrow buttons
// writes all three.
constexpr const char* kLabelFonts[] = {"game", "diary", "tooltip"};
constexpr float kFixedArrowRadius = 15.0f, kLabelMargin = 4.0f;

// The room between the wheel's fixed arrow buttons (label i is wheel i's), on the machine.
float LabelRoom(int wheel) {
  float left = 1e9f, right = -1e9f;
  for (const st_ArrowPlace& place : kArrowPlaces)
    if (!place.onKnob && place.wheel == wheel) left = std::min(left, place.x), right = std::max(right, place.x);
  return right - left - 2.0f * (kFixedArrowRadius + kLabelMargin);
}

std::u16string Attribute(const base::Variant* mission, const char* name, const char* fallback) {
  base::String text(fallback);
  if (mission) {
    text = "";
    mission->get_attribute_string(name, text);
  }
  const base::tString<base::BaseUnicodeString> out = Localised(text.c_str());
  return std::u16string(out.c_str(), static_cast<size_t>(out.size()));
}

}  // namespace

cl_DecoderPanel::cl_DecoderPanel() {
  m_Label = "DecoderGame";
  m_cipher.SetDefaultSets();
  const float cx = base::sys::GetWindowWidth() / 2.0f, cy = base::sys::GetWindowHeight() / 2.0f;
  m_Tutorials.emplace_back(
      "#decod0_01 The telegram is in code. The machine has three wheels: one for the vowels, one for the "
      "consonants and one for the cipher alphabet. Each knob turns its wheel either way.",
      cx, cy, 400, 4, "Start", 10.0f);
  m_Tutorials.emplace_back(
      "#decod0_02 Turn the wheels until the letters form a meaningful sentence. Click the arrows on either "
      "side of a knob, or the arrow buttons left and right of its label below.",
      cx, cy, 400, 4, "Start", 10.0f);
  m_Tutorials.emplace_back("#decod0_03 Success! The message has been deciphered.", cx, cy, 400, 4, "Win", 10.0f);
}

cl_DecoderPanel::~cl_DecoderPanel() = default;

i_Minigame* cl_DecoderPanel::Create() { return new cl_DecoderPanel; }

int cl_DecoderPanel::ArrowWheel(int arrow) { return kArrowPlaces[arrow].wheel; }
int cl_DecoderPanel::ArrowDirection(int arrow) { return kArrowPlaces[arrow].direction; }

// ---- data file

bool cl_DecoderPanel::Records(cl_MinigameDataFile& data) {
  for (gfx::cl_Image* image : {&m_back, &m_machineBack, &m_textBack, &m_textFront}) data.Record(*image);
  data.Record(m_knob);
  data.Record(m_status);
  return data.Finish(*this);
}

bool cl_DecoderPanel::Compile(const char* dataFile) {
  base::sys::Output("Compile Decoder Minigame\n");
  struct {
    gfx::cl_Image* image;
    const char* file;
  } const pictures[] = {{&m_back, "gui/minigames/decoder/back.tga"},
                        {&m_machineBack, "gui/minigames/decoder/machineback.tga"},
                        {&m_textBack, "gui/minigames/decoder/textback.tga"},
                        {&m_textFront, "gui/minigames/decoder/textfront.tga"}};
  // The machine is centred by its picture's size, so the pictures keep the size they were painted at.
  for (const auto& picture : pictures)
    if (!CompileImageOwnSize(*picture.image, picture.file)) {
      base::sys::Output("Compile Decoder Minigame Error! Texture %s not exists!\n", picture.file);
      return false;
    }
  CompileTexture(m_knob, "gui/minigames/decoder/knob.tga");
  CompileTexture(m_status, "gui/minigames/decoder/status.tga");
  CompilePanicStrip("gui/minigames/decoder/texturestrips/panicbutton");
  cl_MinigameDataFile data;
  return data.OpenWrite(dataFile) && Records(data);
}

// ---- start of a play

void cl_DecoderPanel::ReadLevel(const base::Variant* mission) {
  m_cipher.SetDefaultSets();
  if (mission) {
    m_cipher.m_Sets[cl_DecoderCipher::WHEEL_VOWELS] = Attribute(mission, "Vowels", "");
    m_cipher.m_Sets[cl_DecoderCipher::WHEEL_CONSONANTS] = Attribute(mission, "Consonants", "");
    m_cipher.m_Sets[cl_DecoderCipher::WHEEL_ALPHABET] = Attribute(mission, "Alphabet", "");
  }
  const std::u16string messages[2] = {Attribute(mission, "MessageL1", "PAY NO ATTENTION TO THE"),
                                      Attribute(mission, "MessageL2", "MAN AT THE HARBOUR GATE")};
  for (int i = 0; i < 2; ++i) m_lines[i].Set(messages[i].substr(0, kMaxLineLength));
  const char* sizeNames[3] = {"MaxVowels", "MaxConsonants", "MaxAlphabet"};
  const int defaults[3] = {static_cast<int>(m_cipher.m_Sets[cl_DecoderCipher::WHEEL_VOWELS].size()), 6, 10};
  for (int wheel = 0; wheel < 3; ++wheel) {
    int size = defaults[wheel];
    if (mission) mission->get_attribute_int(sizeNames[wheel], size);
    const int length = static_cast<int>(m_cipher.m_Sets[wheel].size());
    m_cipher.m_Sizes[wheel] = size < 0 ? 0 : (size > length ? length : size);
    m_cipher.m_Offsets[wheel] = 0;
    m_knobAngles[wheel] = 0.0f;
  }
}

bool cl_DecoderPanel::Scramble() {
  for (int attempt = 0; attempt < kMaxScrambles; ++attempt) {
    for (int wheel = 0; wheel < 3; ++wheel)
      m_cipher.m_Offsets[wheel] = cl_DecoderCipher::WrapOffset(
          m_cipher.m_Offsets[wheel] + base::Random(m_cipher.m_Sizes[wheel] + 1), m_cipher.m_Sizes[wheel]);
    for (st_DecoderLine& line : m_lines) m_cipher.Encipher(line);
    if (!IsSolved()) return true;
  }
  return false;
}

base::tVector2<float> cl_DecoderPanel::OnMachine(float x, float y) const {
  return {m_machine[0] + x * m_Scale, m_machine[1] + y * m_Scale};
}

void cl_DecoderPanel::LayOut() {
  // The machine scales with the window's width, as the backdrop does: painted for 1024 pixels,
  // it would reach past a smaller window's edges.
  const int width = base::sys::GetWindowWidth(), height = base::sys::GetWindowHeight();
  m_machine[0] = std::trunc((static_cast<float>(width) - m_machineBack.GetWidth() * m_Scale) / 2.0f);
  m_machine[1] = std::trunc((static_cast<float>(height) - m_machineBack.GetHeight() * m_Scale) / 2.0f);
  // The knob turns about its picture's centre, whatever the scale.
  m_knobSize[0] = static_cast<float>(m_knob.GetWidth());
  m_knobSize[1] = static_cast<float>(m_knob.GetHeight());
  for (int wheel = 0; wheel < 3; ++wheel) {
    const base::tVector2<float> centre = OnMachine(kKnobCenters[wheel][0], kKnobCenters[wheel][1]);
    m_knobPositions[wheel][0] = std::trunc(centre.x - m_knobSize[0] / 2.0f);
    m_knobPositions[wheel][1] = std::trunc(centre.y - m_knobSize[1] / 2.0f);
  }
  for (int i = 0; i < kArrows; ++i) {
    const st_ArrowPlace& place = kArrowPlaces[i];
    const float steps = static_cast<float>(m_cipher.m_Sizes[place.wheel]);
    if (place.onKnob) {
      const base::tVector2<float> centre = OnMachine(kKnobCenters[place.wheel][0], kKnobCenters[place.wheel][1]);
      m_arrows[i].Place(centre.x, centre.y, place.x * m_Scale, place.y * m_Scale, 25.0f * m_Scale, steps);
    } else {
      const base::tVector2<float> at = OnMachine(place.x, place.y);
      m_arrows[i].Place(at.x, at.y, 0.0f, 0.0f, 15.0f * m_Scale, steps);
    }
  }
  PlaceKnobArrows();
}

bool cl_DecoderPanel::Init(base::Variant* mission, bool restart) {
  cl_MinigameDataFile data;
  if (!restart && !(data.OpenRead(m_DataFile.c_str()) && Records(data))) {
    base::sys::Output("Decoder Minigame Error! Cannot read Textures!\n");
    return false;
  }
  m_backgroundOffset = (base::sys::GetWindowHeight() - m_back.GetHeight() * m_Scale) / 2.0f;
  m_solved = m_left = m_clatterOn = false;
  m_edge = EDGE_NONE;
  m_time = m_endTime = m_statusAngle = m_statusTarget = 0.0f;
  ReadLevel(mission);
  const std::string problem = m_cipher.CheckLevel(m_lines[0].m_Plain, m_lines[1].m_Plain);
  if (!problem.empty()) {
    base::sys::Output("ERROR: Decoder level '%s': %s\n", m_MissionPath.c_str(), problem.c_str());
    return false;
  }
  if (!Scramble()) {
    base::sys::Output("ERROR: Decoder level '%s': the message could not be scrambled\n", m_MissionPath.c_str());
    return false;
  }
  LayOut();
  if (gfx::cl_Font* font = gfx::FontExists("decoder")) gfx::SetFont(font);
  m_labelFont = ChooseLabelFont();
  ResetPanicTimer(static_cast<float>(Decoder_Panic_Timeout));
  TriggerTutorial("Missions/Minigames/Decoder", "Start", true);
  return true;
}

// ---- play

void cl_DecoderPanel::End() {
  if (m_Finished) m_solved = true;
  SetResult(m_solved);
  m_solved = m_left = m_clatterOn = false;
  m_edge = EDGE_NONE;
  m_time = m_endTime = m_statusAngle = m_statusTarget = 0.0f;
  for (st_DecoderLine& line : m_lines) line.Set(std::u16string());
  SetGameCursor("gamecursor");
}

bool cl_DecoderPanel::IsSolved() const {
  return cl_DecoderCipher::IsSolved(m_lines[0]) && cl_DecoderCipher::IsSolved(m_lines[1]);
}

bool cl_DecoderPanel::IsFinished() {
  return m_Finished || m_left || (m_solved && m_endTime > 0.0f && m_time >= m_endTime);
}

void cl_DecoderPanel::Update(float dt) {
  i_Minigame::Update(dt);
  if (UpdateTutorial(dt)) return;
  m_time += dt;
  m_solved = IsSolved();
  if (!m_solved) {
    if (m_statusTarget != 0.0f) {
      m_statusTarget = 0.0f;
      m_statusAngle = std::numbers::pi_v<float>;
    }
    const float turned = m_statusAngle - kDialSpeed * dt;
    m_statusAngle = turned < m_statusTarget ? m_statusTarget : turned;
  } else {
    if (m_statusTarget == std::numbers::pi_v<float>) {
      m_statusAngle += kDialSpeed * dt;
      if (m_statusAngle > std::numbers::pi_v<float>) {
        m_statusAngle = std::numbers::pi_v<float>;
        TriggerTutorial("", "Win", false);
      }
    } else {
      m_statusTarget = std::numbers::pi_v<float>;
      m_statusAngle = 0.0f;
    }
    if (m_endTime == 0.0f) {
      m_endTime = m_time + 1.0f;
      if (!m_SkipVisible) RaiseSkill(m_time <= 60.0f ? 30 : (m_time <= 180.0f ? 20 : 10));
    }
  }
  for (st_DecoderLine& line : m_lines)
    if (m_cipher.Roll(line, dt) && m_clatterOn) PlayGameSound("sfx/MG_Decoder_clatter.ogg", "DecoderClatter", 0.5f);
}

void cl_DecoderPanel::PlaceKnobArrows() {
  for (int i = 0; i < kArrows; ++i) {
    const st_ArrowPlace& place = kArrowPlaces[i];
    if (!place.onKnob) continue;
    m_arrows[i].SetStep(m_cipher.m_Sizes[place.wheel] * m_knobAngles[place.wheel] / (2.0f * std::numbers::pi_v<float>));
    m_arrows[i].UpdateRect(0.0f, 0.0f);
  }
}

void cl_DecoderPanel::TurnWheel(int wheel, int d) {
  m_cipher.Turn(wheel, d);
  if (m_cipher.m_Sizes[wheel] > 0) {
    float& angle = m_knobAngles[wheel];
    angle += static_cast<float>(d) * (2.0f * std::numbers::pi_v<float>) / static_cast<float>(m_cipher.m_Sizes[wheel]);
    if (angle > (2.0f * std::numbers::pi_v<float>)) angle -= 2.0f * std::numbers::pi_v<float>;
    if (angle < 0.0f) angle += 2.0f * std::numbers::pi_v<float>;
  }
  PlayGameSound("sfx/MG_Decoder_click.ogg", "DecoderClick", 1.0f);
  for (st_DecoderLine& line : m_lines) m_cipher.Recompute(line, d > 0);
}

int cl_DecoderPanel::ArrowAt(float x, float y) const {
  for (int i = 0; i < kArrows; ++i)
    if (m_arrows[i].Hits(x, y)) return i;
  return kNoArrow;
}

bool cl_DecoderPanel::OverSkipButton(float x, float y) const {
  return m_PanicStrip && m_SkipVisible && m_PanicStrip->IsInside(x, y - m_backgroundOffset, m_Scale);
}

bool cl_DecoderPanel::HandleInput(base::ICMD& cmd) {
  if (HitSkipButton(cmd, 0.0f, m_backgroundOffset, m_Scale) || HandleTutorialInput(cmd)) return true;
  const float x = cmd.mouseX, y = cmd.mouseY;
  const int arrow = ArrowAt(x, y);
  if (!m_solved) {
    SetGameCursor(arrow != kNoArrow ? "cursor_manipulate" : "gamecursor");
    if (cmd.type == base::ICMD::MOUSE_MOVE) {
      m_edge = OverSkipButton(x, y) ? EDGE_NONE : EdgeZoneAt(cmd.mouseX);
      if (m_edge == EDGE_LEFT) SetGameCursor("cursor_exit_left");
      if (m_edge == EDGE_RIGHT) SetGameCursor("cursor_exit_right");
      return true;
    }
  } else {
    SetGameCursor("gamecursor");
  }
  if (cmd.type == base::ICMD::LEFT_DOWN && m_edge != EDGE_NONE) m_left = true;
  // Solved, the machine uses nothing more: the commands go on (F1 leaves the editor it is open in).
  if (m_solved) return false;
  if (cmd.type != base::ICMD::LEFT_UP) return false;
  if (m_lines[0].IsRolling() || m_lines[1].IsRolling()) return false;
  if (arrow != kNoArrow) TurnWheel(kArrowPlaces[arrow].wheel, kArrowPlaces[arrow].direction);
  PlaceKnobArrows();
  m_clatterOn = true;
  return true;
}

// ---- play targets

bool cl_DecoderPanel::GetPlayTarget(const char* name, float& x, float& y) {
  // ORDER WHEELS: the wheels by their names in the play targets.
  static constexpr const char* kBackTargets[cl_DecoderCipher::WHEEL_COUNT] = {"vowels back", "consonants back",
                                                                              "alphabet back"};
  const std::string_view what(name ? name : "");
  for (int wheel = 0; wheel < cl_DecoderCipher::WHEEL_COUNT; ++wheel) {
    if (what != kBackTargets[wheel]) continue;
    const int offset = m_cipher.m_Offsets[wheel];
    const base::tVector2<float> knob = OnMachine(kKnobCenters[wheel][0], kKnobCenters[wheel][1]);
    x = knob.x, y = knob.y;
    for (int i = 0; i < kArrows && offset != 0; ++i) {
      const st_ArrowPlace& place = kArrowPlaces[i];
      if (place.onKnob || place.wheel != wheel || (place.direction > 0) == (offset > 0)) continue;
      x = m_arrows[i].m_Position[0], y = m_arrows[i].m_Position[1];
    }
    return IsOnWindow(x, y);
  }
  return i_Minigame::GetPlayTarget(name, x, y);
}

bool cl_DecoderPanel::IsPlayCondition(const char* name) {
  return i_Minigame::IsPlayCondition(name) && !m_lines[0].IsRolling() && !m_lines[1].IsRolling();
}

// ---- drawing

void cl_DecoderPanel::DrawLine(const st_DecoderLine& line, float x, float y) {
  const int offset = static_cast<int>(std::lround(line.m_RollProgress * m_Scale));
  const float cell = kCellWidth * m_Scale, step = 30.0f * m_Scale;
  for (size_t i = 0; i < line.m_Shown.size(); ++i) {
    const float cellX = x + cell * static_cast<float>(i);
    auto drawLetter = [&](char16_t c, float top) {
      const char16_t letter[2] = {c, 0};
      const int left = static_cast<int>(cellX + (cell - gfx::GetTextWidthW(letter)) / 2.0f);
      gfx::DrawTextOutlinedW(left, static_cast<int>(top), letter, kTextColour, kOutlineColour);
    };
    const char16_t previous = i < line.m_Previous.size() ? line.m_Previous[i] : line.m_Shown[i];
    const char16_t rolling = i < line.m_Rolling.size() ? line.m_Rolling[i] : line.m_Shown[i];
    if (previous == rolling || line.m_RollDistance == 0) {
      drawLetter(line.m_Shown[i], y);
    } else {
      drawLetter(previous, y + offset);
      drawLetter(rolling, (line.m_RollDistance > 0 ? y - step : y + step) + offset);
    }
  }
}

gfx::cl_Font* cl_DecoderPanel::ChooseLabelFont() const {
  cl_FontScope scope(nullptr);
  gfx::cl_Font* chosen = nullptr;
  for (const char* label : kLabelFonts) {
    gfx::cl_Font* font = gfx::FontExists(label);
    if (!font) continue;
    gfx::SetFont(font);
    chosen = font;
    bool fits = true;
    for (int i = 0; i < static_cast<int>(std::size(kLabels)) && fits; ++i) {
      base::tString<base::BaseUnicodeString> text;
      base::sys::Localize(kLabels[i].text, text);
      fits = gfx::GetTextWidthW(text.c_str()) <= LabelRoom(i) * m_Scale;
    }
    if (fits) break;
  }
  return chosen;
}

void cl_DecoderPanel::DrawLabels() {
  cl_FontScope font(m_labelFont);
  for (const st_Label& label : kLabels) {
    base::tString<base::BaseUnicodeString> text;
    base::sys::Localize(label.text, text);
    const base::tVector2<float> size = gfx::GetTextSizeW(text.c_str());
    const base::tVector2<float> box = OnMachine(label.x, label.y);
    gfx::DrawTextOutlinedW(static_cast<int>(box.x + (112.0f * m_Scale - size.x) / 2.0f),
                           static_cast<int>(box.y + (15.0f * m_Scale - size.y) / 2.0f), text.c_str(), kLabelColour,
                           kLabelOutline);
  }
}

void cl_DecoderPanel::Render(float, float) {
  const float width = static_cast<float>(base::sys::GetWindowWidth());
  const float height = static_cast<float>(base::sys::GetWindowHeight());
  gfx::Begin2D();
  gfx::FillRect(0.0f, 0.0f, width, height, 0xFF000000u);
  gfx::SetBlendNone();  // the texture's colour again after the flat fill
  gfx::SetBlendAlpha(true);
  gfx::SetFilterLinear();
  if (m_back.GetTileCount() > 0) m_back.Draw(0.0f, m_backgroundOffset, m_Scale);
  if (m_machineBack.GetTileCount() > 0) m_machineBack.Draw(m_machine[0], m_machine[1], m_Scale);
  if (m_status.GetStatus() != 0) {
    const base::tVector2<float> dial = OnMachine(512.0f, 264.0f);
    m_status.DrawRotated(dial.x - static_cast<float>(m_status.GetWidth() / 2),
                         dial.y - static_cast<float>(m_status.GetHeight() / 2), m_statusAngle, m_Scale);
  }
  if (m_textBack.GetTileCount() > 0) m_textBack.Draw(m_machine[0], m_machine[1], m_Scale);
  {
    cl_FontScope font(gfx::FontExists("decoder"));
    for (int i = 0; i < 2; ++i) {
      const base::tVector2<float> at = OnMachine(133.0f, i == 0 ? 80.0f : 178.0f);
      DrawLine(m_lines[i], at.x, at.y);
    }
  }
  gfx::SetBlendAlpha(true);
  if (m_textFront.GetTileCount() > 0) m_textFront.Draw(m_machine[0], m_machine[1], m_Scale);
  DrawLabels();
  gfx::SetBlendAlpha(true);
  if (m_knob.GetStatus() != 0)
    for (int wheel = 0; wheel < 3; ++wheel)
      m_knob.DrawRotated(m_knobPositions[wheel][0], m_knobPositions[wheel][1], m_knobAngles[wheel], m_Scale);
  for (cl_RotateButton& arrow : m_arrows) arrow.Render(0.0f, 0.0f);
  DrawTutorial();
  DrawSkipButton(0.0f, m_backgroundOffset, m_Scale);
  DrawExitHint(m_edge);  // in the font "tooltip"
}

}  // namespace quillane
