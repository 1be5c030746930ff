// The editors' changes to a shown scene: each is made in the description tree and in the live
// element lists, so the editor shows it at once and SaveProjectFile / Save store it. Elements
// are named by their group, label and ordinal: projects written before labels were kept apart
// repeat labels, and an edit must reach the one element chosen, not every one of its label.
#include <cmath>
#include <iterator>

#include "base/data/VariantTools.h"
#include "base/system.h"
#include "quillane/scene/Scene.h"

namespace quillane {

namespace {

const base::tString<base::BaseString>& NameOf(const cl_Layer* layer) { return layer->GetLabel(); }
const base::tString<base::BaseString>& NameOf(const cl_SceneLight* light) { return light->label; }
const base::tString<base::BaseString>& NameOf(const cl_SceneLocator* locator) { return locator->name; }
const base::tString<base::BaseString>& NameOf(const cl_SceneHotspot* hotspot) { return hotspot->label; }

// The ordinal-th (from 0) element of that name.
template <class T>
typename std::list<T*>::iterator FindNamed(std::list<T*>& list, const base::tString<base::BaseString>& name,
                                           int ordinal) {
  for (auto it = list.begin(); it != list.end(); ++it)
    if (NameOf(*it) == name && ordinal-- == 0) return it;
  return list.end();
}

template <class T>
void LogNames(const std::list<T*>& list) {
  for (const T* element : list) base::sys::Output("%s\n", NameOf(element).c_str());
}

template <class T>
bool RemoveNamed(std::list<T*>& list, const base::tString<base::BaseString>& name, int ordinal) {
  auto it = FindNamed(list, name, ordinal);
  if (it == list.end()) return false;
  delete *it;
  list.erase(it);
  return true;
}

template <class T>
void MoveNamed(std::list<T*>& list, const base::tString<base::BaseString>& name, int ordinal, bool up) {
  auto it = FindNamed(list, name, ordinal);
  if (it == list.end()) return;
  if (up && it != list.begin())
    std::iter_swap(it, std::prev(it));
  else if (!up && std::next(it) != list.end())
    std::iter_swap(it, std::next(it));
}

// Replaces the ordinal-th element of that name by a fresh one (null: removed), keeping its place.
template <class T>
void ReplaceNamed(std::list<T*>& list, const base::tString<base::BaseString>& name, int ordinal, T* fresh) {
  LogNames(list);
  auto it = FindNamed(list, name, ordinal);
  if (it == list.end()) {
    delete fresh;
    return;
  }
  delete *it;
  it = list.erase(it);
  if (fresh) list.insert(it, fresh);
  LogNames(list);
}

base::tString<base::BaseString> LabelOf(const base::Variant& element) {
  base::tString<base::BaseString> label;
  element.get_attribute_string("label", label);
  return label;
}

// The index in group of its ordinal-th child element of that label; -1 when there is none.
int FindLabelled(const base::Variant& group, const base::tString<base::BaseString>& label, int ordinal) {
  for (int i = 0; i < group.size(); ++i)
    if (group[i].is_element() && LabelOf(group[i]) == label && ordinal-- == 0) return i;
  return -1;
}

}  // namespace

// The layer groups with their live lists and record types (ORDER SCENEGROUPS).
#define QL_SCENE_GROUP_LISTS(X)                          \
  X("HeavenElements", HeavenElements, cl_HeavenLayer)    \
  X("BackgroundElements", BackgroundElements, cl_Layer)  \
  X("StageElements", StageElements, cl_Layer)            \
  X("ForegroundElements", ForegroundElements, cl_Layer)  \
  X("SpecialFX", SpecialFX, cl_Layer)

void cl_Scene::AddElement(const char* group, const base::Variant& description, bool lazy, int) {
  base::Variant* groupElement = base::variant_find_or_add_element(m_settings, group);
  if (!groupElement) return;
  base::Variant copy(description);
  const base::Variant& child = groupElement->push_back(copy);
  const base::tString<base::BaseString> g(group);
#define QL_ADD_LAYER(name, list, type)                                              \
  if (g == name) {                                                                  \
    if (cl_Layer* layer = BuildLayer(group, child, lazy)) list.push_back(static_cast<type*>(layer)); \
    return;                                                                         \
  }
  QL_SCENE_GROUP_LISTS(QL_ADD_LAYER)
#undef QL_ADD_LAYER
  if (g == "Lights")
    Lights.push_back(BuildLight(child));
  else if (g == "Locators")
    Locators.push_back(BuildLocator(child));
  else if (g == "HotSpots")
    HotSpots.push_back(BuildHotspot(child));
}

void cl_Scene::UpdateElement(const char* group, const base::Variant& description, bool lazy, int ordinal) {
  const base::tString<base::BaseString> label = LabelOf(description);
  base::Variant* groupElement = m_settings.get_element(group);
  const int index = groupElement ? FindLabelled(*groupElement, label, ordinal) : -1;
  if (index < 0) return;
  base::Variant* child = &(*groupElement)[index];
  child->copy(description);
  const base::tString<base::BaseString> g(group);
#define QL_UPDATE_LAYER(name, list, type)                                                          \
  if (g == name) {                                                                                 \
    ReplaceNamed<type>(list, label, ordinal, static_cast<type*>(BuildLayer(group, *child, lazy))); \
    return;                                                                                        \
  }
  QL_SCENE_GROUP_LISTS(QL_UPDATE_LAYER)
#undef QL_UPDATE_LAYER
  if (g == "Lights")
    ReplaceNamed(Lights, label, ordinal, BuildLight(*child));
  else if (g == "Locators")
    ReplaceNamed(Locators, label, ordinal, BuildLocator(*child));
  else if (g == "HotSpots")
    ReplaceNamed(HotSpots, label, ordinal, BuildHotspot(*child));
}

base::Variant* cl_Scene::FindElementDescription(const char* group, const char* label, int ordinal) {
  base::Variant* groupElement = m_settings.get_element(group);
  const int index = groupElement ? FindLabelled(*groupElement, base::tString<base::BaseString>(label), ordinal) : -1;
  return index < 0 ? nullptr : &(*groupElement)[index];
}

void cl_Scene::RemoveElement(const char* group, const char* label, int ordinal) {
  const base::tString<base::BaseString> g(group), name(label);
  if (base::Variant* groupElement = m_settings.get_element(group)) {
    const int index = FindLabelled(*groupElement, name, ordinal);
    if (index < 0) return;
    (*groupElement)[index].set_nil();
    base::variant_remove_elements_nil(*groupElement);
  }
  // Only the group's own list: the description and the live scene must stay alike.
#define QL_REMOVE_LAYER(groupName, list, type) \
  if (g == groupName) {                        \
    RemoveNamed(list, name, ordinal);          \
    return;                                    \
  }
  QL_SCENE_GROUP_LISTS(QL_REMOVE_LAYER)
#undef QL_REMOVE_LAYER
  if (g == "Lights")
    RemoveNamed(Lights, name, ordinal);
  else if (g == "Locators")
    RemoveNamed(Locators, name, ordinal);
  else if (g == "HotSpots")
    RemoveNamed(HotSpots, name, ordinal);
}

void cl_Scene::MoveElement(const char* group, const char* label, bool up, int ordinal) {
  const base::tString<base::BaseString> g(group), name(label);
#define QL_MOVE_LAYER(groupName, list, type) \
  if (g == groupName) MoveNamed(list, name, ordinal, up);
  QL_SCENE_GROUP_LISTS(QL_MOVE_LAYER)
#undef QL_MOVE_LAYER
  if (g == "Lights") MoveNamed(Lights, name, ordinal, up);
  if (g == "Locators") MoveNamed(Locators, name, ordinal, up);
  if (g == "HotSpots") MoveNamed(HotSpots, name, ordinal, up);

  base::Variant* groupElement = m_settings.get_element(group);
  if (!groupElement) return;
  const int n = groupElement->size();
  const int i = FindLabelled(*groupElement, name, ordinal);
  if (i < 0) return;
  base::Variant& child = (*groupElement)[i];
  if (up && i > 0)
    child.swap((*groupElement)[i - 1]);
  else if (!up && i + 1 < n)
    child.swap((*groupElement)[i + 1]);
}

#undef QL_SCENE_GROUP_LISTS

cl_SceneLocator* cl_Scene::PickLocator(float x, float y) {
  m_camera.GetProjectionMatrix();
  for (cl_SceneLocator* locator : Locators) {
    const base::tVector3<float> p = m_camera.World2Screen(locator->locator.GetPos());
    const base::tVector2<float> scene = ScreenToScene(p.x, p.y);
    const base::tVector2<float> screen = SceneToScreen(scene.x, scene.y);
    if (screen.x - 15.0f < x && x < screen.x + 15.0f && screen.y - 15.0f < y && y < screen.y + 15.0f) return locator;
  }
  return nullptr;
}

cl_Layer* cl_Scene::PickStageSortLine(float x, float y) {
  for (cl_Layer* layer : StageElements) {
    const float left = layer->GetX(), right = layer->GetX() + layer->GetW();
    if (left < x && x < right && std::fabs(static_cast<float>(layer->GetYSort()) - y) < 5.0f) return layer;
  }
  return nullptr;
}

}  // namespace quillane
