// The dance editor: recording by key taps, the presets, the overlay and the side panel that
// writes the move list.
#include "quillane/editor/levels/DanceEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "base/ErrorCatcher.h"
#include "base/FileTools.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/Xml.h"
#include "base/system.h"
#include "graphics/Camera.h"
#include "graphics/draw/Draw.h"
#include "graphics/font/Font.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/editor/levels/LevelEditorTools.h"
#include "quillane/minigames/GamePanelTools.h"
#include "quillane/scene/Scene.h"
#include "quillane/scene/SceneElements.h"
#include "quillane/screen/InterfaceSounds.h"

namespace quillane {

namespace {

constexpr const char* kSong = "dance_sound";
constexpr const char* kPanelLabel = "DanceEditor";
// The titles of the questions before a move list is written over and before a recording not
// saved is dropped; each answer comes back under its title.
constexpr const char* kOverwriteQuestion = "Save move list";
constexpr const char* kDiscardQuestion = "Drop recording";
constexpr const char* kDiscardText = "The recording is not saved. Discard it?";
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kGrey = 0xFFA0A0A0u;
constexpr uint32_t kOutline = 0xFF191919u;  // (25, 25, 25)
// ORDER TRACKKEYS: the keys of tracks 0 to 3 (upper left, lower left, upper right, lower right).
constexpr char kTrackKeys[] = {'Q', 'A', 'W', 'S'};

constexpr int kOverlayTop = 800;      // where the counters and the key help start
constexpr int kOverlayLineStep = 20;  // the counters' line spacing
constexpr int kOverlayLeft = 20;      // the counters' left edge
constexpr float kHelpLeft = 150.0f;   // the key help's left edge, unless the counters reach it
constexpr float kOverlayGap = 10.0f;  // between the counters and the key help

// F1 is the editor's key to leave the editor mode, but the dance editor takes it for its preset.
const char* kHelp =
    "Press:\n Up - speed up\n Down - speed down\n RETURN - start recording\n R - Restart\n P - Set Sample"
    "\n L - Load move list\n F1, F2, F3 - random dance presets\n D - demo: hide this text\n"
    " Right click, \"Dance editor\" - leave";
// In demo mode the overlay hides, all but this line.
const char* kDemoLine = "Demo mode: D shows the counters and keys";
const char* kRecordingHelp =
    "\n Q - for left upper\n A - for left lower\n W - for right upper\n S - for right lower\n F - Finish and Save";

// The field's text; empty without the field or a text.
const char* FieldText(base::cl_Window* panel, const char* label) {
  const base::cl_Window* field = panel->FindByLabel(label);
  const char* text = field ? field->m_Value.get_string() : nullptr;
  return text ? text : "";
}

float FieldFloat(base::cl_Window* panel, const char* label) { return std::strtof(FieldText(panel, label), nullptr); }

}  // namespace

i_Minigame* cl_DanceMinigameEditor::Create() { return new cl_DanceMinigameEditor; }

bool cl_DanceMinigameEditor::Init(base::Variant* mission, bool restart) {
  if (!cl_DanceMinigame::Init(mission, restart)) return false;
  m_PanicStrip.reset();
  return true;
}

void cl_DanceMinigameEditor::CreateAudience(const std::list<st_DanceViewer>&) {}

bool cl_DanceMinigameEditor::TriggerTutorial(base::String prefix, base::String trigger, bool once) {
  return cl_DanceMinigame::TriggerTutorial(std::move(prefix), std::move(trigger), once && !m_MissionPath.empty());
}

void cl_DanceMinigameEditor::StartDance() {
  if (cl_DanceCharacter* dancer = GetDancer())
    if (cl_SceneLocator* start = m_Scene ? m_Scene->FindLocator("DanceStartPos") : nullptr)
      dancer->SetPosition(start->locator.GetPos(), tPoint());
  // The random level has no music: the song clock then runs on the frame time.
  if (!m_Sample.empty()) PlayGameSound(MusicPath(m_Sample.c_str()).c_str(), kSong, 1.0f, "DANCE");
  cl_DanceMinigame::StartDance();
  m_Recorded = false;  // the dance plays the move list: a recording in it is used up
}

void cl_DanceMinigameEditor::Update(float dt) {
  cl_DanceMinigame::Update(dt);
  if (m_State == Recording) UpdateNotes(dt);
}

// ---- input

bool cl_DanceMinigameEditor::ReplacesRecording(uint8_t key) const {
  // The music chosen with P restarts the dance, which plays (and so uses up) the list.
  if (key == base::key::Enter || key == 'R' || key == 'L' || key == 'P') return true;
  const bool preset = key == base::key::F1 || key == base::key::F2 || key == base::key::F3;
  return preset && m_State != Recording;
}

bool cl_DanceMinigameEditor::HandleInput(base::ICMD& cmd) {
  if (m_MenuOpen) return false;
  if (cmd.type != base::ICMD::KEY_PRESSED) return cl_DanceMinigame::HandleInput(cmd);
  const uint8_t key = cmd.key;
  if (HasUnsavedTaps() && ReplacesRecording(key)) {
    m_PendingKey = key;
    if (OpenQuestion(this, kDiscardQuestion, kDiscardText)) return true;
  }
  if (key == base::key::Enter) {
    StartDance();
    m_MovesLeft = m_TotalMoves = 0;
    m_State = Recording;
    m_MoveList.set_element("Dance");
    m_Recorded = true;
    m_Message.clear();  // the last save's outcome is not this recording's
    return true;
  }
  if (key == 'R') {
    LoadMoveList(m_DanceName.c_str());
    StartDance();
    if (m_DemoMode) {
      // Recording again starts a fresh list, as Enter does: the count and the list agree.
      m_MovesLeft = m_TotalMoves = 0;
      m_State = Recording;
      m_MoveList.set_element("Dance");
      m_Recorded = true;
      m_Message.clear();
    }
  }
  // A speed of 0 would freeze the notes and divide the recorded times by zero.
  if (key == base::key::Up) m_Speed += 0.1f;
  if (key == base::key::Down) m_Speed = std::max(m_Speed - 0.1f, kMinSpeed);
  if (key == 'L') {
    OpenFileBrowser(this, "MinigameLoadXML", "gui/minigames/dance", "*.xml", nullptr);
    return true;
  }
  if (key == 'P') {
    OpenFileBrowser(this, "MinigameImage", "msx/dance", "*.*", nullptr);
    return true;
  }
  if (key == 'D') {
    m_DemoMode = !m_DemoMode;
    if (m_DemoMode)
      gfx::SetCursor(nullptr, nullptr);
    else
      SetGameCursor("gamecursor");
  }
  if (key == 'S' && m_State != Recording) {
    m_WeightMode = (m_WeightMode + 1) % 3;
    return true;
  }
  if (m_State == Recording) {
    for (int track = 0; track < kTracks; ++track)
      if (key == kTrackKeys[track]) Record(track);
    if (key == 'F') {
      DecideResult();
      m_RecordedLength = m_Time;
      ToggleMenu();
    }
    return true;
  }
  // The panel's "cancel" keeps the recording: F opens the panel again until it is saved or dropped.
  if (key == 'F' && m_Recorded) {
    ToggleMenu();
    return true;
  }
  // Taken in every state: passed on, F1 would leave the editor mode under the dance editor.
  if (key == base::key::F1) Preset(1.0f, 20, 1, 100);
  if (key == base::key::F2) Preset(1.2f, 30, 3, 150);
  if (key == base::key::F3) Preset(1.35f, 40, 6, 210);
  if (m_State == Intro || m_State == Applause || m_State == 2) {
    const bool preset = key == base::key::F1 || key == base::key::F2 || key == base::key::F3;
    return preset || cl_DanceMinigame::HandleInput(cmd);
  }
  return true;
}

void cl_DanceMinigameEditor::RequestClose() {
  m_PendingKey = 0;
  if (!HasUnsavedTaps() || !OpenQuestion(this, kDiscardQuestion, kDiscardText)) Close();
}

void cl_DanceMinigameEditor::Record(int track) {
  const base::tRectf goal = TrackGoal(track);
  const base::tVector2<float> start = TrackStart(track);
  const float dx = start.x - (goal.min.x + goal.max.x) * 0.5f, dy = start.y - (goal.min.y + goal.max.y) * 0.5f;
  // The tap marks the note's arrival: it set off the travel time earlier.
  const float travel = std::sqrt(dx * dx + dy * dy) / (m_Speed * 100.0f);
  const float time = m_SongTime - travel;
  if (time < 0.0f) {
    m_Message.clear();
    m_Message.print("Tap not recorded: at this speed a note needs %.2f s to reach its goal; tap after that",
                    static_cast<double>(travel));
    return;
  }
  AddNote(track);
  base::Variant& note = m_MoveList.add_element("Note");
  note.attribute("dir")->set_int(track);
  note.attribute("time")->set_float(time);
  ++m_TotalMoves;
  m_Message.clear();
}

void cl_DanceMinigameEditor::Preset(float speed, int moves, int pattern, int needed) {
  m_Notes.clear();
  m_Speed = speed;
  m_MovesLeft = m_TotalMoves = moves;
  m_Pattern = pattern;
  s_Needed = needed;
  s_Score = 0;
  m_MoveList.set_nil();
  m_Moves.clear();
  m_NextMove = 0;
  StartDance();
}

void cl_DanceMinigameEditor::ToggleMenu() {
  base::cl_GUI* gui = GetGUI();
  if (!gui) return;
  if (base::cl_Window* open = gui->FindChild(kPanelLabel)) {
    open->Close();
    return;
  }
  auto* menu = new cl_DanceMenu(this);
  menu->Fill(m_Speed, m_TotalMoves, m_RecordedLength);
  gui->AddChild(menu);
  m_MenuOpen = true;
}

bool cl_DanceMinigameEditor::ProcessEvent(const base::Variant& event) {
  const char* label = event.get_label();
  if (!label) return false;
  base::String file;
  event.get_attribute_string("file", file);
  if (std::strcmp(label, kDiscardQuestion) == 0) {
    base::String button;
    event.get_attribute_string("ctrl_label", button);
    if (button != "button0") return true;
    m_Recorded = false;
    if (m_PendingKey == 0) {
      Close();
      return true;
    }
    base::ICMD again;
    again.type = base::ICMD::KEY_PRESSED;
    again.key = m_PendingKey;
    HandleInput(again);
    return true;
  }
  if (std::strcmp(label, "SelectXML") == 0) {
    m_DanceName = base::StripExtension(file);
    base::String category;
    event.get_attribute_string("category", category);
    if (category == "MinigameLoadXML" && LoadMoveList(m_DanceName.c_str())) StartDance();
    return true;
  }
  if (std::strcmp(label, "SelectImage") == 0) {
    m_Sample = file;
    StartDance();
  }
  return false;
}

// ---- saving

bool cl_DanceMinigameEditor::SaveMoveList(const char* name, float speed, int needed, float length) {
  m_Message.clear();
  if (!IsPlainFileName(name, "dance editor")) {
    m_Message = "Error: file name refused (no folders, no \"..\")";
  } else if (!(speed > 0.0f)) {
    m_Message = "Error: the speed must be above 0";
    base::sys::Output("ERROR: dance editor: speed %f refused; nothing written\n", static_cast<double>(speed));
  }
  if (!m_Message.empty()) {
    PlayErrorSound();
    return false;
  }
  // Attributes first in their fixed order, then the notes as recorded.
  base::Variant list;
  list.set_element("Dance");
  list.attribute("speed")->set_float(speed);
  list.attribute("needed")->set_int(needed);
  list.attribute("sample")->set_string(m_Sample.c_str());
  list.attribute("length")->set_float(length);
  list.attribute("animation")->set_string("");
  list.attribute("variation")->set_string("");
  for (int i = 0; i < m_MoveList.size(); ++i)
    if (m_MoveList[i].is_element()) list.add_element("Note").copy(m_MoveList[i]);
  const base::String path = MoveListPath(name);
  base::cl_ErrorCatcher errors;
  if (!base::xml::write_file(list, path.c_str())) {
    // The writer's line names the file and the cause (read-only folder, full disk, long name).
    m_Message.print("Error: %s", errors.Cause((std::string("could not write ") + path.c_str()).c_str()).c_str());
    PlayErrorSound();
    return false;
  }
  m_MoveList.cut(list);
  m_Recorded = false;
  m_Message.print("Saved %s", path.c_str());
  m_DanceName = name;
  m_MenuOpen = false;
  return true;
}

bool cl_DanceMinigameEditor::WouldWriteOver(const char* name) const {
  return name && m_DanceName != name && base::FileExists(MoveListPath(name));
}

// ---- overlay

base::String cl_DanceMinigameEditor::GetOverlayText() const {
  base::String text;
  text.print(
      "total moves %d\nmoves left  %d\nneeded %d\nscore  %d\nweight %f\nspeed %f\nSample %s\nFilename "
      "%s\nStumblemode %i",
      m_TotalMoves, m_MovesLeft, s_Needed, s_Score, static_cast<double>(m_Weight), static_cast<double>(m_Speed),
      m_Sample.c_str(), m_DanceName.c_str(), m_WeightMode);
  if (!m_Message.empty()) {
    text += "\n";
    text += m_Message;
  }
  return text;
}

void cl_DanceMinigameEditor::Render(float x, float y) {
  // The stage band leaves the window's top and foot to what lies under it: the scene editor's
  // panel and lines would show through there.
  gfx::FillRect(0.0f, 0.0f, static_cast<float>(base::sys::GetWindowWidth()),
                static_cast<float>(base::sys::GetWindowHeight()), kBlack);
  cl_DanceMinigame::Render(x, y);
  if (gfx::cl_Font* font = gfx::FontExists("system")) gfx::SetFont(font);
  if (m_DemoMode) {
    // D hid the rest: this says how it comes back.
    gfx::DrawText(kOverlayLeft, base::sys::GetWindowHeight() - kOverlayLineStep, kDemoLine, kGrey);
    return;
  }
  // Both blocks start at y 800 where the window is that tall; else they rise to end inside it.
  const base::String overlay = GetOverlayText();
  int lines = 1;
  for (const char* at = overlay.c_str(); *at; ++at) lines += *at == '\n' ? 1 : 0;
  const int top = std::max(0, std::min(kOverlayTop, base::sys::GetWindowHeight() - kOverlayLineStep * lines));
  int line = 0;
  float widest = 0.0f;
  for (const char* at = overlay.c_str(); *at; ++line) {
    const char* end = std::strchr(at, '\n');
    const std::string one(at, end ? end - at : std::strlen(at));
    gfx::DrawText(kOverlayLeft, top + kOverlayLineStep * line, one.c_str(), kWhite);
    widest = std::max(widest, gfx::GetTextWidth(one.c_str()));
    at = end ? end + 1 : at + one.size();
  }
  std::string help = kHelp;
  if (m_State == Recording) help += kRecordingHelp;
  // Right of the counters: a long sample or file name would run under the help.
  const float helpLeft = std::max(kHelpLeft, kOverlayLeft + widest + kOverlayGap);
  const base::tVector2<float> at = gfx::KeepTextInWindow(helpLeft, static_cast<float>(kOverlayTop), help.c_str());
  gfx::DrawText(static_cast<int>(at.x), static_cast<int>(at.y), help.c_str(), kWhite);
  DrawSeats();
}

void cl_DanceMinigameEditor::DrawSeats() {
  if (!m_Scene) return;
  const base::cl_Camera& camera = m_Scene->GetCamera();
  const float scale = m_Scene->GetCharacterScale();
  const base::tVector3<float> up = camera.GetUpDir() * scale, right = camera.GetRightDir() * scale;
  int k = 0;
  for (cl_Character* character : m_Characters) {
    const base::tVector3<float> at = character->GetPosition();
    const base::tVector3<float> a = camera.World2Screen(at + up * 180.0f - right * 30.0f);
    const base::tVector3<float> b = camera.World2Screen(at + right * 30.0f);
    char label[24];
    std::snprintf(label, sizeof(label), "Sit %i", k - 1);
    gfx::DrawTextOutlined(static_cast<int>(a.x), static_cast<int>(a.y), label, kWhite, kOutline);
    gfx::DrawRect(static_cast<int>(a.x), static_cast<int>(a.y), static_cast<int>(b.x), static_cast<int>(b.y), kWhite);
    ++k;
  }
}

// ---- side panel

cl_DanceMinigameEditor::cl_DanceMenu::cl_DanceMenu(cl_DanceMinigameEditor* editor) : m_Editor(editor) {
  m_Label = kPanelLabel;
  LoadFromFile("GUI.xml", kPanelLabel);
}

void cl_DanceMinigameEditor::cl_DanceMenu::Fill(float speed, int moves, float time) {
  auto set = [this](const char* label, const base::String& text) {
    if (base::cl_Window* field = FindByLabel(label)) {
      field->m_Value.set_string(text.c_str());
      field->SetFlag(base::WF_REBUILD, true);
    }
  };
  base::String speedText, movesText, timeText;
  speedText.print("%g", static_cast<double>(speed));
  set("speed", speedText);
  movesText.print("%i", moves);
  set("total_moves", movesText);
  set("needed", "0");
  timeText.print("%f", static_cast<double>(time));
  set("time", timeText);
}

void cl_DanceMinigameEditor::cl_DanceMenu::Save() {
  const base::cl_Window* needed = FindByLabel("needed");
  const char* neededText = needed ? needed->m_Value.get_string() : nullptr;
  const int neededValue = neededText ? std::atoi(neededText) : (needed ? needed->m_Value.get_int() : 0);
  if (m_Editor->SaveMoveList(FieldText(this, "dance_name"), FieldFloat(this, "speed"), neededValue,
                             FieldFloat(this, "time")))
    Close();
}

bool cl_DanceMinigameEditor::cl_DanceMenu::ProcessInput(base::ICMD& cmd) {
  base::cl_Panel::ProcessInput(cmd);
  return true;
}

bool cl_DanceMinigameEditor::cl_DanceMenu::ProcessEvent(const base::Variant& event) {
  const char* label = event.get_label();
  if (!m_Editor || !label) return true;
  base::String button;
  event.get_attribute_string("ctrl_label", button);
  if (std::strcmp(label, kOverwriteQuestion) == 0) {
    if (button == "button0") Save();
    return true;
  }
  if (std::strcmp(label, "ButtonPressed") != 0) return true;
  if (button == "ok") {
    const char* name = FieldText(this, "dance_name");
    base::String question;
    question.print("%s already exists. Write over it?", MoveListPath(name).c_str());
    if (!m_Editor->WouldWriteOver(name) || !OpenQuestion(this, kOverwriteQuestion, question.c_str())) Save();
  } else if (button == "cancel") {
    m_Editor->SetMenuOpen(false);
    Close();
  }
  return true;
}

}  // namespace quillane
