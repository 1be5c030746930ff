// The character viewer panel: construction, the rows, input and events.
#include "quillane/editor/CharacterViewer.h"

#include <algorithm>
#include <new>
#include <numbers>

#include "base/FileTools.h"
#include "base/Imaging.h"
#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/data/StaticVariant.h"
#include "base/data/VariantTools.h"
#include "base/file/FileFinder.h"
#include "base/math/VectorTools.h"
#include "base/system.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"
#include "quillane/actor/ActorDesc.h"
#include "quillane/actor/ActorRegistry.h"
#include "quillane/character/EmoteCtrl.h"
#include "quillane/character/FacialCtrl.h"
#include "quillane/editor/DialogBox.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/SetupCharacterDialog.h"
#include "sound/Sfx.h"

namespace quillane {

namespace {

// Layout of the rows.
constexpr float kTop = 40.0f;
constexpr float kPitch = 20.0f;
constexpr float kFolderX = 10.0f, kFolderWidth = 192.0f;
constexpr float kItemX = 26.0f, kItemWidth = 176.0f;
constexpr float kRightMargin = 200.0f, kRightWidth = 192.0f;
constexpr float kScrollX = 204.0f, kScrollWidth = 16.0f;
constexpr int kSilhouetteSize = 8;
constexpr float kMouseTurn = 0.001f;
constexpr float kMouseLift = 0.1f;
constexpr float kSpeedStep = 0.99f;

// Engine key codes.
constexpr uint16_t kModShift = 1, kModCtrl = 2;

constexpr const char* kLipsyncSound = "editor/lipsync_data/excuse_me_please.wav";
constexpr const char* kLipsyncText = "editor/lipsync_data/denote_annosoft.txt";

bool ShiftHeld() { return base::sys::KeyState(base::key::LeftShift) || base::sys::KeyState(base::key::RightShift); }

base::tString<base::BaseString> Attribute(const base::Variant& event, const char* name) {
  base::tString<base::BaseString> text;
  event.get_attribute_string(name, text);
  return text;
}

}  // namespace

base::Variant MakeRowEvent(const char* tag, const char* label, float value) {
  base::Variant event;
  event.set_element(tag);
  event.attribute("label")->set_string(label);
  event.attribute("value")->set_float(value);
  return event;
}

// ---- construction

cl_CharacterViewer* cl_CharacterViewer::Open() { return new (std::nothrow) cl_CharacterViewer(); }

cl_CharacterViewer::cl_CharacterViewer() {
  ClearEditorStatus();  // the scene editor's last outcome is not the viewer's
  base::cl_Bitmap32 bitmap;
  bitmap.Create(kSilhouetteSize, kSilhouetteSize);
  std::fill_n(bitmap.GetPixels(), bitmap.NumPixels(), base::Color32(0, 0, 0, 128));
  silhouette.CreateFromBitmap(&bitmap, 0, 0);
  cl_ActorRegistry* registry = GetActorRegistry();
  animCtrl.SetActor(registry ? registry->FindActor(kStartActor) : nullptr, {0, 0, 0});
  const float width = static_cast<float>(base::sys::GetWindowWidth());
  const float height = static_cast<float>(base::sys::GetWindowHeight());
  camera.SetViewportRect(0, 0, width, height);
  camera.SetClippingRange(20.0f, 5000000.0f);
  // The rows end above the status line's band, which shows the outcome of an import or a delete.
  scrollBar.visible = std::max(0.0f, GetEditorStatusTop() - kTop);
  scrollBar.m_Rect = {kScrollX, kTop, kScrollWidth, scrollBar.visible};
  m_pointer.x = base::sys::MouseX(), m_pointer.y = base::sys::MouseY();
  ResetView();
  Build();
}

cl_CharacterViewer::~cl_CharacterViewer() = default;

void cl_CharacterViewer::ResetView() {
  paused = false;
  orbitYaw = std::numbers::pi_v<float> + 0.76f;
  orbitPitch = -0.248f;
  lookAtHeight = 175.0f;
  distance = 600.0f;
  lightPitch = 0.0f;
  lightYaw = std::numbers::pi_v<float>;
  flatLighting = false;
  skeletonView = false;
  loop = true;
  pelvisMarker = false;
  speed = 1.0f;
  charactersOpen = true;
  animationsOpen = false;
  emotesOpen = false;
}

base::tString<base::BaseString> cl_CharacterViewer::GetCurrentLabel() const {
  return animCtrl.m_actor ? animCtrl.m_actor->GetLabel() : base::tString<base::BaseString>();
}

// ---- the rows

cl_SimpleWindow* cl_CharacterViewer::AddRow(const base::Variant& event, const char* text, float x, float y,
                                            float width, uint32_t style) {
  // The row at this place is made anew in place: made new each frame, a row lost the cut of its
  // text, and a long label was measured again every frame.
  cl_SimpleWindow* row =
      m_builtRows < m_Children.size() ? static_cast<cl_SimpleWindow*>(m_Children[m_builtRows]) : nullptr;
  if (row) {
    row->Set(event, text, text, x, y, width, style);
  } else {
    row = new cl_SimpleWindow(event, text, text, x, y, width, style);
    AddChild(row);
  }
  ++m_builtRows;
  // One reaching into the status line's band is scrolled to instead of drawn under the line.
  row->Show(y + cl_SimpleWindow::kHeight <= GetEditorStatusTop());
  return row;
}

void cl_CharacterViewer::Build() {
  m_builtRows = 0;
  BuildLeftColumn();
  BuildRightColumn();
  while (m_Children.size() > m_builtRows) delete m_Children.back();  // each unlinks itself
}

void cl_CharacterViewer::BuildLeftColumn() {
  const float first = kTop - scrollBar.GetOffset();
  float y = first;
  auto folder = [&](const char* text, bool open, const char* tag) {
    AddRow(MakeRowEvent(tag, "", 0.0f), text, kFolderX, y, kFolderWidth,
           open ? cl_SimpleWindow::STYLE_FOLDER_OPEN : cl_SimpleWindow::STYLE_FOLDER_CLOSED);
    y += kPitch;
  };
  auto item = [&](const base::Variant& event, const char* text, uint32_t style) {
    cl_SimpleWindow* row = AddRow(event, text, kItemX, y, kItemWidth, style);
    y += kPitch;
    return row;
  };

  folder("Characters", charactersOpen, "CharacterList");
  cl_ActorRegistry* registry = GetActorRegistry();
  if (charactersOpen && registry) {
    const base::StaticVariant& list = registry->GetList();
    base::tString<base::BaseString> label;
    for (int i = 0; i < list.get_element_cnt(); ++i) {
      const base::StaticVariantIterator actor = list.get_element(i);
      if (!actor.is_element()) continue;
      label.clear();
      actor.get_attribute_string("label", label);
      if (!registry->Find(label.c_str())) continue;  // left out by the registry, with its reason
      item(MakeRowEvent("Actor", label.c_str(), 0.0f), label.c_str(), 0);
    }
  }

  folder("Animations", animationsOpen, "AnimList");
  if (animationsOpen) {
    int steps = 0;
    for (cl_ActorDesc* actor = animCtrl.m_actor; actor && steps <= cl_ActorDesc::kMaxParentSteps;
         actor = actor->GetParent(), ++steps) {
      item(base::Variant(), ("[" + actor->GetLabel() + ":]").c_str(), cl_SimpleWindow::STYLE_NO_FRAME);
      base::cl_Skeleton* skeleton = actor->GetSkeleton();
      if (!skeleton) continue;
      for (const auto& [name, clip] : skeleton->animations) item(MakeRowEvent("Anim", name.c_str(), 0.0f), name.c_str(), 0);
    }
  }

  folder("Emotes", emotesOpen, "EmoteList");
  if (emotesOpen && animCtrl.m_facial && animCtrl.m_facial->emotes) {
    for (const st_Emote* emote : animCtrl.m_facial->emotes->GetEmotes()) {
      cl_SimpleWindow* row = item(MakeRowEvent("Emote", emote->label.c_str(), emote->weight), emote->label.c_str(),
                                  cl_SimpleWindow::STYLE_VALUE);
      row->maximum = 1.0f;
    }
  }
  scrollBar.total = y - first;
}

void cl_CharacterViewer::BuildRightColumn() {
  const float x = static_cast<float>(base::sys::GetWindowWidth()) - kRightMargin;
  auto command = [&](float y, const char* text, const char* tag, const char* label) {
    AddRow(MakeRowEvent(tag, label, 0.0f), text, x, y, kRightWidth, 0);
  };
  auto value = [&](float y, const char* text, const char* label, float v, float maximum) {
    AddRow(MakeRowEvent("Set", label, v), text, x, y, kRightWidth, cl_SimpleWindow::STYLE_VALUE)->maximum = maximum;
  };
  command(40, "New Character", "Character", "New");
  command(60, "Edit Character", "Character", "Edit");
  command(80, "Delete Character", "Character", "Delete");
  command(120, loop ? "Loop On" : "Loop Off", "Toggle", "Loop");
  value(140, "Speed", "AnimSpeed", speed, kMaxSpeed);
  value(160, "Blend Time", "BlendTime", animCtrl.m_blendTime, 0.5f);
  value(180, "Progress", "Progress", animCtrl.m_time, animCtrl.m_clip ? animCtrl.m_clip->length : 1.0f);
  command(200, pelvisMarker ? "Pelvis Marker On" : "Pelvis Marker Off", "Toggle", "ShowPelvis");
}

// ---- events

bool cl_CharacterViewer::ProcessEvent(const base::Variant& event) {
  const char* tag = event.get_label();
  if (!tag) return false;
  const base::tString<base::BaseString> name(tag);
  const base::tString<base::BaseString> label = Attribute(event, "label");
  float value = 0.0f;
  event.get_attribute_float("value", value);

  if (name == "Anim") {
    if (loop) {
      animCtrl.PlayLoop(label.c_str());
    } else {
      animCtrl.PlayOnce(label.c_str());
    }
  }
  if (name == "Actor") {
    cl_ActorRegistry* registry = GetActorRegistry();
    if (cl_ActorDesc* actor = registry ? registry->FindActor(label.c_str()) : nullptr) animCtrl.SetActor(actor, {0, 0, 0});
  }
  // Folder rows are still inside their own input: only the state changes here, and the rows
  // follow at the next Render.
  if (name == "CharacterList") {
    charactersOpen = !charactersOpen;
    return true;
  }
  if (name == "AnimList") {
    animationsOpen = !animationsOpen;
    return true;
  }
  if (name == "EmoteList") {
    emotesOpen = !emotesOpen;
    return true;
  }
  if (name == "Toggle") {
    if (label == "Loop") {
      loop = !loop;
      animCtrl.m_mode = loop ? cl_CharacterViewerAnimCtrl::MODE_LOOP : cl_CharacterViewerAnimCtrl::MODE_ONCE;
    } else if (label == "ShowPelvis") {
      pelvisMarker = !pelvisMarker;
    }
  }
  if (name == "Set") {
    if (label == "AnimSpeed") speed = value;
    if (label == "BlendTime") animCtrl.m_blendTime = value;
    if (label == "Progress") animCtrl.m_time = value;
  }
  if (name == "Emote" && animCtrl.m_facial && animCtrl.m_facial->emotes)
    if (st_Emote* emote = animCtrl.m_facial->emotes->FindEmote(label)) emote->weight = value;
  if (name == "Delete Character" && Attribute(event, "ctrl_label") == "button0" && animCtrl.m_actor)
    RemoveCharacter(GetCurrentLabel());
  if (name == "AddCharacter" && event.get_attribute("name")) {
    // "Ok" with no folder chosen: a set-up without a name could not be imported.
    if (Attribute(event, "name").empty())
      ShowEditorStatus("New character: no folder was chosen; nothing is set up", true);
    else
      OpenSetupDialog(Attribute(event, "name"));
  }
  if (name == "Character") ProcessCharacterCommand(label);
  return true;
}

void cl_CharacterViewer::OpenSetupDialog(const base::tString<base::BaseString>& characterName) {
  base::cl_GUI* gui = GetGUI();
  if (!gui) return;
  auto* dialog = new cl_SetupCharacterDialog(this);
  gui->AddModalWindow(dialog);
  dialog->m_name = characterName;
  dialog->LoadCharacter();
  dialog->UpdateLists();
}

void cl_CharacterViewer::OpenNewCharacterDialog() {
  base::Variant folders;
  base::ListDirectory(folders, "Characters", "*.*", false);
  base::Variant names;
  names.set_element("List");
  for (int i = 0; i < folders.size(); ++i) {
    const base::Variant& entry = folders[i];
    const char* kind = entry.get_label();
    const base::tString<base::BaseString> folder = Attribute(entry, "name");
    // A name the actor list would refuse is not offered.
    if (!kind || base::tString<base::BaseString>(kind) != "Folder" || base::PlainNameProblem(folder.c_str())) continue;
    base::Variant& row = names.add_element("String");
    row.attribute("value")->set_string(folder.c_str());
    row.attribute("label")->set_string(folder.c_str());
  }
  if (cl_ActorRegistry* registry = GetActorRegistry()) {
    const base::StaticVariant& list = registry->GetList();
    base::tString<base::BaseString> label;
    for (int i = 0; i < list.get_element_cnt(); ++i) {
      label.clear();
      if (list.get_element(i).get_attribute_string("label", label))
        base::variant_remove_elements_by_attribute_value(names, "value", label.c_str());
    }
  }
  base::variant_remove_elements_by_attribute_value(names, "value", "Animations");
  base::variant_remove_elements_by_attribute_value(names, "value", ".svn");

  base::cl_GUI* gui = GetGUI();
  if (!gui) return;
  auto* dialog = new cl_NewCharacter(this);
  if (base::cl_Window* list = dialog->FindByLabel("CharacterNames")) {
    list->m_Value.cut(names);
    list->SetFlag(base::WF_SELECTABLE | base::WF_REBUILD, true);
  }
  gui->AddModalWindow(dialog);
}

void cl_CharacterViewer::ProcessCharacterCommand(const base::tString<base::BaseString>& command) {
  if (command == "New") {
    OpenNewCharacterDialog();
    return;
  }
  if (!animCtrl.m_actor) return;
  if (command == "Edit") OpenSetupDialog(GetCurrentLabel());
  if (command == "Delete") {
    base::cl_GUI* gui = GetGUI();
    if (!gui) return;
    const base::tString<base::BaseString> text =
        "Do you really want to delete the character\n'" + GetCurrentLabel() + "'?";
    gui->AddModalWindow(cl_DialogBox::Open(this, "Delete Character", text, "Yes", "No"));
  }
}

// ---- input

bool cl_CharacterViewer::ProcessKey(const base::ICMD& cmd) {
  switch (cmd.GetKey()) {
    case base::key::Escape: Close(); break;
    case ' ':
      paused = !paused;
      break;
    case '1':
      animCtrl.PlayIdle(true);
      break;
    case '2':
      animCtrl.PlayWalk();
      break;
    case '3':
      animCtrl.PlayOnce("pick_up_table");
      break;
    case '4':
      animCtrl.PlayLoop("Talk_smile");
      break;
    case 'F':
      ResetView();
      break;
    case 'L':
      flatLighting = !flatLighting;
      break;
    case 'S':
      skeletonView = !skeletonView;
      break;
    case 'T': {
      sfx::st_PlayParams params;
      params.volume = 1.0f;
      params.pan = 1.0f;
      sfx::PlaySound(0, kLipsyncSound, "voice", "PLAYER", params);
      animCtrl.StartLipsyncFromFile(kLipsyncText);
      break;
    }
    case 'W':
      animCtrl.m_applyRootMotion = !animCtrl.m_applyRootMotion;
      if (!animCtrl.m_applyRootMotion) animCtrl.m_position = {0, 0, 0};
      break;
    default:
      break;
  }
  return true;
}

void cl_CharacterViewer::ProcessMouseMove(const base::ICMD& cmd, float dx, float dy) {
  if (base::sys::MouseButton(0)) {
    if (cmd.modifiers & kModShift) {
      lightYaw += dx * kMouseTurn;
      lightPitch += dy * kMouseTurn;
      base::WrapAngle(lightYaw);
      base::WrapAngle(lightPitch);
    } else if (cmd.modifiers & kModCtrl) {
      distance = std::clamp(distance - dy, kMinDistance, kMaxDistance);
    } else {
      orbitYaw += dx * kMouseTurn;
      orbitPitch += dy * kMouseTurn;
      base::WrapAngle(orbitYaw);
      base::WrapAngle(orbitPitch);
    }
  }
  if (base::sys::MouseButton(1)) lookAtHeight += dy * kMouseLift;
  if (base::sys::MouseButton(2)) distance = std::clamp(distance - dy, kMinDistance, kMaxDistance);
}

bool cl_CharacterViewer::ProcessInput(base::ICMD& cmd) {
  // Also the commands the rows take move the mark: a drag starts where the pointer is.
  const base::tVector2<float> way = m_pointer.Follow(cmd);
  if (scrollBar.ProcessInput(cmd)) return true;
  if (ProcessInputChildren(cmd)) return true;
  if (cmd.type == base::ICMD::KEY_PRESSED) return ProcessKey(cmd);
  if (cmd.type == base::ICMD::MOUSE_MOVE) ProcessMouseMove(cmd, way.x, way.y);
  return true;
}

void cl_CharacterViewer::Update(float dt) {
  if (!paused) animCtrl.Update(speed * dt);
  if (base::sys::KeyState(base::key::PadPlus)) speed /= kSpeedStep;
  if (base::sys::KeyState(base::key::PadMinus)) speed *= kSpeedStep;
  speed = std::clamp(speed, 0.0f, kMaxSpeed);
  float& yaw = ShiftHeld() ? lightYaw : orbitYaw;
  if (base::sys::KeyState(base::key::Left)) yaw += dt;
  if (base::sys::KeyState(base::key::Right)) yaw -= dt;
  base::WrapAngle(yaw);
}

}  // namespace quillane
