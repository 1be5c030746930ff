// The retained-mode window toolkit: the window tree (cl_Window), the GUI root that owns a tree, its
// factory, close queue and modal list (cl_GUI), panels that receive the events of their controls
// (cl_Panel) and the layout container (cl_Group). Nothing here draws: skins derive from these
// classes and draw in Render. Main thread only; no locks.
//
// Events are Variant elements raised by a control through its own ProcessEvent; they bubble up the
// parent chain to the nearest panel, synchronously inside input handling. A handler therefore never
// deletes a window directly: it calls Close, and the GUI root deletes the window at the start of its
// next Render.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Factory.h"
#include "base/String.h"
#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"

namespace base {

struct ICMD;
class cl_GUI;
class cl_Panel;
class cl_Window;

// ORDER WINDOWFLAG: the bits of cl_Window::m_Flags.
enum en_WindowFlag : uint32_t {
  WF_POPUP = 0x0001,        // removed by the GUI root on a right-button press
  WF_CLOSE_PANEL = 0x0002,  // activating this button closes its panel
  WF_DEFAULT = 0x0004,      // the Enter key activates this button
  WF_REBUILD = 0x0008,      // an edit control rebuilds its rows before its next render
  WF_CENTER_TEXT = 0x0020,  // the skin centres the text
  WF_CANCEL = 0x0040,       // the Escape key activates this button
  WF_SELECTABLE = 0x0100,   // the children can be selected
  WF_MULTIPLE = 0x0200,     // more than one child may be selected
  WF_SELECTED = 0x0400,     // this window is selected
  WF_EDITABLE = 0x0800,     // a string control whose text can be edited
  WF_DISABLED = 0x1000,     // takes no input from its parent's distribution
  WF_HIDDEN = 0x2000,       // not rendered, takes no input, ignored by bounding rectangles
};

// The modifier bit of an input command that toggles a row's selection (Ctrl on the input device).
constexpr uint16_t kSelectionToggleModifier = 0x02;

// Position relative to the parent's absolute origin, and size, in pixels.
struct st_WindowRect {
  float x = 0, y = 0, w = 0, h = 0;
};
// An absolute screen rectangle; right and bottom lie outside it.
struct st_ScreenRect {
  float left = 0, top = 0, right = 0, bottom = 0;
};

using tWindowList = std::vector<cl_Window*>;

// Reads a description key as text, numbers as their "%g" text; false (out untouched) when absent.
bool ReadDescriptionText(StaticVariantIterator desc, const char* key, tString<BaseString>& out);

// Moves a top-level window (m_Rect) left and up just so far that its own rectangle and its
// children's, as laid out, end inside width x height; never past the top-left corner.
void KeepInside(cl_Window& w, float width, float height);

// The window with the keyboard focus, or null; cleared when that window is deleted.
extern cl_Window* g_pFocusWindow;
// The focus window when it is an edit control (or part of one) that is shown, else null: a key
// press then belongs to it alone, since the letters and digits it types are shortcuts elsewhere.
cl_Window* GetTypingFocus();
// The GUI root of windows without a parent (set by the game frame); cleared when it is deleted.
extern cl_GUI* g_pGUI;
// Caret index in the focus window's text; -1 until a click places it.
extern int g_CaretPos;
// The other end of the selected text in the focus window (the selection runs between it and the
// caret); -1, or the caret's index, when nothing is selected.
extern int g_SelectionAnchor;
// Caret blink phase in [0, 1), advanced by cl_GUI::Update.
extern float g_CaretBlink;

class cl_Window {
 public:
  cl_Window();
  cl_Window(const cl_Window&) = delete;
  cl_Window& operator=(const cl_Window&) = delete;

  // ORDER WINDOWSLOT: the virtual operations in the order every skin overrides them.
  virtual void SetFocus();  // this becomes g_pFocusWindow; the caret index and the anchor become -1
  // Deletes every child. Unlinks itself from a parent still holding it, gives up the focus, and
  // leaves the close queue and modal list of every GUI root.
  virtual ~cl_Window();
  virtual bool HasFocus() const;       // this window or a descendant is g_pFocusWindow
  virtual cl_Window* GetOwnerEdit();   // the nearest edit control above; null at a root
  virtual cl_GUI* GetGUI();            // the parent's GUI root; g_pGUI at a root
  virtual cl_Panel* GetPanel();        // the nearest panel above; null at a root
  virtual void Show(bool visible);     // clears or sets WF_HIDDEN
  virtual void Activate();             // nothing; buttons raise their event here
  // Appends every selected descendant (not this window), a child before its own descendants.
  virtual void GetSelectedChildren(tWindowList& out);
  virtual void UpdateRect(float px, float py);      // m_AbsRect from m_Rect and the parent's origin
  virtual void RenderChildren(float px, float py);  // Render of each visible child, in list order
  virtual void Render(float px, float py);          // unless hidden: UpdateRect, RenderChildren
  virtual void Update(float dt);                    // tooltip timing, then every child (hidden too)
  virtual bool HitTest(const ICMD& cmd);            // left <= x < right and top <= y < bottom
  // Mouse moves update m_Hovered; then the children get the command.
  virtual bool ProcessInput(ICMD& cmd);
  // Offers cmd to each child neither disabled nor hidden, in list order; true at the first taker.
  virtual bool ProcessInputChildren(ICMD& cmd);
  // Passes the event to the parent; true at a root. Panels stop it.
  virtual bool ProcessEvent(const Variant& event);
  virtual void Close();  // hands this window to its GUI root's close queue (none: nothing)
  // Reads the common description keys (x, y, w, h, close_panel, default, cancel, disable,
  // selectable, text, label, value, focus); always true.
  virtual bool Init(StaticVariantIterator desc);
  // Builds a child from the element labelled label in the layout file. False (logged, nothing
  // created) for a file that cannot be read or parsed, or a label it does not hold.
  virtual bool LoadFromFile(const char* file, const char* label);
  // Union of m_AbsRect and the bounding rectangles of the visible children.
  virtual st_ScreenRect GetBoundingRect() const;
  virtual cl_Window* GetChild(int i) const;           // null when out of range
  virtual cl_Window* FindByLabel(const char* label);  // this or the first match depth first; null
  virtual void ClearSelection();                      // clears WF_SELECTED on the whole subtree
  virtual void GetValue(Variant& out);                // nil; edit controls answer their selection
  virtual tString<BaseString> GetSelectedLabel();     // label of the first selected, pre-order
  virtual void CollectSelected(tWindowList& out);     // selected windows, pre-order, this included
  virtual void Select(const tString<BaseString>& label, bool on);  // every window with that label

  // Appends w and makes this window its parent, first unlinking it from its parent (this one too:
  // a child added again moves to the end of the list).
  void AddChild(cl_Window* w);
  // Unlinks w from the child list without deleting it; false when it is not a child.
  bool RemoveChild(cl_Window* w);
  cl_Window* FindChild(const char* label) const;  // the first direct child with that label; null
  bool IsChild(const cl_Window* w) const;         // w is in the child list (compared, not read)
  void ForEachChild(void (*fn)(cl_Window*, void*, void*), void* a, void* b);
  // fn(window, on) on this window, then depth first in child order on every descendant.
  void ForEachInTree(void (*fn)(cl_Window*, bool), bool on);
  bool IsAutoClose() const { return (m_Flags & WF_POPUP) != 0; }
  int GetChildCount() const { return static_cast<int>(m_Children.size()); }
  cl_Window* GetParent() const { return m_Parent; }

  // A child of the class named by the description's tag (a plain window when the GUI root does not
  // know it), appended and initialised from desc. Null, creating nothing, when desc is no element.
  cl_Window* CreateFromDescription(StaticVariantIterator desc);
  // A child of a registered class, appended without Init; null when the name is not registered.
  cl_Window* CreateChild(const tString<BaseString>& className);

  bool HasFlag(uint32_t f) const { return (m_Flags & f) != 0; }
  void SetFlag(uint32_t f, bool on) { m_Flags = on ? (m_Flags | f) : (m_Flags & ~f); }

  tWindowList m_Children;  // owned, in insertion order (drawing and input order)
  cl_Window* m_Parent = nullptr;  // not owned; null at a root
  st_WindowRect m_Rect;
  st_ScreenRect m_AbsRect;  // recomputed whenever the window is rendered
  tString<BaseString> m_Text;
  tString<BaseString> m_Label;
  tString<BaseUnicodeString> m_WideText;  // for game windows; the toolkit does not use it
  Variant m_Value;
  uint32_t m_Flags = 0;
  bool m_Hovered = false;     // the mouse was inside at the last mouse move that reached it
  bool m_TooltipDue = false;  // the mouse rested over it for more than 0.25 s; never cleared here
};

// The base of every dialog and panel: it stops the events of its controls.
class cl_Panel : public cl_Window {
 public:
  ~cl_Panel() override;
  cl_Panel* GetPanel() override { return this; }
  bool ProcessEvent(const Variant& event) override;  // true: handled here unless overridden
  // Builds one child from the description itself; the panel's own keys are not read. False when
  // desc is no element.
  bool Init(StaticVariantIterator desc) override;
};

// A plain container: the common keys, then one child per sub-element of its description.
class cl_Group : public cl_Window {
 public:
  bool Init(StaticVariantIterator desc) override;
};

using tWindowFactory = tFactory<tString<BaseString>, cl_Window>;

// The root of a window tree. Each frame its owner passes it the input commands, then calls Update
// and Render. Modal order is newest first: AddModalWindow puts a window at the front of the modal
// list, and only that front window gets input, so a message box over a modal panel is answered.
class cl_GUI : public cl_Window {
 public:
  cl_GUI();
  // Empties the modal list and close queue (their windows are children and die with the tree).
  ~cl_GUI() override;

  cl_GUI* GetGUI() override { return this; }
  // Deletes the windows in the close queue, then renders the tree unless hidden.
  void Render(float px, float py) override;
  void Update(float dt) override;  // the tree, then g_CaretBlink advances by dt modulo 1
  // All input to the newest modal window when there is one (answered true); else a right press
  // first deletes the popups among the direct children, then the children get the command, the
  // newest (drawn on top) first.
  bool ProcessInput(ICMD& cmd) override;

  template <class T>
  void Register(const tString<BaseString>& name) {
    m_Factory.template Register<T>(name);
  }
  cl_Window* CreateWindow(const tString<BaseString>& name);  // null for an unregistered name

  // Makes w the newest modal window (front of the list) and a child of this root.
  void AddModalWindow(cl_Window* w);
  // Queues w for deletion at the next Render (once, however often it is queued) and removes it
  // from the modal list at once.
  void CloseWindow(cl_Window* w);
  // Unlinks and deletes every direct child for which pred holds.
  void RemoveChildrenIf(bool (cl_Window::*pred)() const);
  // Unlinks and deletes w when it is a direct child of root; else, with recurse, looks below each
  // child of root. True when w was found.
  static bool DeleteFromTree(cl_Window* root, cl_Window* w, bool recurse);

  const tWindowList& GetModalWindows() const { return m_ModalWindows; }
  const tWindowList& GetCloseQueue() const { return m_CloseQueue; }

  // Called by every window's destructor: drops w from the close queue and modal list of every
  // live GUI root, so neither list is left holding a deleted window.
  static void ForgetWindow(cl_Window* w);

 protected:
  // ProcessInputChildren in reverse list order: the top-level window drawn on top answers first.
  bool ProcessInputTopFirst(ICMD& cmd);

  tWindowFactory m_Factory;
  tWindowList m_CloseQueue;    // not owned: the windows are still in the tree
  tWindowList m_ModalWindows;  // not owned: also children of this root; newest first
};

}  // namespace base
