// The .play driver's steps for the editors: clicks, moves and drags at window points, keys held
// and released, typed text, list rows, windows coming and going, and the files the editors write.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/gui/GUI.h"
#include "platform/input/Input.h"
#include "quillane/app/PlayDriver.h"

namespace {

constexpr uint8_t kScanShift = 0x2A;
constexpr size_t kCharactersPerFrame = 8;  // well inside the keyboard buffer of one frame
constexpr int kLeftButton = 0, kRightButton = 1;

// Shown: the window and every window above it are visible.
bool IsShown(const base::cl_Window* w) {
  for (; w; w = w->m_Parent)
    if (w->HasFlag(base::WF_HIDDEN)) return false;
  return true;
}

// The first window below root (not root itself) labelled label, depth first.
base::cl_Window* FindBelow(base::cl_Window* root, const std::string& label) {
  for (base::cl_Window* child : root->m_Children) {
    if (child->m_Label == label.c_str()) return child;
    if (base::cl_Window* below = FindBelow(child, label)) return below;
  }
  return nullptr;
}

// The first child element of v that has that name or that "label".
const base::Variant* ChildNamed(const base::Variant& v, const std::string& name) {
  for (int i = 0; i < v.size(); ++i) {
    const base::Variant& child = v[i];
    if (!child.is_element()) continue;
    base::tString<base::BaseString> label;
    const char* tag = child.get_label();
    if ((tag && name == tag) || (child.get_attribute_string("label", label) && name == label.c_str())) return &child;
  }
  return nullptr;
}

bool ExpectXml(const st_PlayStep& step, std::string* why) {
  base::Variant root;
  if (!base::xml::read_file(root, step.name.c_str()) || !root.is_element()) {
    *why = step.name + " cannot be read as XML";
    return false;
  }
  const base::Variant* element = &root;
  if (step.argument != ".") {
    size_t start = 0;
    while (element && start <= step.argument.size()) {
      const size_t slash = step.argument.find('/', start);
      const std::string part = step.argument.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
      element = ChildNamed(*element, part);
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
  }
  const base::Variant* value = element ? element->get_attribute(step.attribute.c_str()) : nullptr;
  if (step.value == "absent") {
    if (!value) return true;
    *why = step.name + ": " + step.argument + " has " + step.attribute;
    return false;
  }
  if (!value) {
    *why = step.name + ": " + (element ? step.argument + " has no " + step.attribute : "nothing at " + step.argument);
    return false;
  }
  base::tString<base::BaseString> text;
  value->print_to(text);
  char* end = nullptr;
  const double number = std::strtod(step.value.c_str(), &end);
  const bool numeric = end && *end == 0 && value->is_number();
  if (numeric ? std::fabs(value->get_double() - number) <= 1e-4 : step.value == text.c_str()) return true;
  *why = step.name + ": " + step.argument + " " + step.attribute + " is " + text.c_str() + ", expected " + step.value;
  return false;
}

}  // namespace

void cl_PlayDriver::PointerTo(platform::input::Queue& input, int x, int y) {
  int cx = 0, cy = 0;
  input.GetCursor(&cx, &cy);
  input.MouseMotion(x - cx, y - cy, x, y, m_inputTime);
}

cl_PlayDriver::en_Outcome cl_PlayDriver::RunEditorStep(const st_PlayStep& step, platform::input::Queue& input,
                                                       std::string* why) {
  switch (step.kind) {
    case st_PlayStep::CLICK_AT:
    case st_PlayStep::RCLICK_AT: {
      const int button = step.kind == st_PlayStep::CLICK_AT ? kLeftButton : kRightButton;
      PointerTo(input, step.point[0], step.point[1]);
      input.MouseButton(button, true, m_inputTime + 1);
      input.MouseButton(button, false, m_inputTime + 2);
      ++m_next;
      return en_Outcome::Yield;
    }
    case st_PlayStep::MOVE:
      PointerTo(input, step.point[0], step.point[1]);
      ++m_next;
      return en_Outcome::Yield;
    case st_PlayStep::DRAG:
    case st_PlayStep::RDRAG:
      return Drag(step, input);
    case st_PlayStep::HOLD:
    case st_PlayStep::RELEASE:
      input.Key(static_cast<uint8_t>(step.number), step.kind == st_PlayStep::HOLD, m_inputTime);
      ++m_next;
      return en_Outcome::Yield;
    case st_PlayStep::TYPE:
      return Type(step, input);
    case st_PlayStep::CLICK_ENTRY:
      return ClickEntry(step, input, why);
    case st_PlayStep::WAIT_WINDOW:
    case st_PlayStep::WAIT_GONE: {
      const base::cl_Window* window = FindOpenWindow(step.name);
      const bool shown = window && IsShown(window);
      if (shown == (step.kind == st_PlayStep::WAIT_WINDOW)) return en_Outcome::Next;
      if (++m_waited > step.number) {
        *why = "the window \"" + step.name + (shown ? "\" still shows" : "\" did not show") + " after " +
               std::to_string(step.number) + " frames";
        return en_Outcome::Fail;
      }
      return en_Outcome::Yield;
    }
    case st_PlayStep::EXPECT_XML:
      return ExpectXml(step, why) ? en_Outcome::Next : en_Outcome::Fail;
    case st_PlayStep::EXPECT_FILE: {
      const bool exists = base::FileExists(step.name.c_str());
      if (exists == (step.argument == "exists")) return en_Outcome::Next;
      *why = step.name + (exists ? " exists" : " is missing");
      return en_Outcome::Fail;
    }
    default:
      *why = "not an editor step";
      return en_Outcome::Fail;
  }
}

// The press at the first point, one move a frame along the line, the release at the second point.
cl_PlayDriver::en_Outcome cl_PlayDriver::Drag(const st_PlayStep& step, platform::input::Queue& input) {
  const int button = step.kind == st_PlayStep::DRAG ? kLeftButton : kRightButton;
  const int frames = step.number;
  if (m_stepFrame == 0) {
    PointerTo(input, step.point[0], step.point[1]);
    input.MouseButton(button, true, m_inputTime + 1);
  } else if (m_stepFrame <= frames) {
    const float t = static_cast<float>(m_stepFrame) / static_cast<float>(frames);
    PointerTo(input, static_cast<int>(std::lround(step.point[0] + (step.point[2] - step.point[0]) * t)),
              static_cast<int>(std::lround(step.point[1] + (step.point[3] - step.point[1]) * t)));
  } else {
    input.MouseButton(button, false, m_inputTime + 1);
    m_stepFrame = 0;
    ++m_next;
    return en_Outcome::Yield;
  }
  ++m_stepFrame;
  return en_Outcome::Yield;
}

// A few characters a frame, each a press and release of its key, with Shift around it when the
// layout needs it.
cl_PlayDriver::en_Outcome cl_PlayDriver::Type(const st_PlayStep& step, platform::input::Queue& input) {
  const size_t begin = static_cast<size_t>(m_stepFrame);
  const size_t end = std::min(step.name.size(), begin + kCharactersPerFrame);
  uint32_t time = m_inputTime;
  for (size_t i = begin; i < end; ++i) {
    uint8_t scan = 0;
    bool shift = false, text = false;
    if (!KeyOfCharacter(step.name[i], &scan, &shift, &text)) continue;  // the reader refused such text
    if (shift) input.Key(kScanShift, true, time++);
    input.Key(scan, true, time++);
    if (text) input.Text(std::u32string(1, static_cast<unsigned char>(step.name[i])), time);
    input.Key(scan, false, time++);
    if (shift) input.Key(kScanShift, false, time++);
  }
  m_stepFrame = static_cast<int>(end);
  if (end >= step.name.size()) {
    m_stepFrame = 0;
    ++m_next;
  }
  return en_Outcome::Yield;
}

// A click in the middle of the row, once the list has been drawn with it.
cl_PlayDriver::en_Outcome cl_PlayDriver::ClickEntry(const st_PlayStep& step, platform::input::Queue& input,
                                                    std::string* why) {
  base::cl_Window* control = FindOpenWindow(step.name);
  base::cl_Window* row = control ? FindBelow(control, step.argument) : nullptr;
  const bool drawn = row && row->m_AbsRect.right > row->m_AbsRect.left && IsShown(row);
  if (!drawn) {
    if (++m_waited > step.number) {
      *why = control ? "the list \"" + step.name + "\" shows no row \"" + step.argument + "\""
                     : "no window labelled \"" + step.name + "\" is open";
      return en_Outcome::Fail;
    }
    return en_Outcome::Yield;
  }
  PointerTo(input, static_cast<int>((row->m_AbsRect.left + row->m_AbsRect.right) * 0.5f),
            static_cast<int>((row->m_AbsRect.top + row->m_AbsRect.bottom) * 0.5f));
  input.MouseButton(kLeftButton, true, m_inputTime + 1);
  input.MouseButton(kLeftButton, false, m_inputTime + 2);
  m_waited = 0;
  ++m_next;
  return en_Outcome::Yield;
}
