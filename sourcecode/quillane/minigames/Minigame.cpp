// The services every mini-game shares: the skip button, the result, level XML, the skip strip's
// record and the tutorial boxes.
#include "quillane/minigames/Minigame.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/app/ICMD.h"
#include "base/data/Binary.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "base/file/FileArchive.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/gfx.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/core/GameState.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/minigames/MinigameDataFile.h"
#include "quillane/screen/ScaledView.h"
#include "quillane/screen/FontScope.h"
#include "quillane/screen/ScreenDraw.h"
#include "sound/Sfx.h"

namespace quillane {

namespace {

constexpr float kQuickSkipDelay = 0.1f;  // with the option "Game/MinigamesPanicButton/Value" = 1
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kDarkGrey = 0xFF191919u;  // (25, 25, 25)
constexpr float kTooltipLift = 5.0f;
constexpr float kBoxMargin = 10.0f;  // between a tutorial box's frame and its text
// After the last box has gone, presses belong to it for this long (and at least the next frame):
// a click aimed at the box as a slow frame took it away does not land on the board below.
constexpr float kAfterBoxTime = 0.3f;
constexpr float kBoxBackground = 200.0f;
const char* const kSpeechSound = "tutorialspeech";
const char* const kTutorialSpeaker = "Quillane";
const char* const kSkipTooltip = "#minig0_456 Skip this minigame";

uint8_t AlphaByte(float alpha) {
  if (!(alpha > 0.0f)) return 0;
  return static_cast<uint8_t>(std::min(alpha, 255.0f));
}

uint32_t WithAlpha(uint32_t colour, uint8_t alpha) { return (colour & 0x00FFFFFFu) | uint32_t(alpha) << 24; }

// The tutorial's speech sample, read as a spoken line is: loose file first, then the archive.
float PlayTutorialSpeech(const base::String& text) {
  base::String path;
  if (!base::sys::GetSfxPath(kTutorialSpeaker, text.c_str(), path, 0) || path.empty()) return 0.0f;
  if (!base::FileExists(path) && !base::GetFileArchive("Speech")) return 0.0f;
  base::Binary sample;
  if (!base::sys::GetFileFromArchive("Speech", path.c_str(), sample, true)) return 0.0f;
  sfx::st_PlayParams params;
  params.volume = 1.0f;
  params.pan = 1.0f;
  const float length = sfx::PlaySoundData(sfx::PLAY_SAMPLE, sample, kSpeechSound, "SPEECH", params);
  return length > 0.0f ? length : 0.0f;
}

}  // namespace

st_Tutorial::st_Tutorial(const char* text, float x, float y, int width, int anchor, const char* trigger,
                         float displayTime)
    : m_Text(text ? text : ""), m_X(x), m_Y(y), m_Anchor(anchor), m_Remaining(displayTime), m_Width(width),
      m_Trigger(trigger ? trigger : "") {}

i_Minigame::i_Minigame() = default;
i_Minigame::~i_Minigame() = default;

bool i_Minigame::IsFinished() { return m_Finished; }

// ---- Skip button

void i_Minigame::ResetPanicTimer(float delay) {
  const base::Variant* quick = base::sys::GetOptionValue("Game/MinigamesPanicButton/Value");
  if (quick && quick->get_int() == 1) delay = kQuickSkipDelay;
  m_SkipVisible = false;
  m_PanicDelay = delay;
  m_Finished = false;
  m_SkipPlaced = false;
  // A start, which every game's Init makes here: no click of the last play's boxes is pending.
  m_BoxTookPress = false;
  m_AfterBox = 0.0f;
}

void i_Minigame::Update(float dt) {
  if (m_PanicDelay == 0.0f) return;
  m_PanicDelay -= dt;
  // A delay that is not a number would otherwise keep the button hidden for good.
  if (!(m_PanicDelay > 0.0f)) {
    m_PanicDelay = 0.0f;
    m_SkipVisible = true;
  }
}

void i_Minigame::DrawSkipButton(float x, float y, float scale) {
  m_SkipX = x, m_SkipY = y, m_SkipScale = scale;
  m_SkipPlaced = true;
  if (!m_PanicStrip || !m_SkipVisible) return;
  gfx::SetBlendAlpha(true);
  gfx::SetFilterLinear();
  gfx::DrawTextureStripFrame(m_PanicStrip.get(), x, y, m_Finished ? 1.0f : 0.0f, scale);
  gfx::SetBlendNone();
  // Where the drawing sees the mouse: a game drawn smaller to fit draws in its own pixels.
  const base::tVector2<float> mouse = cl_ScaledView::Mouse();
  if (!m_PanicStrip->IsInside(mouse.x - x, mouse.y - y, scale)) return;
  const float* box = m_PanicStrip->GetBounds();
  base::tString<base::BaseUnicodeString> text;
  base::sys::Localize(kSkipTooltip, text);
  cl_FontScope font(gfx::FontExists("tooltip"));
  DrawTextCentered(x + (box[0] + box[2] * 0.5f) * scale, y + box[1] * scale - kTooltipLift, text.c_str(), kWhite,
                   kDarkGrey, false);
}

bool i_Minigame::HitSkipButton(const base::ICMD& cmd, float x, float y, float scale) {
  if (cmd.type != base::ICMD::LEFT_UP || !m_SkipVisible || !m_PanicStrip) return false;
  if (!m_PanicStrip->IsInside(static_cast<float>(cmd.mouseX) - x, static_cast<float>(cmd.mouseY) - y, scale))
    return false;
  if (m_Finished) return false;
  SetResult(true);
  m_Finished = true;
  return true;
}

bool i_Minigame::GetSkipButtonCentre(float& x, float& y) const {
  if (!m_SkipVisible || !m_SkipPlaced || !m_PanicStrip || m_PanicStrip->GetFrameCount() == 0) return false;
  const float* box = m_PanicStrip->GetBounds();
  x = m_SkipX + (box[0] + box[2] * 0.5f) * m_SkipScale;
  y = m_SkipY + (box[1] + box[3] * 0.5f) * m_SkipScale;
  return true;
}

// ---- Result and level data

void i_Minigame::RaiseSkill(int bonus) {
  if (!m_MissionPath.empty()) quillane::RaiseSkill(bonus);
}

void i_Minigame::SetResult(bool won) {
  base::Variant* state = GetGameState();
  // Without a mission path (a game opened from the editor) there is no place for a result.
  if (!state || m_MissionPath.empty()) return;
  const base::String path = m_MissionPath + "/Win";
  if (base::Variant* win = base::variant_get_attribute_by_path(*state, path.c_str(), true))
    win->set_int(won ? 1 : 0);
}

bool i_Minigame::ReadMinigameData(base::Variant& out, const char* member) {
  if (!member) return false;
  base::Binary bytes;
  // Loose files win, so levels written by the editors are played without rebuilding the archive.
  if (!base::sys::GetFileFromArchive("MinigameData", member, bytes, true)) return false;
  base::Variant level;
  if (!base::xml::read_binary(level, bytes, member)) return false;
  out.cut(level);
  return true;
}

// ---- Skip strip record

bool i_Minigame::ReadPanicStrip(base::File& file) {
  m_PanicStrip = std::make_unique<gfx::cl_TextureStrip>();
  m_PanicStrip->Read(&file);
  if (!file.has_error()) return true;
  m_PanicStrip.reset();  // half a record is no button
  return false;
}

bool i_Minigame::WritePanicStrip(base::File& file) {
  if (m_PanicStrip) m_PanicStrip->Write(&file);
  return !file.has_error();
}

bool i_Minigame::CompilePanicStrip(const char* path) {
  m_PanicStrip = std::make_unique<gfx::cl_TextureStrip>();
  return CompileStrip(*m_PanicStrip, path);
}

// ---- Tutorials

bool i_Minigame::TriggerTutorial(base::String prefix, base::String trigger, bool once) {
  base::Variant* state = GetGameState();
  if (!state) return false;
  // The once key needs a mission path to live under; a game opened from the editor has none.
  if (once && !prefix.empty()) {
    base::String key(prefix);
    key.print("/TutorialTrigger%s", trigger.c_str());
    base::Variant* mark = base::variant_get_attribute_by_path(*state, key.c_str(), true);
    const int previous = mark ? mark->get_int() : 0;
    if (mark) mark->set_int(1);
    if (previous != 0) return false;
  }
  for (st_Tutorial& tutorial : m_Tutorials)
    if (tutorial.m_Trigger == trigger) tutorial.m_Armed = true;
  return true;
}

st_Tutorial* i_Minigame::FindActiveTutorial() {
  for (st_Tutorial& tutorial : m_Tutorials)
    if (tutorial.m_Armed) return &tutorial;
  return nullptr;
}

const st_Tutorial* i_Minigame::GetActiveTutorial() const {
  for (const st_Tutorial& tutorial : m_Tutorials)
    if (tutorial.m_Armed) return &tutorial;
  return nullptr;
}

bool i_Minigame::UpdateTutorial(float dt) {
  st_Tutorial* active = FindActiveTutorial();
  if (!active) {
    // Counted after the frame's input: the frame after the box went takes none of its clicks.
    m_AfterBox = std::max(0.0f, m_AfterBox - dt);
    return false;
  }
  if (active->m_Remaining < 0.0f) {
    m_Tutorials.remove_if([active](const st_Tutorial& t) { return &t == active; });
    sfx::StopSound(kSpeechSound, 0.5f);
    m_AfterBox = kAfterBoxTime;
    return true;
  }
  // Fade-in. The timer stops at 0: counting on below it would one day meet -1, the mark of a box
  // not yet started, and the fade would begin again.
  if (active->m_FadeTimer == -1.0f)
    active->m_FadeTimer = 1.0f;
  else
    active->m_FadeTimer -= dt;
  active->m_Alpha = 0.0f;
  active->m_FadeTimer -= dt;
  if (active->m_FadeTimer <= 1.0f) active->m_Alpha = (1.0f - active->m_FadeTimer) * 255.0f;
  if (active->m_FadeTimer > 0.0f) return true;
  active->m_FadeTimer = 0.0f;
  if (!active->m_SpeechStarted) {
    const float length = PlayTutorialSpeech(active->m_Text);
    active->m_Remaining = std::max(length + 1.0f, active->m_Remaining);
    active->m_SpeechStarted = true;
  }
  // Hold, then fade out over the last second. The display time runs down while the box holds,
  // so a box goes away by itself as well as by a click.
  active->m_Alpha = 255.0f;
  if (active->m_Remaining > 1.0f) {
    active->m_Remaining -= dt;
    return true;
  }
  active->m_Remaining -= dt;
  active->m_Alpha = active->m_Remaining * 255.0f;
  return true;
}

namespace {

// A click now would close the box: its fade-in is over and it does not fade out yet.
bool IsHolding(const st_Tutorial& tutorial) {
  return tutorial.m_FadeTimer <= 0.0f && tutorial.m_FadeTimer != -1.0f && tutorial.m_Remaining > 1.0f;
}

}  // namespace

bool i_Minigame::HandleTutorialInput(const base::ICMD& cmd) {
  st_Tutorial* active = FindActiveTutorial();
  const bool press = cmd.type == base::ICMD::LEFT_DOWN || cmd.type == base::ICMD::RIGHT_DOWN;
  const bool release = cmd.type == base::ICMD::LEFT_UP || cmd.type == base::ICMD::RIGHT_UP;
  if (!active) {
    if (release && m_BoxTookPress) {
      m_BoxTookPress = false;
      return true;
    }
    if (!press || m_AfterBox <= 0.0f) return false;
  }
  if (press) m_BoxTookPress = true;
  if (release) m_BoxTookPress = false;
  if (active && release && IsHolding(*active)) active->m_Remaining = 1.0f;
  return true;
}

// ---- play targets

bool i_Minigame::GetPlayTarget(const char* name, float& x, float& y) {
  const st_Tutorial* active = GetActiveTutorial();
  if (!name || std::string_view(name) != "tutorial" || !active || !IsHolding(*active)) return false;
  base::tString<base::BaseUnicodeString> text;
  base::sys::Localize(active->m_Text.c_str(), text);
  cl_FontScope font(gfx::FontExists("tutorial"));
  float w, h;
  TutorialBox(*active, text.c_str(), x, y, w, h);
  x += w * 0.5f + kBoxMargin;
  y += h * 0.5f + kBoxMargin;
  return IsOnWindow(x, y);
}

bool i_Minigame::IsOnWindow(float x, float y) {
  return x >= 0.0f && y >= 0.0f && x < static_cast<float>(base::sys::GetWindowWidth()) &&
         y < static_cast<float>(base::sys::GetWindowHeight());
}

bool i_Minigame::IsPlayCondition(const char* name) {
  if (!name || std::string_view(name) != "idle") return false;
  // A box that waits for its click is still; one coming or going is not, nor the short while after
  // the last one went, in which a press is still its own.
  const st_Tutorial* active = GetActiveTutorial();
  return active ? IsHolding(*active) : m_AfterBox <= 0.0f;
}

void i_Minigame::TutorialBox(const st_Tutorial& tutorial, const char16_t* text, float& x, float& y, float& w,
                             float& h) {
  w = static_cast<float>(tutorial.m_Width);
  h = static_cast<float>(static_cast<int>(gfx::GetWrappedTextHeightW(text, w)));
  x = tutorial.m_X, y = tutorial.m_Y;
  switch (tutorial.m_Anchor) {
    case 1: y -= h + 2.0f * kBoxMargin; break;
    case 2: x -= w + 2.0f * kBoxMargin; break;
    case 3: x -= w + 2.0f * kBoxMargin, y -= h + 2.0f * kBoxMargin; break;
    case 4: x -= w * 0.5f, y -= h * 0.5f; break;
    default: break;
  }
}

void i_Minigame::DrawTutorial() {
  const st_Tutorial* active = GetActiveTutorial();
  if (!active || active->m_FadeTimer > 1.0f || active->m_FadeTimer == -1.0f || active->m_Remaining < 0.0f) return;
  base::tString<base::BaseUnicodeString> text;
  base::sys::Localize(active->m_Text.c_str(), text);
  cl_FontScope font(gfx::FontExists("tutorial"));
  float x, y, w, h;
  TutorialBox(*active, text.c_str(), x, y, w, h);
  const uint8_t alpha = AlphaByte(active->m_Alpha);
  DrawDialogFrame(x, y, x + w + 2.0f * kBoxMargin, y + h + 2.0f * kBoxMargin, AlphaByte(kBoxBackground), alpha);
  cl_CenteredFont centred;  // for this text only
  gfx::DrawTextBoxOutlinedW(x + kBoxMargin, y + kBoxMargin, w, h, text.c_str(), WithAlpha(kWhite, alpha),
                            WithAlpha(kDarkGrey, alpha));
}

}  // namespace quillane
