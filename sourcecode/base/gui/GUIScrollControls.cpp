// Dragging, sliders, the scroll area's layout and the string control's selection and editing.
#include "base/gui/GUIScrollControls.h"

#include <algorithm>
#include <cmath>

#include "base/app/ICMD.h"
#include "base/app/KeyCode.h"
#include "base/text/Textsystem.h"

namespace base {

namespace {

constexpr float kSliderThickness = 16;
constexpr float kSliderSpace = 18;   // client width given up to the vertical slider
constexpr float kMinHandle = 16;     // shortest handle drawn
constexpr float kCaretTextIndent = 8;  // the skins start a row's text this far right

// v held to [lo, hi]; layouts may carry NaN or infinite sizes, so no ordering is assumed: NaN
// becomes lo, and a NaN bound lets v through.
float Clamp(float v, float lo, float hi) {
  if (!(v > lo)) return lo;
  return v > hi ? hi : v;
}

// Moves one handle coordinate: pinned at either end while the mouse is beyond it, otherwise the
// summed movement is added and the result clamped to the slider.
void MoveHandle(float& pos, float& drag, float handleSize, float sliderSize, float mouse, float sliderLow,
                float sliderHigh) {
  if (handleSize >= sliderSize) {
    pos = 0;
    return;
  }
  const float room = sliderSize - handleSize;
  if (mouse < sliderLow) {
    pos = 0;
  } else if (mouse >= sliderHigh) {
    pos = room;
  } else {
    pos = Clamp(pos + drag, 0.0f, room);
    drag = 0;
  }
}

}  // namespace

// ---- dragging and sliders

bool cl_DragableWindow::ProcessDrag(ICMD& cmd) {
  const float x = cmd.mouseX;
  const float y = cmd.mouseY;
  if (m_Dragging && cmd.type == ICMD::LEFT_UP) {
    m_Dragging = false;
    return false;
  }
  if (cmd.type == ICMD::LEFT_DOWN && HitTest(cmd)) {
    m_Dragging = true;
    m_LastX = x;
    m_LastY = y;
    m_DragX = m_DragY = 0;
    return true;
  }
  if (cmd.type == ICMD::MOUSE_MOVE && m_Dragging) {
    m_DragX += x - m_LastX;
    m_DragY += y - m_LastY;
    m_LastX = x;
    m_LastY = y;
    return true;
  }
  return false;
}

cl_SliderHandle::cl_SliderHandle() {
  m_Rect.w = 16;
  m_Rect.h = 16;
}

bool cl_SliderHandle::ProcessInput(ICMD& cmd) {
  if (!ProcessDrag(cmd)) return false;
  const cl_Window* s = m_Parent;
  if (!s) return true;
  MoveHandle(m_Rect.x, m_DragX, m_Rect.w, s->m_Rect.w, cmd.mouseX, s->m_AbsRect.left, s->m_AbsRect.right);
  MoveHandle(m_Rect.y, m_DragY, m_Rect.h, s->m_Rect.h, cmd.mouseY, s->m_AbsRect.top, s->m_AbsRect.bottom);
  return true;
}

bool cl_Slider::Init(StaticVariantIterator) {
  m_pHandle = CreateChild("SliderHandle");
  return true;
}

// ---- cl_ScrollArea

cl_ScrollArea::cl_ScrollArea() {
  m_pClient = new cl_Window;
  m_pClient->m_Label = "ClientWindow";
  AddChild(m_pClient);
}

bool cl_ScrollArea::Init(StaticVariantIterator) {
  m_pHSlider = CreateChild("Slider");
  if (m_pHSlider) {
    m_pHSlider->Init(StaticVariantIterator());
    m_pHSlider->SetFlag(WF_DISABLED, true);
  }
  m_pVSlider = CreateChild("Slider");
  if (m_pVSlider) {
    m_pVSlider->SetFlag(WF_DISABLED, true);
    m_pVSlider->Init(StaticVariantIterator());
  }
  return true;
}

void cl_ScrollArea::ForgetLostParts() {
  if (m_pClient && !IsChild(m_pClient)) m_pClient = nullptr;
  if (m_pHSlider && !IsChild(m_pHSlider)) m_pHSlider = nullptr;
  if (m_pVSlider && !IsChild(m_pVSlider)) m_pVSlider = nullptr;
}

void cl_ScrollArea::GetSelectedChildren(tWindowList& out) {
  ForgetLostParts();
  if (m_pClient) m_pClient->GetSelectedChildren(out);
}

namespace {
// The handle of a slider made by the factory, or null (also once the handle was deleted).
cl_Window* HandleOf(cl_Window* slider) {
  const cl_Slider* s = dynamic_cast<cl_Slider*>(slider);
  return s && s->m_pHandle && s->IsChild(s->m_pHandle) ? s->m_pHandle : nullptr;
}
}  // namespace

bool cl_ScrollArea::ProcessInput(ICMD& cmd) {
  ForgetLostParts();
  // The sliders are called directly, so their WF_DISABLED does not hold back their drags.
  // A handle as long as its slider leaves no room to move: the offset then stays as it is rather
  // than becoming infinite or NaN, which the clamp at the next render could not repair.
  if (m_pHSlider && m_pHSlider->ProcessInput(cmd)) {
    const cl_Window* handle = HandleOf(m_pHSlider);
    const float room = handle ? m_pHSlider->m_Rect.w - handle->m_Rect.w : 0;
    if (room > 0) m_ScrollX = handle->m_Rect.x / room * (m_ContentW - m_Rect.w);
    return true;
  }
  if (m_pVSlider && m_pVSlider->ProcessInput(cmd)) {
    const cl_Window* handle = HandleOf(m_pVSlider);
    const float room = handle ? m_pVSlider->m_Rect.h - handle->m_Rect.h : 0;
    if (room > 0) m_ScrollY = handle->m_Rect.y / room * (m_ContentH - m_Rect.h);
    return true;
  }
  if (cmd.type > ICMD::MOUSE_MOVE && !HitTest(cmd)) return false;
  return m_pClient && m_pClient->ProcessInput(cmd);
}

void cl_ScrollArea::Render(float px, float py) {
  if (HasFlag(WF_HIDDEN)) return;
  ForgetLostParts();
  const float ox = m_Rect.x + px;
  const float oy = m_Rect.y + py;
  UpdateRect(px, py);
  if (!m_pClient) return;

  auto measure = [this]() {
    const st_ScreenRect r = m_pClient->GetBoundingRect();
    m_ContentW = r.right - r.left;
    m_ContentH = r.bottom - r.top;
  };
  measure();
  if (!(std::hypot(m_ContentW, m_ContentH) > 0)) {
    // Before the first layout: lay the client out without showing it, then measure again.
    const st_ScreenRect none;
    SetClipRect(&none);
    m_pClient->Render(ox, oy);
    SetClipRect(nullptr);
    measure();
  }

  st_WindowRect& client = m_pClient->m_Rect;
  client.w = m_Rect.w;
  client.h = m_Rect.h;
  if (m_pHSlider) m_pHSlider->SetFlag(WF_DISABLED, true);
  if (m_pVSlider) m_pVSlider->SetFlag(WF_DISABLED, !(m_ContentH > m_Rect.h));
  if (m_pHSlider && !m_pHSlider->HasFlag(WF_DISABLED)) client.h -= kSliderSpace;
  if (m_pVSlider && !m_pVSlider->HasFlag(WF_DISABLED)) client.w -= kSliderSpace;

  const float maxX = m_ContentW - m_Rect.w > 0 ? m_ContentW - m_Rect.w : 0.0f;
  const float maxY = m_ContentH - m_Rect.h > 0 ? m_ContentH - m_Rect.h : 0.0f;
  m_ScrollX = Clamp(m_ScrollX, 0.0f, maxX);
  m_ScrollY = Clamp(m_ScrollY, 0.0f, maxY);

  if (m_pHSlider) {
    st_WindowRect& s = m_pHSlider->m_Rect;
    s = {2, client.h, client.w - 4, kSliderThickness};
    cl_Window* handle = HandleOf(m_pHSlider);
    if (handle && m_ContentW > m_Rect.w) {
      handle->m_Rect.w = std::min(std::max(s.w * m_Rect.w / m_ContentW, kMinHandle), m_Rect.w);
      handle->m_Rect.x = (s.w - handle->m_Rect.w) * m_ScrollX / maxX;
    }
  }
  if (m_pVSlider) {
    st_WindowRect& s = m_pVSlider->m_Rect;
    s = {client.w, 2, kSliderThickness, client.h - 4};
    cl_Window* handle = HandleOf(m_pVSlider);
    if (handle && m_ContentH > m_Rect.h) {
      handle->m_Rect.h = std::min(std::max(s.h * m_Rect.h / m_ContentH, kMinHandle), m_Rect.h);
      handle->m_Rect.y = (s.h - handle->m_Rect.h) * m_ScrollY / maxY;
    }
  }

  const st_ScreenRect clip{ox + 3, oy + 3, ox + client.w - 1, oy + client.h - 1};
  SetClipRect(&clip);
  m_pClient->Render(ox - m_ScrollX, oy - m_ScrollY);
  SetClipRect(nullptr);
  if (m_pHSlider) m_pHSlider->Render(ox, oy);
  if (m_pVSlider) m_pVSlider->Render(ox, oy);
}

// ---- cl_StringCtrl

cl_StringCtrl::cl_StringCtrl() : m_pBound(&m_Value) {}

cl_StringCtrl::~cl_StringCtrl() = default;

void cl_StringCtrl::Render(float px, float py) {
  if (!HasFlag(WF_HIDDEN)) UpdateRect(px, py);
}

int cl_StringCtrl::GetCharIndexAt(int) { return 0; }

void cl_StringCtrl::NotifySelectionChanged() {
  Variant event;
  event.set_element("SelectionChanged");
  cl_Window* owner = GetOwnerEdit();
  event.attribute("ctrl_label")->set_string(owner ? owner->m_Label.c_str() : "");
  event.attribute("element_label")->set_string(m_Label.c_str());
  ProcessEvent(event);
}

bool cl_StringCtrl::ProcessInput(ICMD& cmd) {
  cl_Window* owner = GetOwnerEdit();
  // A text line is as wide as its text; a click anywhere in its field places the caret.
  const bool inField = HasFlag(WF_EDITABLE) && owner && owner->HitTest(cmd);
  if (cmd.type == ICMD::LEFT_DOWN && (HitTest(cmd) || inField)) {
    if (owner && owner->HasFlag(WF_SELECTABLE)) {
      if (cmd.modifiers & kSelectionToggleModifier) {
        SetFlag(WF_SELECTED, !HasFlag(WF_SELECTED));
        NotifySelectionChanged();
        return true;
      }
      if (!HasFlag(WF_SELECTED)) {
        if (!owner->HasFlag(WF_MULTIPLE)) owner->ClearSelection();
        SetFlag(WF_SELECTED, true);
        NotifySelectionChanged();
        return true;
      }
    }
    if (HasFlag(WF_EDITABLE)) {
      SetFocus();  // which also ends a selection
      g_CaretPos = GetCharIndexAt(static_cast<int>(cmd.mouseX) - static_cast<int>(kCaretTextIndent));
    }
    return false;
  }
  if (g_pFocusWindow == this && cmd.type == ICMD::KEY_PRESSED) {
    g_CaretBlink = 0;
    tString<BaseString> text(m_pBound ? m_pBound->get_string() : nullptr);
    EditText(text, cmd, &g_CaretPos, &g_SelectionAnchor);
    if (m_pBound) m_pBound->set_string(text.c_str());
  }
  return false;
}

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The code point the press types: the platform's text (UTF-16 from UTF-8 input), else the
// layout's Latin-1 character; 0 for none and for control characters.
char32_t TypedCharacter(const ICMD& cmd) {
  const char32_t c = cmd.typed ? cmd.text : static_cast<unsigned char>(cmd.GetChar());
  if (c < 0x20 || (c >= 0x7F && c < 0xA0) || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return c;
}

}  // namespace

bool cl_StringCtrl::IsDialogKey(const ICMD& cmd) {
  return cmd.type == ICMD::KEY_PRESSED && (cmd.key == base::key::Enter || cmd.key == base::key::Escape);
}

// The text is UTF-8 and the caret a byte offset on a character boundary: typed characters are
// stored as UTF-8, and the keys step and delete whole characters.
void cl_StringCtrl::EditText(tString<BaseString>& text, const ICMD& cmd, int* caret, int* anchor) {
  if (cmd.type != ICMD::KEY_PRESSED) return;
  int local = 0, noAnchor = -1;
  int& pos = caret ? *caret : local;
  int& from = anchor ? *anchor : noAnchor;
  auto onBoundary = [&](int at) {
    at = std::clamp(at, 0, text.size());
    while (at > 0 && at < text.size() && IsContinuation(text[at])) --at;
    return at;
  };
  pos = onBoundary(pos);
  if ((cmd.modifiers & ICMD::MOD_CTRL) && cmd.GetKey() == 'A') {
    if (anchor) from = 0, pos = text.size();
    return;
  }
  if (cmd.GetChar() == base::key::Enter || IsDialogKey(cmd)) return;
  const char32_t typed = TypedCharacter(cmd);
  const bool moves = cmd.key == base::key::Left || cmd.key == base::key::Right;
  // Other keys (Shift held for a capital among them) leave the text and its selection alone.
  if (!typed && !moves && cmd.key != base::key::Backspace && cmd.key != base::key::Delete) return;
  // A selection goes whole: typing replaces it, Backspace and Delete remove it, an arrow ends it
  // at its side.
  if (from >= 0 && onBoundary(from) != pos) {
    const int start = std::min(pos, onBoundary(from)), end = std::max(pos, onBoundary(from));
    from = -1;
    if (moves) {
      pos = cmd.key == base::key::Left ? start : end;
      return;
    }
    tString<BaseString> kept = text.left(start);
    kept += text.mid(end);
    text = kept;
    pos = start;
    if (!typed) return;
  }
  from = -1;
  auto previous = [&](int at) {
    do --at;
    while (at > 0 && IsContinuation(text[at]));
    return at;
  };
  auto next = [&](int at) {
    do ++at;
    while (at < text.size() && IsContinuation(text[at]));
    return at;
  };
  const tString<BaseString> left = text.left(pos);
  const tString<BaseString> right = text.mid(pos);
  if (typed) {
    text = left;
    AppendUtf8(text, typed);
    pos = text.size();
    text += right;
    return;
  }
  switch (cmd.key) {
    case base::key::Backspace:
      if (pos > 0) {
        pos = previous(pos);
        text = text.left(pos);
        text += right;
      }
      break;
    case base::key::Delete:
      if (!right.empty()) {
        const int after = next(pos);
        text = left;
        text += right.mid(after - pos);
      }
      break;
    case base::key::Left:
      if (pos > 0) pos = previous(pos);
      break;
    case base::key::Right:
      if (pos < text.size()) pos = next(pos);
      break;
    default:
      break;
  }
}

}  // namespace base
