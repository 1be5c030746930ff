// The three layer property menus.
#include "quillane/editor/LayerMenus.h"

#include <algorithm>
#include <cstdlib>

#include "base/system.h"
#include "graphics/image/TextureStrip.h"
#include "quillane/editor/Editor.h"
#include "quillane/editor/EditorStatus.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

bool IsOk(const base::Variant& event) {
  base::tString<base::BaseString> button;
  const char* name = event.get_label();
  return name && base::str::compare(name, "ButtonPressed") == 0 && event.get_attribute_string("ctrl_label", button) &&
         button == "Ok";
}

// The control's value as text (numbers printed); empty without the control or a value.
base::tString<base::BaseString> Text(base::cl_Window& menu, const char* control) {
  base::tString<base::BaseString> text;
  const base::cl_Window* w = menu.FindByLabel(control);
  if (w && !w->m_Value.is_void()) w->m_Value.print_to(text);
  if (text == "void") text.clear();
  return text;
}

// Decimal conversion of the leading digits: text that is no number reads as 0.
float Number(base::cl_Window& menu, const char* control) { return std::strtof(Text(menu, control).c_str(), nullptr); }
int Integer(base::cl_Window& menu, const char* control) {
  return static_cast<int>(std::strtol(Text(menu, control).c_str(), nullptr, 10));
}

void SetValue(base::cl_Window& menu, const char* control, int value) {
  if (base::cl_Window* w = menu.FindByLabel(control)) w->m_Value.set_int(value);
}
void SetText(base::cl_Window& menu, const char* control, const char* format, double value) {
  base::tString<base::BaseString> text;
  text.print(format, value);
  if (base::cl_Window* w = menu.FindByLabel(control)) w->m_Value.set_string(text.c_str());
}

base::Variant* FindElement(const char* group, const base::tString<base::BaseString>& label, int ordinal) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  return scene ? scene->FindElementDescription(group, label.c_str(), ordinal) : nullptr;
}

// The ordinal-th layer of that label: the live lists keep the description's order.
template <class T, class List>
T* FindIn(List& list, const base::tString<base::BaseString>& label, int ordinal) {
  for (auto* layer : list)
    if (layer->GetLabel() == label && ordinal-- == 0) return layer;
  return nullptr;
}

cl_HeavenLayer* FindHeavenLayer(const base::tString<base::BaseString>& label, int ordinal) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  return scene ? FindIn<cl_HeavenLayer>(scene->HeavenElements, label, ordinal) : nullptr;
}

cl_Layer* FindStripLayer(const base::tString<base::BaseString>& label, int ordinal) {
  cl_Scene* scene = cl_Editor::GetEditedScene();
  cl_Layer* layer = scene ? FindIn<cl_Layer>(scene->StageElements, label, ordinal) : nullptr;
  return layer && layer->GetStrip() ? layer : nullptr;
}

void Gone(base::cl_Window& menu, const char* what, const base::tString<base::BaseString>& label) {
  base::sys::Output("Warning: Editor: the %s '%s' is no longer in the scene; the menu closes\n", what, label.c_str());
  menu.Close();
}

void SaveProject() {
  if (cl_Scene* scene = cl_Editor::GetEditedScene()) StoreProjectFile(*scene);
}

}  // namespace

// ---- what the menus share

void cl_SceneElementMenu::Update(float dt) {
  cl_Panel::Update(dt);
  // Its label and ordinal name an element of that scene, not of the one edited now.
  if (m_watch.IsGone()) Close();
}

// ---- the sky layer

cl_HeavenMenu::cl_HeavenMenu(base::cl_Window* listener) : cl_SceneElementMenu(listener) {
  m_Label = kLabel;
  LoadFromFile("GUI.xml", kLabel);
}

bool cl_HeavenMenu::Setup(const char* label, int ordinal) {
  const cl_HeavenLayer* layer = FindHeavenLayer(base::tString<base::BaseString>(label), ordinal);
  if (!layer) return false;
  m_label = label;
  m_ordinal = ordinal;
  if (layer->IsScrolling()) SetValue(*this, "Scroll", 1);
  SetText(*this, "speedvalue", "%f", static_cast<double>(layer->GetScrollStep()));
  return true;
}

bool cl_HeavenMenu::ProcessEvent(const base::Variant& event) {
  if (!IsOk(event)) return false;
  cl_HeavenLayer* layer = FindHeavenLayer(m_label, m_ordinal);
  base::Variant* element = FindElement("HeavenElements", m_label, m_ordinal);
  if (!layer || !element) {
    Gone(*this, "sky layer", m_label);
    return false;
  }
  const bool scroll = Integer(*this, "Scroll") > 0;
  const float speed = Number(*this, "speedvalue");
  layer->SetScroll(scroll, speed);
  element->attribute("scroll")->set_int(scroll ? 1 : 0);
  element->attribute("scroll_step")->set_float(speed);
  SaveProject();
  return false;
}

// ---- any image layer

cl_LayerMenu::cl_LayerMenu(base::cl_Window* listener) : cl_SceneElementMenu(listener) {
  m_Label = kLabel;
  LoadFromFile("GUI.xml", kLabel);
}

bool cl_LayerMenu::Setup(const base::Variant& element, const char* group, int ordinal) {
  m_element = element;
  m_group = group;
  m_ordinal = ordinal;
  int use = 0;
  m_element.get_attribute_int("use_background_pixels", use);
  SetValue(*this, "UseBackgroundPixel", use);
  return true;
}

bool cl_LayerMenu::ProcessEvent(const base::Variant& event) {
  if (!IsOk(event) || !GetListener()) return false;
  m_element.attribute("use_background_pixels")->set_int(Integer(*this, "UseBackgroundPixel"));
  base::Variant update;
  update.set_element("UpdateElement");
  update.attribute("category")->set_string(m_group.c_str());
  update.attribute("ordinal")->set_int(m_ordinal);
  update.push_back(m_element);
  GetListener()->ProcessEvent(update);
  return false;
}

// ---- a texture strip

cl_TextureStripMenu::cl_TextureStripMenu(base::cl_Window* listener) : cl_SceneElementMenu(listener) {
  m_Label = kLabel;
  LoadFromFile("GUI.xml", kLabel);
}

bool cl_TextureStripMenu::Setup(const char* label, int ordinal) {
  const cl_Layer* layer = FindStripLayer(base::tString<base::BaseString>(label), ordinal);
  if (!layer) return false;
  m_label = label;
  m_ordinal = ordinal;
  const gfx::cl_TextureStrip* strip = layer->GetStrip();
  const int mode = strip->GetPlayMode();
  SetValue(*this, "singleshot", mode == 0 ? 1 : 0);
  SetValue(*this, "loop", mode == 1 ? 1 : 0);
  SetValue(*this, "random", mode == 2 ? 1 : 0);
  SetValue(*this, "use_blur", strip->GetUseBlur() ? 1 : 0);
  SetValue(*this, "LOD_show_first_frame", layer->GetLodShowFirstFrame() ? 1 : 0);
  SetText(*this, "speedvalue", "%f", static_cast<double>(strip->GetFrameStep()));
  SetText(*this, "min_time", "%f", static_cast<double>(strip->GetPauseMin()));
  SetText(*this, "max_time", "%f", static_cast<double>(strip->GetPauseMax()));
  base::tString<base::BaseString> lod;
  lod.print("%d", layer->GetLodLevel());
  if (base::cl_Window* w = FindByLabel("LOD_level")) w->m_Value.set_string(lod.c_str());
  return true;
}

bool cl_TextureStripMenu::ProcessEvent(const base::Variant& event) {
  if (!IsOk(event)) return false;
  cl_Layer* layer = FindStripLayer(m_label, m_ordinal);
  base::Variant* element = FindElement("StageElements", m_label, m_ordinal);
  if (!layer || !element) {
    Gone(*this, "texture strip", m_label);
    return false;
  }
  gfx::cl_TextureStrip* strip = layer->GetStrip();
  const float step = Number(*this, "speedvalue");
  const base::tString<base::BaseString> mode = Text(*this, "playmode");
  // The strip's own mode setter also decides the running flag: it is set back afterwards.
  bool playing = strip->IsPlaying();
  int playMode = strip->GetPlayMode();
  if (mode == "loop" || mode == "singleshot") {
    playMode = mode == "loop" ? 1 : 0;
    playing = true;
    strip->SetPosition(0.0f);
  } else if (mode == "random") {
    playMode = 2;
  } else if (mode == "stop") {
    playMode = 3;
    playing = false;
    strip->SetPosition(0.0f);
  }
  strip->SetPlayMode(playMode, step);
  strip->SetPlaying(playing);
  if (mode == "loop" || mode == "singleshot" || mode == "random" || mode == "stop")
    element->attribute("playmode")->set_int(playMode);
  element->attribute("frame_step")->set_float(step);
  const int blur = Integer(*this, "use_blur");
  strip->SetUseBlur(blur == 1);
  element->attribute("use_blur")->set_int(blur);
  const float low = Number(*this, "min_time"), high = Number(*this, "max_time");
  strip->SetPauseRange(low, high);
  element->attribute("min_time")->set_float(low);
  element->attribute("max_time")->set_float(high);
  const int lod = std::clamp(Integer(*this, "LOD_level"), 0, kMaxLodLevel);
  const int firstFrame = Integer(*this, "LOD_show_first_frame");
  element->attribute("LOD_level")->set_int(lod);
  element->attribute("LOD_show_first_frame")->set_int(firstFrame);
  layer->SetLod(lod, firstFrame == 1);
  SaveProject();
  return false;
}

}  // namespace quillane
