// Windows from layout descriptions: the common description keys, creation by class name through
// the GUI root's factory, and the layout file ("GUI.xml") whose root holds one element per layout.
#include <cstdio>

#include "base/data/Xml.h"
#include "base/gui/GUI.h"
#include "base/system.h"
#include "base/text/Vocable.h"

namespace base {

namespace {

// The description keys, interned once so each lookup compares name words.
struct st_Keys {
  const unsigned char* x = vocable::find_or_add("x");
  const unsigned char* y = vocable::find_or_add("y");
  const unsigned char* w = vocable::find_or_add("w");
  const unsigned char* h = vocable::find_or_add("h");
  const unsigned char* closePanel = vocable::find_or_add("close_panel");
  const unsigned char* defaultButton = vocable::find_or_add("default");
  const unsigned char* cancelButton = vocable::find_or_add("cancel");
  const unsigned char* disable = vocable::find_or_add("disable");
  const unsigned char* selectable = vocable::find_or_add("selectable");
  const unsigned char* text = vocable::find_or_add("text");
  const unsigned char* label = vocable::find_or_add("label");
  const unsigned char* value = vocable::find_or_add("value");
  const unsigned char* focus = vocable::find_or_add("focus");
};

const st_Keys& Keys() {
#ifdef QUILLANE_FUZZ
  // The fuzz targets forget every name between inputs: intern again each time.
  static st_Keys keys;
  keys = st_Keys();
  return keys;
#else
  static const st_Keys keys;
  return keys;
#endif
}

// Layouts place windows on a screen; a hostile or mistyped number (1e30, nan) is pulled back into a
// range where later sums and integer conversions stay defined.
constexpr float kLayoutLimit = 65536.0f;

void ReadCoordinate(StaticVariantIterator desc, const unsigned char* key, float& out) {
  if (!desc.get_attribute_float(key, out)) return;
  if (!(out == out)) out = 0.0f;
  out = out < -kLayoutLimit ? -kLayoutLimit : (out > kLayoutLimit ? kLayoutLimit : out);
}

bool ReadText(StaticVariantIterator desc, const unsigned char* key, tString<BaseString>& out) {
  StaticVariantIterator v = desc.get_attribute(key);
  if (v.is_nil()) return false;
  // The XML reader turns attribute values that look like numbers into numbers; a label "1" or a
  // caption "42" should still read as that text.
  if (v.is_string()) {
    out.set(v.get_string(), v.get_string_length());
  } else if (v.is_int() || v.is_float()) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v.get_float()));
    out = buffer;
  } else {
    out.clear();
  }
  return true;
}

}  // namespace

bool ReadDescriptionText(StaticVariantIterator desc, const char* key, tString<BaseString>& out) {
  const unsigned char* v = vocable::find(key);
  return v && ReadText(desc, v, out);
}

bool cl_Window::Init(StaticVariantIterator desc) {
  const st_Keys& k = Keys();
  ReadCoordinate(desc, k.x, m_Rect.x);
  ReadCoordinate(desc, k.y, m_Rect.y);
  ReadCoordinate(desc, k.w, m_Rect.w);
  ReadCoordinate(desc, k.h, m_Rect.h);
  if (desc.get_attribute(k.closePanel)) m_Flags |= WF_CLOSE_PANEL;
  if (desc.get_attribute(k.defaultButton)) m_Flags |= WF_DEFAULT;
  if (desc.get_attribute(k.cancelButton)) m_Flags |= WF_CANCEL;
  // Any readable value disables, "0" included: layouts rely on the key's presence.
  int ignored = 0;
  if (desc.get_attribute_int(k.disable, ignored)) m_Flags |= WF_DISABLED;
  tString<BaseString> selectable;
  if (ReadText(desc, k.selectable, selectable)) {
    m_Flags |= WF_SELECTABLE;
    if (selectable == "multiple") m_Flags |= WF_MULTIPLE;
  }
  ReadText(desc, k.text, m_Text);
  ReadText(desc, k.label, m_Label);
  StaticVariantIterator value = desc.get_attribute(k.value);
  if (!value.is_nil()) value.copy_to(m_Value);
  if (!desc.get_attribute(k.focus).is_nil()) SetFocus();
  return true;
}

cl_Window* cl_Window::CreateFromDescription(StaticVariantIterator desc) {
  if (!desc.is_element()) return nullptr;
  const unsigned char* tag = desc.get_label();
  cl_GUI* gui = GetGUI();
  cl_Window* w = gui ? gui->CreateWindow(tString<BaseString>(reinterpret_cast<const char*>(tag))) : nullptr;
  if (!w) w = new cl_Window;
  AddChild(w);
  w->Init(desc);
  return w;
}

cl_Window* cl_Window::CreateChild(const tString<BaseString>& className) {
  cl_GUI* gui = GetGUI();
  cl_Window* w = gui ? gui->CreateWindow(className) : nullptr;
  if (!w) {
    sys::Output("ERROR: GUI: no window class '%s' registered (child of '%s')\n", className.c_str(), m_Label.c_str());
    return nullptr;
  }
  AddChild(w);
  return w;
}

bool cl_Window::LoadFromFile(const char* file, const char* label) {
  StaticVariant layouts;
  if (!xml::read_file(layouts, file)) {
    sys::Output("ERROR: GUI layout '%s': file '%s' could not be read\n", label ? label : "", file ? file : "");
    return false;
  }
  const unsigned char* labelKey = vocable::find_or_add("label");
  tString<BaseString> name;
  const int count = layouts.get_element_cnt();
  for (int i = 0; i < count; ++i) {
    StaticVariantIterator element = layouts.get_element(i);
    if (!element.is_element() || element.get_attribute(labelKey).is_nil()) continue;
    ReadText(element, labelKey, name);
    if (str::compare(name, label) != 0) continue;  // duplicates: the first one wins
    return CreateFromDescription(element) != nullptr;
  }
  sys::Output("ERROR: GUI layout file '%s': no layout labelled '%s'\n", file ? file : "", label ? label : "");
  return false;
}

bool cl_Group::Init(StaticVariantIterator desc) {
  cl_Window::Init(desc);
  const int count = desc.get_element_cnt();
  for (int i = 0; i < count; ++i) CreateFromDescription(desc.get_element(i));
  return true;
}

bool cl_Panel::Init(StaticVariantIterator desc) { return CreateFromDescription(desc) != nullptr; }

}  // namespace base
