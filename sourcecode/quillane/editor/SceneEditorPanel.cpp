// The scene editor panel: its tree, its buttons and the answers of the dialogs and tools it opens.
#include "quillane/editor/SceneEditorPanel.h"

#include <algorithm>
#include <map>
#include <string>

#include "base/FileTools.h"
#include "base/file/FileFinder.h"
#include "base/gui/GUIEdit.h"
#include "base/system.h"
#include "graphics/draw/Draw.h"
#include "quillane/editor/CropTool.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/editor/LayerMenus.h"
#include "quillane/editor/LoadImageDialog.h"
#include "quillane/editor/PlaceHotspotTool.h"
#include "quillane/editor/PlaceLocatorTool.h"
#include "quillane/editor/SceneCompile.h"
#include "quillane/editor/SelectItemDialog.h"
#include "quillane/editor/SelectLightTypeDialog.h"
#include "quillane/editor/TestRun.h"
#include "quillane/scene/Scene.h"
#include "quillane/settings/TweakSettings.h"

namespace quillane {

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kOutline = 0xFF191919u;  // (25, 25, 25)
constexpr int kMaxTextureSide = 4096;                // the largest texture side the README allows
constexpr int kViewWidth = 1024, kViewHeight = 640;  // the game's view of a scene
constexpr float kTitleMargin = 16.0f;                // the title bar's room beside its text

bool Is(const char* text, const char* word) { return text && base::str::compare(text, word) == 0; }

base::tString<base::BaseString> LabelOf(const base::Variant& element) {
  base::tString<base::BaseString> label;
  element.get_attribute_string("label", label);
  return label;
}

bool HasLabel(const base::Variant* group, const base::tString<base::BaseString>& label) {
  if (!group) return false;
  for (int i = 0; i < group->size(); ++i)
    if ((*group)[i].is_element() && LabelOf((*group)[i]) == label) return true;
  return false;
}

// Lights are told apart by label; their kind is the "type".
bool HasLightOfType(const base::Variant* lights, const char* type) {
  base::tString<base::BaseString> value;
  for (int i = 0; lights && i < lights->size(); ++i)
    if ((*lights)[i].is_element() && (*lights)[i].get_attribute_string("type", value) && value == type) return true;
  return false;
}

// Only layers have a property menu: the first five groups of a project (ORDER SCENEGROUPS).
bool HasPropertyMenu(const base::tString<base::BaseString>& group) {
  for (int i = 0; i < 5; ++i)
    if (group == kSceneGroups[i]) return true;
  return false;
}

float FloatOf(const base::Variant& element, const char* name) {
  float value = 0.0f;
  element.get_attribute_float(name, value);
  return value;
}

int IntOf(const base::Variant& element, const char* name) {
  int value = 0;
  element.get_attribute_int(name, value);
  return value;
}

// What a status line about an element names it by.
std::string ElementKey(const base::tString<base::BaseString>& group, const base::tString<base::BaseString>& label) {
  return std::string(group.c_str()) + "/" + label.c_str();
}

// Scripts answer hotspots and locators by functions named after them ("OnTrigger_<label>",
// "OnEnter_<label>"): only letters A-Z, digits and "_" can stand in such a name.
bool CanEndFunctionName(const base::tString<base::BaseString>& label) {
  if (label.empty()) return false;
  for (const char* c = label.c_str(); *c; ++c)
    if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '_'))
      return false;
  return true;
}

// Why no script can answer the hotspot or locator of that label; empty when one can.
std::string UncallableLabelNote(const char* group, const base::tString<base::BaseString>& label) {
  const char* prefix = Is(group, "HotSpots") ? "OnTrigger_" : Is(group, "Locators") ? "OnEnter_" : nullptr;
  if (!prefix || CanEndFunctionName(label)) return std::string();
  return std::string("no script can answer it: \"") + prefix + label.c_str() +
         "\" is no function name (letters A-Z, digits and _ only)";
}

// The scene takes the size of a picture: one that cannot be a texture or does not fill the view
// is kept, with a word.
void WarnOfSceneSize(float w, float h) {
  base::tString<base::BaseString> text;
  text.print("the scene is now %d x %d pixels: ", static_cast<int>(w), static_cast<int>(h));
  if (w > kMaxTextureSide || h > kMaxTextureSide)
    text.print("more than %d pixels a side, the largest texture the game draws", kMaxTextureSide);
  else if (w < kViewWidth || h < kViewHeight)
    text.print("smaller than the game's %d x %d view", kViewWidth, kViewHeight);
  else
    return;
  base::sys::Output("Warning: Editor: %s\n", text.c_str());
  ShowEditorStatus(text.c_str(), true);
}

}  // namespace

// ---- labels

base::tString<base::BaseString> FindUnusedLabel(const base::Variant* group,
                                                const base::tString<base::BaseString>& wanted) {
  if (!wanted.empty() && !HasLabel(group, wanted)) return wanted;
  for (int n = 2;; ++n) {
    base::tString<base::BaseString> label = wanted;
    label.print("%d", n);
    if (!HasLabel(group, label)) return label;
  }
}

base::tString<base::BaseString> FindFreeLabel(const base::Variant* group, const char* groupName) {
  base::tString<base::BaseString> label("default");
  if (!HasLabel(group, label)) return label;
  const char* prefix = Is(groupName, "StageElements") ? "elem" : Is(groupName, "ForegroundElements") ? "fg" : "bg";
  // Counting on past 127 rather than stopping there: a label in use would replace its element.
  for (int n = 0;; ++n) {
    label = prefix;
    label.print("%d", n);
    if (!HasLabel(group, label)) return label;
  }
}

base::tString<base::BaseString> FormatElementInfo(const base::Variant& element, const char* group) {
  base::tString<base::BaseString> line;
  const base::tString<base::BaseString> label = LabelOf(element);
  base::tString<base::BaseString> file, type;
  element.get_attribute_string("file", file);
  element.get_attribute_string("type", type);
  auto d = [&](const char* name) { return static_cast<double>(FloatOf(element, name)); };
  line.print("ElementLabel: %s", label.c_str());
  if (Is(group, "Locators")) {
    line.print(" x:%f y:%f z:%f yaw:%f pitch:%f roll:%f", d("x"), d("y"), d("z"), d("yaw"), d("pitch"), d("roll"));
  } else if (Is(group, "HotSpots")) {
    // An outline has corners, not a picture: their count and the rectangle around them.
    int corners = 0;
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
    for (int i = 0; i < element.size(); ++i) {
      if (!element[i].is_element()) continue;
      const float x = FloatOf(element[i], "x"), y = FloatOf(element[i], "y");
      if (corners++ == 0) {
        x0 = x1 = x, y0 = y1 = y;
        continue;
      }
      x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    line.print(" Corners:%i x:%i y:%i w:%i h:%i", corners, static_cast<int>(x0), static_cast<int>(y0),
               static_cast<int>(x1 - x0), static_cast<int>(y1 - y0));
  } else if (Is(group, "Lights")) {
    line.print(" File: %s Type: %s nx:%f ny:%f nz:%f", file.c_str(), type.c_str(), d("nx"), d("ny"), d("nz"));
    line.print(" r:%i g:%i b:%i a:%i", IntOf(element, "color_r"), IntOf(element, "color_g"), IntOf(element, "color_b"),
               IntOf(element, "color_a"));
  } else {
    line.print(" File: %s x:%i y:%i w:%i h:%i UseBackgroundPixel:%i", file.c_str(), IntOf(element, "x"),
               IntOf(element, "y"), IntOf(element, "w"), IntOf(element, "h"), IntOf(element, "use_background_pixels"));
    if (element.get_attribute("ysort")) line.print(" YSort:%i", IntOf(element, "ysort"));
  }
  if (const std::string note = UncallableLabelNote(group, label); !note.empty()) line.print(" - %s", note.c_str());
  return line;
}

// ---- the panel

cl_SceneEditorPanel::~cl_SceneEditorPanel() { g_SelectedElementLabel.clear(); }

void cl_SceneEditorPanel::Close() {
  // In the same close queue: no input reaches them before all go together.
  if (base::cl_GUI* gui = GetGUI())
    for (base::cl_Window* window : gui->m_Children)
      if (auto* menu = dynamic_cast<cl_SceneElementMenu*>(window); menu && menu->GetListener() == this) menu->Close();
  cl_Panel::Close();
}

bool cl_SceneEditorPanel::Init(base::StaticVariantIterator) {
  m_Label = kLabel;
  LoadFromFile("GUI.xml", kLabel);
  // The title names the scene: the panel edits that one only.
  base::cl_Window* title = FindByLabel("TitleBar");
  if (cl_Scene* scene = cl_Editor::GetEditedScene(); title && scene) {
    const std::string text = std::string(title->m_Text.c_str()) + ": " + scene->GetName().c_str();
    const float width = title->m_Parent ? title->m_Parent->m_Rect.w : title->m_Rect.w;  // the sheet's, as drawn
    title->m_Text = gfx::ShortenText(text.c_str(), width - kTitleMargin).c_str();
  }
  RebuildResourceTree();
  return true;
}

bool cl_SceneEditorPanel::GetSelectedElement(base::tString<base::BaseString>& group,
                                             base::tString<base::BaseString>& label) {
  int ordinal = 0;
  return GetSelectedElement(group, label, ordinal);
}

bool cl_SceneEditorPanel::GetSelectedElement(base::tString<base::BaseString>& group,
                                             base::tString<base::BaseString>& label, int& ordinal) {
  base::cl_Window* client = FindByLabel("ClientWindow");
  if (!client) return false;
  base::tWindowList selected;
  client->CollectSelected(selected);
  if (selected.empty()) return false;
  const base::cl_Window* row = selected.front();
  // A group's own row sits in its branch too: it names the group, not an element.
  if (!row->m_Parent || !IsSceneElementGroup(row->m_Parent->m_Label.c_str()) ||
      IsSceneElementGroup(row->m_Label.c_str()))
    return false;
  group = row->m_Parent->m_Label;
  label = row->m_Label;
  // Rows of a repeated label (projects written before labels were kept apart) stand in
  // description order: the row's place among them names its element.
  ordinal = 0;
  for (int i = 0; const base::cl_Window* sibling = row->m_Parent->GetChild(i); ++i) {
    if (sibling == row) break;
    if (sibling->m_Label == label) ++ordinal;
  }
  return true;
}

void cl_SceneEditorPanel::RebuildResourceTree() {
  base::cl_Window* tree = FindByLabel("ResourceList");
  cl_Scene* scene = cl_Editor::GetEditedScene();
  if (!tree || !scene) return;
  std::map<std::string, int> open;
  for (int i = 0; i < tree->m_Value.size(); ++i) {
    const base::Variant& entry = tree->m_Value[i];
    if (entry.is_element()) open[LabelOf(entry).c_str()] = IntOf(entry, "_open");
  }
  base::tString<base::BaseString> selectedGroup, selectedLabel;
  int selectedOrdinal = 0;
  GetSelectedElement(selectedGroup, selectedLabel, selectedOrdinal);

  base::Variant list;
  list.set_element("List");
  const base::Variant& description = scene->GetSettings();
  for (int g = 0; g < description.size(); ++g) {
    const base::Variant& group = description[g];
    const char* name = group.get_label();
    if (!group.is_element() || !name) continue;
    base::Variant& branch = list.add_element("Tree");
    branch.attribute("label")->set_string(name);
    branch.attribute("value")->set_string(name);
    const auto it = open.find(name);
    const bool isOpen = it != open.end() && it->second == 1;
    if (isOpen) branch.attribute("_open")->set_int(1);
    int seen = 0;  // rows of the selected label so far
    for (int e = 0; e < group.size(); ++e) {
      if (!group[e].is_element()) continue;
      const base::tString<base::BaseString> label = LabelOf(group[e]);
      base::Variant& entry = branch.add_element("String");
      entry.attribute("label")->set_string(label.c_str());
      entry.attribute("value")->set_string(label.c_str());
      if (isOpen && selectedGroup == name && label == selectedLabel && seen++ == selectedOrdinal)
        entry.attribute("selected")->set_int(1);
    }
  }
  tree->m_Value.cut(list);
  tree->SetFlag(base::WF_REBUILD, true);
}

void cl_SceneEditorPanel::Update(float) {
  // Its tree and buttons are the scene's it was opened on: they must not act on another one.
  if (m_watch.IsGone()) {
    Close();
    return;
  }
  if (m_watch.TakeReread()) RebuildResourceTree();
  base::tString<base::BaseString> group, label;
  if (GetSelectedElement(group, label)) g_SelectedElementLabel = label;
}

void cl_SceneEditorPanel::Render(float x, float y) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  base::cl_Window* tree = FindByLabel("ResourceList");
  const base::tString<base::BaseString> selected = tree ? tree->GetSelectedLabel() : base::tString<base::BaseString>();
  const bool groupSelected = !selected.empty() && IsSceneElementGroup(selected.c_str());
  const bool elementSelected = !selected.empty() && !groupSelected;
  const bool canTest = scene && !scene->NavMeshes.empty();
  // Edit on a light, a locator, a hotspot or a nav mesh would open nothing.
  base::tString<base::BaseString> selectedGroup, selectedLabel;
  const bool editable =
      elementSelected && GetSelectedElement(selectedGroup, selectedLabel) && HasPropertyMenu(selectedGroup);
  const std::pair<const char*, bool> states[] = {{"Add", groupSelected},    {"Remove", elementSelected},
                                                 {"Edit", editable},        {"Up", elementSelected},
                                                 {"Down", elementSelected}, {"Test", canTest}};
  for (const auto& [button, enabled] : states)
    if (base::cl_Window* w = FindByLabel(button)) w->SetFlag(base::WF_DISABLED, !enabled);
  if (!HasFlag(base::WF_HIDDEN)) {
    UpdateRect(x, y);
    RenderChildren(x, y);
  }
  base::tString<base::BaseString> lazy;
  lazy.print("Lazy Compile: %s", Editor_LazyCompile ? "ON" : "OFF");
  gfx::DrawTextOutlined(200, 5, lazy.c_str(), kWhite, kOutline);
  base::tString<base::BaseString> group, label;
  int ordinal = 0;
  if (!scene || !GetSelectedElement(group, label, ordinal)) return;
  if (const base::Variant* element = scene->FindElementDescription(group.c_str(), label.c_str(), ordinal))
    DrawElementInfo(*element, group.c_str());
}

void cl_SceneEditorPanel::DrawElementInfo(const base::Variant& element, const char* group) {
  // Wrapped to the room right of its place; a block still too wide or tall moves into view.
  const float x = 550.0f, y = 20.0f;
  const std::string& info =
      m_info.Get(FormatElementInfo(element, group).c_str(), static_cast<float>(base::sys::GetWindowWidth()) - x);
  const base::tVector2<float> at = gfx::KeepTextInWindow(x, y, info.c_str());
  gfx::DrawTextOutlined(static_cast<int>(at.x), static_cast<int>(at.y), info.c_str(), kWhite, kOutline);
}

// ---- events

bool cl_SceneEditorPanel::ProcessEvent(const base::Variant& event) {
  const char* name = event.get_label();
  if (!cl_Editor::GetEditedScene()) return true;
  if (Is(name, "AddElement")) {
    AddToScene(event);
  } else if (Is(name, "UpdateElement")) {
    UpdateInScene(event);
  } else if (Is(name, "ButtonPressed")) {
    base::tString<base::BaseString> button;
    event.get_attribute_string("ctrl_label", button);
    PressButton(button);
  }
  return true;
}

void cl_SceneEditorPanel::Store(const char* group, const base::Variant& before) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  if (!StoreProjectFile(*scene)) {
    // The tree and the scene show what is on disk: an edit that could not be saved is undone.
    scene->GetSettings() = before;
    scene->ReadFromVariant(true);
  } else if (Is(group, "NavMeshes")) {
    // The scene's lights and nav meshes are read as a whole: the graph must follow the description.
    scene->ReadFromVariant(true);
  }
  RebuildResourceTree();
}

void cl_SceneEditorPanel::AddToScene(const base::Variant& event) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  if (event.size() < 1 || !event[0].is_element()) {
    base::sys::Output("Warning: Editor: an AddElement without an element; nothing is added\n");
    return;
  }
  base::Variant element(event[0]);
  base::tString<base::BaseString> group;
  event.get_attribute_string("category", group);
  base::Variant& description = scene->GetSettings();
  const base::Variant before(description);
  float w = 0.0f, h = 0.0f;
  const bool sized = element.get_attribute_float("w", w) && element.get_attribute_float("h", h);
  const auto takeSize = [&] {  // the picture's size becomes the scene's
    description.attribute("w")->set_float(w);
    description.attribute("h")->set_float(h);
    scene->SetSize(w, h);
    WarnOfSceneSize(w, h);
  };
  const bool layer = group != "NavMeshes" && group != "Lights" && group != "Locators" && group != "HotSpots";
  base::tString<base::BaseString> file;
  element.get_attribute_string("file", file);
  // "Ok" in a browser without a choice: a layer without a picture cannot be built or compiled, a
  // nav mesh without a file gives the scene no floor and its project an element that cannot be read.
  if ((layer || group == "NavMeshes") && file.empty()) {
    const std::string text = std::string("no file was chosen for the new ") + group.c_str() + " element; nothing is added";
    base::sys::Output("Warning: Editor: %s\n", text.c_str());
    ShowEditorStatus(text, true);
    return;
  }
  if (group == "BackgroundElements") {
    const base::Variant* backgrounds = description.get_element("BackgroundElements");
    const bool first = !backgrounds || backgrounds->size() == 0;
    if (first && sized) takeSize();
  } else if (group == "HeavenElements") {
    if (sized) takeSize();
    const int useBackground = IntOf(element, "use_background_pixels");
    element.attribute("use_background_pixels")->set_int(0);
    element.attribute("scroll")->set_int(useBackground);
    element.attribute("scroll_step")->set_float(0.1f);
  } else if (group == "NavMeshes") {
    element.set_label("NavMesh");
  } else if (group == "StageElements" || group == "TextureStrip") {
    float y = 0.0f, ys = 0.0f;
    if (element.get_attribute_float("y", y) && element.get_attribute_float("ys", ys))
      element.attribute("zref")->set_int(static_cast<int>(y + 0.9f * ys));
    if (group == "TextureStrip") {
      element.attribute("playmode")->set_int(1);
      element.attribute("frame_step")->set_float(0.1f);
      element.attribute("min_time")->set_float(0.0f);
      element.attribute("max_time")->set_float(0.0f);
      element.attribute("use_blur")->set_int(1);
      element.attribute("LOD_level")->set_int(0);
      group = "StageElements";
    }
  }
  // A repeated label would leave Remove and Edit unable to tell its elements apart.
  base::tString<base::BaseString> wanted;
  element.get_attribute_string("label", wanted);
  const base::tString<base::BaseString> label = FindUnusedLabel(description.get_element(group.c_str()), wanted);
  if (label != wanted) {
    if (!wanted.empty()) {
      const std::string text = std::string(group.c_str()) + " already has an element \"" + wanted.c_str() +
                               "\"; the new one is \"" + label.c_str() + "\"";
      base::sys::Output("Warning: Editor: %s\n", text.c_str());
      ShowEditorStatus(text, true, ElementKey(group, label));  // the name the scripts must use is not the one typed
    }
    element.attribute("label")->set_string(label.c_str());
  }
  // Kept as typed: the warning says what to change.
  if (const std::string note = UncallableLabelNote(group.c_str(), label); !note.empty()) {
    const std::string text = std::string(group.c_str()) + " \"" + label.c_str() + "\": " + note;
    base::sys::Output("Warning: Editor: %s\n", text.c_str());
    ShowEditorStatus(text, true, ElementKey(group, label));
  }
  scene->AddElement(group.c_str(), element, true, 0);
  Store(group.c_str(), before);
}

void cl_SceneEditorPanel::UpdateInScene(const base::Variant& event) {
  if (event.size() < 1 || !event[0].is_element()) return;
  base::tString<base::BaseString> group;
  event.get_attribute_string("category", group);
  int ordinal = 0;
  event.get_attribute_int("ordinal", ordinal);
  cl_Scene* scene = cl_Editor::GetEditedScene();
  const base::Variant before(scene->GetSettings());
  scene->UpdateElement(group.c_str(), event[0], true, ordinal);
  Store(group.c_str(), before);
}

void cl_SceneEditorPanel::PressButton(const base::tString<base::BaseString>& button) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  base::tString<base::BaseString> group, label;
  int ordinal = 0;
  const bool element = GetSelectedElement(group, label, ordinal);
  const base::Variant before(scene->GetSettings());
  if (button == "Compile") {
    Compile();
  } else if (button == "Test") {
    OpenTestRun();
  } else if (button == "Remove") {
    if (element) {
      scene->RemoveElement(group.c_str(), label.c_str(), ordinal);
      // The label would go on framing elements of that name, in this room and the game's.
      DropSelection();
    }
    Store(group.c_str(), before);
    // What the line said of the element (the name it was given) no longer holds; a failed save
    // has put its own line there.
    if (element) ForgetEditorStatusAbout(ElementKey(group, label));
  } else if (button == "Up" || button == "Down") {
    if (element) scene->MoveElement(group.c_str(), label.c_str(), button == "Up", ordinal);
    Store(group.c_str(), before);
  } else if (button == "Edit") {
    Edit();
  } else if (button == "Add") {
    base::cl_Window* tree = FindByLabel("ResourceList");
    const base::tString<base::BaseString> selected =
        tree ? tree->GetSelectedLabel() : base::tString<base::BaseString>();
    if (IsSceneElementGroup(selected.c_str())) AddToGroup(selected);
  }
}

void cl_SceneEditorPanel::AddToGroup(const base::tString<base::BaseString>& group) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  base::cl_GUI* gui = GetGUI();
  if (!gui) return;
  const base::tString<base::BaseString> folder = scene->GetScenePath();
  if (group == "BackgroundElements" || group == "StageElements" || group == "ForegroundElements" ||
      group == "SpecialFX" || group == "HeavenElements") {
    cl_LoadImageDialog* browser = cl_LoadImageDialog::Open(this, group, base::Variant());
    if (base::cl_Window* label = browser->FindByLabel("label"))
      label->m_Value.set_string(FindFreeLabel(scene->GetSettings().get_element(group.c_str()), group.c_str()).c_str());
    if (base::cl_Window* files = browser->FindByLabel("FileNames")) {
      if (group == "StageElements")
        FillStageFileList(files->m_Value, folder);
      else
        FillImageFileList(files->m_Value, folder);
      files->SetFlag(base::WF_REBUILD | base::WF_SELECTABLE, true);
    }
    gui->AddModalWindow(browser);
  } else if (group == "NavMeshes") {
    base::Variant listing;
    base::ListDirectory(listing, folder, base::tString<base::BaseString>("*.xml"), false);
    base::Variant items;
    items.set_element("List");
    for (int i = 0; i < listing.size(); ++i) {
      base::tString<base::BaseString> name;
      if (Is(listing[i].get_label(), "File") && listing[i].get_attribute_string("name", name) &&
          name != "ProjectFile.xml")
        base::AddStringEntry(items, name.c_str());
    }
    cl_SelectItemDialog* dialog = cl_SelectItemDialog::Open(this, "NavMeshes", "default");
    if (base::cl_Window* list = dialog->FindByLabel("Items")) {
      list->m_Value.cut(items);
      list->SetFlag(base::WF_REBUILD | base::WF_SELECTABLE, true);
    }
    gui->AddModalWindow(dialog);
  } else if (group == "Locators" || group == "HotSpots") {
    // The tools take the viewport: the panel stays hidden until they end.
    Show(false);
    gui->AddModalWindow(group == "Locators" ? static_cast<base::cl_Window*>(cl_PlaceLocatorTool::Open(this))
                                            : cl_PlaceHotspotTool::Create(this));
  } else if (group == "Lights") {
    // One ambient light a scene: once there is one, a new light is proposed as directional.
    const bool ambient = HasLightOfType(scene->GetSettings().get_element("Lights"), "ambient");
    gui->AddModalWindow(cl_SelectLightTypeDialog::Open(this, ambient ? "directional" : "ambient"));
  }
}

void cl_SceneEditorPanel::Compile() {
  const st_CompileOutcome outcome = CompileScene(*cl_Editor::GetEditedScene());
  ShowEditorStatus(outcome.text, !outcome.written || outcome.warning);
}

void cl_SceneEditorPanel::OpenTestRun() {
  base::cl_GUI* gui = GetGUI();
  if (!gui) return;
  Show(false);
  if (cl_TestRun* run = cl_TestRun::Open(this)) gui->AddModalWindow(run);
}

void cl_SceneEditorPanel::DropSelection() {
  if (base::cl_Window* tree = FindByLabel("ResourceList")) tree->ClearSelection();
  g_SelectedElementLabel.clear();
}

void cl_SceneEditorPanel::Edit() {
  base::tString<base::BaseString> group, label;
  int ordinal = 0;
  if (!GetSelectedElement(group, label, ordinal)) return;
  if (group == "HeavenElements") {
    OpenHeavenEditor(label.c_str(), ordinal);
  } else if (group == "StageElements") {
    if (!OpenTextureStripEditor(label.c_str(), ordinal)) OpenLayerEditor(group.c_str(), label.c_str(), ordinal);
  } else {
    OpenLayerEditor(group.c_str(), label.c_str(), ordinal);
  }
}

// ---- the property menus

namespace {

// Opens a menu of kind T answering panel, or closes the one of that kind it has open.
template <class T, class... Args>
void OpenMenu(cl_SceneEditorPanel& panel, const Args&... args) {
  base::cl_GUI* gui = panel.GetGUI();
  if (!gui) return;
  for (base::cl_Window* window : gui->m_Children)
    if (auto* open = dynamic_cast<T*>(window); open && open->GetListener() == &panel) {
      open->Close();
      return;
    }
  auto* menu = new T(&panel);
  if (!menu->Setup(args...)) {
    delete menu;
    return;
  }
  gui->AddChild(menu);
}

}  // namespace

void cl_SceneEditorPanel::OpenHeavenEditor(const char* label, int ordinal) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  if (!scene || !scene->FindElementDescription("HeavenElements", label, ordinal)) return;
  if (!dynamic_cast<cl_HeavenLayer*>(scene->FindLayer(label))) return;
  OpenMenu<cl_HeavenMenu>(*this, label, ordinal);
}

void cl_SceneEditorPanel::OpenLayerEditor(const char* group, const char* label, int ordinal) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  const base::Variant* element = scene ? scene->FindElementDescription(group, label, ordinal) : nullptr;
  // Locators, hotspots, lights and nav meshes have no layer and no menu of this kind.
  if (!element || !scene->FindLayer(label)) return;
  OpenMenu<cl_LayerMenu>(*this, *element, group, ordinal);
}

bool cl_SceneEditorPanel::OpenTextureStripEditor(const char* label, int ordinal) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  const base::Variant* element = scene ? scene->FindElementDescription("StageElements", label, ordinal) : nullptr;
  base::tString<base::BaseString> file;
  if (!element || !element->get_attribute_string("file", file) || base::GetFileExtension(file) != "tst") return false;
  const cl_Layer* layer = scene->FindLayer(label);
  if (layer && layer->GetStrip()) OpenMenu<cl_TextureStripMenu>(*this, label, ordinal);
  return true;
}

}  // namespace quillane
