// The token bar: rebuilding from the game state, acquiring and losing tokens, layout, the use of
// a dropped token, the pending action and the drag verdict.
#include "quillane/hud/TokenBar.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "base/app/ICMD.h"
#include "base/data/Variant.h"
#include "base/system.h"
#include "graphics/Texture.h"
#include "graphics/draw/Draw.h"
#include "graphics/gfx.h"
#include "quillane/core/Event.h"
#include "quillane/hud/InterfaceServices.h"
#include "quillane/hud/Token.h"
#include "quillane/screen/ScreenLayout.h"

namespace {

cl_Token* AsToken(base::cl_Window* w) { return static_cast<cl_Token*>(w); }

bool Contains(const std::vector<cl_TokenBar::tLabel>& list, const char* label) {
  for (const cl_TokenBar::tLabel& l : list)
    if (base::str::compare(l.c_str(), label) == 0) return true;
  return false;
}

// The category element of the inventory that matches the table's category: by name, else (an
// unnamed category) by position.
const base::Variant* InventoryCategory(const base::Variant& inventory, const base::Variant& category, int index) {
  const char* name = category.get_label();
  if (name && *name) return inventory.get_element(name);
  const base::Variant* positional = inventory.child(index);
  return positional && positional->is_element() ? positional : nullptr;
}

const base::Variant* FindEntry(const base::Variant& group, const char* label) {
  for (int i = 0; i < group.size(); ++i) {
    const base::Variant* entry = group.child(i);
    if (!entry || !entry->is_element()) continue;
    const base::Variant* l = entry->get_attribute("label");
    if (l && base::str::compare(l->get_string(), label) == 0) return entry;
  }
  return nullptr;
}

}  // namespace

void LogTokenNotInBar(const char* label) { base::sys::Output("token %s not in tokenbar\n", label ? label : ""); }

cl_TokenBar::cl_TokenBar() = default;

cl_TokenBar::~cl_TokenBar() {
  delete m_pendingAction;
  // The window base deletes the tokens; none of the pointers may outlive them.
  m_hovered = m_carried = m_lastUsed = m_dropTargetToken = nullptr;
}

// ---- tokens in the list

cl_Token* cl_TokenBar::FindToken(const char* label) const {
  for (base::cl_Window* w : m_Children)
    if (base::str::compare(w->m_Label.c_str(), label) == 0) return AsToken(w);
  return nullptr;
}

void cl_TokenBar::ForgetToken(const cl_Token* token) {
  if (m_hovered == token) m_hovered = nullptr;
  if (m_carried == token) m_carried = nullptr;
  if (m_lastUsed == token) m_lastUsed = nullptr;
  if (m_dropTargetToken == token) m_dropTargetToken = nullptr;
}

void cl_TokenBar::DeleteToken(cl_Token* token) {
  ForgetToken(token);
  RemoveChild(token);
  delete token;
}

void cl_TokenBar::DeleteAllTokens() {
  while (!m_Children.empty()) DeleteToken(AsToken(m_Children.back()));
}

void cl_TokenBar::AddShownLabel(const char* label) {
  if (!Contains(m_shownLabels, label)) m_shownLabels.emplace_back(label);
}

void cl_TokenBar::RemoveShownLabel(const char* label) {
  std::erase_if(m_shownLabels, [label](const tLabel& l) { return base::str::compare(l.c_str(), label) == 0; });
}

// ---- mode and rebuild

void cl_TokenBar::SyncMode(bool force) {
  const bool dialog = hud::IsDialogActive();
  if (dialog == m_dialogMode && !force) return;
  m_dialogMode = dialog;
  Rebuild();
}

void cl_TokenBar::Rebuild() {
  DeleteAllTokens();
  const base::Variant* state = hud::GameState();
  const base::Variant* inventory = state ? state->get_element("Inventory") : nullptr;
  if (!inventory) return;
  m_shownLabels.clear();
  if (m_dialogMode) {
    AddChild(new cl_Token(this, kEndChatToken));
    AddShownLabel(kEndChatToken);
  }
  const base::Variant* table = InterfaceServices().GetTokenTable ? InterfaceServices().GetTokenTable() : nullptr;
  const char* partner = hud::GetDialogPartner();
  for (int c : {0, 1}) {
    if (c == 0 && !m_dialogMode) continue;  // topics only in a dialogue
    const base::Variant* category = table ? table->child(c) : nullptr;
    if (!category || !category->is_element()) continue;
    const base::Variant* held = InventoryCategory(*inventory, *category, c);
    if (!held) continue;
    for (int i = 0; i < category->size(); ++i) {
      const base::Variant* definition = category->child(i);
      if (!definition || !definition->is_element()) continue;
      const base::Variant* l = definition->get_attribute("label");
      const char* label = l ? l->get_string() : nullptr;
      if (!label || base::str::compare(label, kEndChatToken) == 0) continue;
      const base::Variant* entry = FindEntry(*held, label);
      if (!entry) continue;
      int count = 1;
      entry->get_attribute_int("cnt", count);
      if (count <= 0) continue;
      if (m_dialogMode && !hud::CallTokenHandler(partner, label)) continue;
      AddChild(new cl_Token(this, label));
      AddShownLabel(label);
    }
  }
  SortByOrder();
  base::sys::Output(m_dialogMode ? "TokenBar in DialogMode\n" : "TokenBar in DefaultMode\n");
}

void cl_TokenBar::SortByOrder() {
  for (base::cl_Window* w : m_Children) {
    cl_Token* token = AsToken(w);
    token->m_order = -1;
    for (size_t i = 0; i < m_tokenOrder.size(); ++i)
      if (m_tokenOrder[i] == token->m_Label) {
        token->m_order = static_cast<int>(i);
        break;
      }
  }
  std::stable_sort(m_Children.begin(), m_Children.end(),
                   [](base::cl_Window* a, base::cl_Window* b) { return AsToken(a)->m_order < AsToken(b)->m_order; });
  Layout();
}

// ---- acquiring and losing

cl_Token* cl_TokenBar::AddToken(float x, float y, const char* label, bool animated) {
  cl_Token* token = new cl_Token(this, label);
  AddChild(token);
  if (animated) {
    token->m_Rect.x = x, token->m_Rect.y = y;
    for (int type : {cl_Token::ANIM_APPEAR, cl_Token::ANIM_PULSE, cl_Token::ANIM_GLIDE_HOME, cl_Token::ANIM_SPARKLE})
      token->QueueAnimation({type, 0.0f, 1.0f});
  }
  Layout();
  return token;
}

void cl_TokenBar::AcquireToken(const char* label, float x, float y) {
  if (!label || Contains(m_shownLabels, label)) return;
  if (!Contains(m_tokenOrder, label)) m_tokenOrder.emplace_back(label);
  AddShownLabel(label);
  AddToken(x, y, label, true);
}

void cl_TokenBar::AcquireTokenPopIn(const char* label) {
  if (!label || Contains(m_shownLabels, label)) return;
  if (!Contains(m_tokenOrder, label)) m_tokenOrder.emplace_back(label);
  AddShownLabel(label);
  cl_Token* token = AddToken(0.0f, 0.0f, label, false);
  token->QueueAnimation({cl_Token::ANIM_POP_IN, 0.0f, 1.0f});
  token->QueueAnimation({cl_Token::ANIM_SPARKLE, 0.0f, 1.0f});
}

void cl_TokenBar::RemoveToken(const char* label, bool animated) {
  cl_Token* token = FindToken(label);
  if (!token) return LogTokenNotInBar(label);
  if (!animated) {
    DeleteToken(token);
    // Gone at once, so the tokens right of it close the gap at once.
    return Layout();
  }
  if (token->GetState() != cl_Token::STATE_USED) token->QueueAnimation({cl_Token::ANIM_DISSOLVE, 0.0f, 1.0f});
  token->QueueAnimation({cl_Token::ANIM_MARK_REMOVED, 0.0f, 1.0f});
}

void cl_TokenBar::RemoveTokenAnimated(const char* label) {
  cl_Token* token = FindToken(label);
  if (!token) return LogTokenNotInBar(label);
  for (int type : {cl_Token::ANIM_GLOW, cl_Token::ANIM_USE, cl_Token::ANIM_MARK_REMOVED})
    token->QueueAnimation({type, 0.0f, 1.0f});
}

void cl_TokenBar::LoseToken(const char* label, bool animated) {
  RemoveShownLabel(label);
  RemoveToken(label, animated);
}

void cl_TokenBar::UseToken(const char* label) {
  cl_Token* token = FindToken(label);
  if (!token) return LogTokenNotInBar(label);
  token->QueueAnimation({cl_Token::ANIM_GLOW, 0.0f, 1.0f});
}

void cl_TokenBar::SetTokenVisible(const char* label, bool visible, bool animated) {
  cl_Token* token = FindToken(label);
  if (!token) return LogTokenNotInBar(label);
  if (animated)
    token->QueueAnimation({visible ? cl_Token::ANIM_SHOW : cl_Token::ANIM_HIDE, 0.0f, 1.0f});
  else
    token->SetAlpha(visible ? 1.0f : 0.0f);
}

// ---- queries

bool cl_TokenBar::HitTest(float x, float y, tLabel& label) const {
  for (base::cl_Window* w : m_Children) {
    if (w == m_carried) continue;
    const base::st_WindowRect& r = w->m_Rect;
    if (x > r.x && x < r.x + r.w && y > r.y && y < r.y + r.h) {
      label = w->m_Label;
      return true;
    }
  }
  return false;
}

cl_Token* cl_TokenBar::FindOverlapTarget() const {
  if (!m_carried) return nullptr;
  const base::st_WindowRect& c = m_carried->m_Rect;
  cl_Token* best = nullptr;
  float bestArea = 0.0f;
  for (base::cl_Window* w : m_Children) {
    cl_Token* token = AsToken(w);
    if (token == m_carried || token->GetState() == cl_Token::STATE_REMOVED) continue;
    const base::st_WindowRect& r = token->m_Rect;
    const float w0 = std::min(c.x + c.w, r.x + r.w) - std::max(c.x, r.x);
    const float h0 = std::min(c.y + c.h, r.y + r.h) - std::max(c.y, r.y);
    if (w0 <= 0.0f || h0 <= 0.0f || w0 * h0 <= bestArea) continue;
    bestArea = w0 * h0;
    best = token;
  }
  return best;
}

bool cl_TokenBar::IsAnimating() const { return CountDragged() > 0; }

int cl_TokenBar::CountDragged() const {
  int n = 0;
  for (base::cl_Window* w : m_Children) n += AsToken(w)->IsAnimating() ? 1 : 0;
  return n;
}

int cl_TokenBar::CountStaying() const {
  int n = 0;
  for (base::cl_Window* w : m_Children) {
    const cl_Token* token = AsToken(w);
    const auto& queue = token->GetAnimations();
    const bool leaving = token->GetState() == cl_Token::STATE_REMOVED ||
                         std::any_of(queue.begin(), queue.end(),
                                     [](const st_TokenAnimation& a) { return a.type == cl_Token::ANIM_MARK_REMOVED; });
    n += leaving ? 0 : 1;
  }
  return n;
}

bool cl_TokenBar::CanInteract() const { return !m_dialogMode || hud::GetDialogPendingCount() <= 0; }

void cl_TokenBar::CancelDrag(bool animated) {
  cl_Token* token = m_carried;
  if (!token) return;
  m_carried = nullptr;
  if (animated) {
    token->QueueAnimation({cl_Token::ANIM_SLIDE_HOME, 0.0f, 4.0f});
  } else {
    token->ReturnHome();
    token->SetState(cl_Token::STATE_IDLE);
  }
}

// ---- layout and pending action

void cl_TokenBar::Layout() {
  float x = m_Rect.x;
  for (base::cl_Window* w : m_Children) {
    AsToken(w)->SetHome(x, m_Rect.y);
    x += kSlot;
  }
}

namespace {

// A token still playing its queue that needs no glide of its own: a move home is still to come,
// or it is being used (a use must stay the last record) or leaves the bar.
bool KeepsItsQueue(const cl_Token& token) {
  for (const st_TokenAnimation& a : token.GetAnimations())
    switch (a.type) {
      case cl_Token::ANIM_GLIDE_HOME:
      case cl_Token::ANIM_SLIDE_HOME:
      case cl_Token::ANIM_USE:
      case cl_Token::ANIM_USE_GROW:
      case cl_Token::ANIM_MARK_REMOVED: return true;
      default: break;
    }
  return false;
}

}  // namespace

void cl_TokenBar::AnimatedLayout() {
  float x = m_Rect.x;
  for (base::cl_Window* w : m_Children) {
    cl_Token* token = AsToken(w);
    const float dx = token->m_Rect.x - x, dy = token->m_Rect.y - m_Rect.y;
    // The glide is queued first, so the new home does not move the token at once. A token still
    // animating (one that popped in) glides after its queue: left where it stood, it kept the
    // slot of a token gone meanwhile empty.
    const bool glides = token->GetState() == cl_Token::STATE_IDLE ||
                        (token->GetState() == cl_Token::STATE_ANIMATING && !KeepsItsQueue(*token));
    if (glides && std::sqrt(dx * dx + dy * dy) > 1.0f) token->QueueAnimation({cl_Token::ANIM_GLIDE_HOME, 0.0f, 4.0f});
    token->SetHome(x, m_Rect.y);
    x += kSlot;
  }
}

void cl_TokenBar::SetPendingAction(i_Event* action) {
  delete m_pendingAction;
  m_pendingAction = action;
  m_pendingLaidOut = false;
}

// ---- token order

void cl_TokenBar::WriteTokenOrder(base::Variant& gameState) const {
  if (!gameState.is_element()) return;
  base::Variant* order = gameState.get_element("TokenOrder");
  if (!order) order = &gameState.add_element("TokenOrder");
  order->set_element("TokenOrder");
  for (const tLabel& label : m_tokenOrder) order->add_element("Token").attribute("label")->set_string(label.c_str());
}

void cl_TokenBar::ReadTokenOrder(const base::Variant& gameState) {
  m_tokenOrder.clear();
  const base::Variant* order = gameState.get_element("TokenOrder");
  if (!order) return;
  for (int i = 0; i < order->size(); ++i) {
    const base::Variant* entry = order->child(i);
    if (!entry || !entry->is_element()) continue;
    tLabel label;
    entry->get_attribute_string("label", label);
    m_tokenOrder.push_back(label);
  }
}

// ---- per frame

void cl_TokenBar::FinishUse() {
  cl_Token* used = m_lastUsed;
  m_lastUsed = nullptr;
  used->ReturnHome();
  m_carried = nullptr;
  // The action may lose, add or rebuild tokens: only labels are kept across it.
  const tLabel label = used->m_Label, target = used->m_dropTarget;
  hud::PlayTokenHandler(target.c_str(), label.c_str());
  if (m_dialogMode) {
    if (!hud::CanUseToken(label.c_str())) {
      if (cl_Token* token = FindToken(label.c_str())) {
        token->QueueAnimation({cl_Token::ANIM_FADE_OUT_HOME, 0.0f, 1.0f});
        token->QueueAnimation({cl_Token::ANIM_MARK_REMOVED, 0.0f, 1.0f});
      } else {
        LogTokenNotInBar(label.c_str());
      }
    } else if (!FindToken(label.c_str())) {
      cl_Token* token = AddToken(0.0f, 0.0f, label.c_str(), false);
      token->QueueAnimation({cl_Token::ANIM_FADE_IN_HOME, 0.0f, 1.0f});
      AnimatedLayout();
    }
  }
  // A token the action left in place plays out its rest and comes back.
  if (cl_Token* token = FindToken(label.c_str()))
    if (token->GetState() == cl_Token::STATE_USED) token->SetState(cl_Token::STATE_ANIMATING);
}

void cl_TokenBar::Update(float dt) {
  base::cl_Window::Update(dt);
  bool removed = false;
  for (size_t i = m_Children.size(); i-- > 0;) {
    if (AsToken(m_Children[i])->GetState() != cl_Token::STATE_REMOVED) continue;
    DeleteToken(AsToken(m_Children[i]));
    removed = true;
  }
  // Without this a used or lost token would leave an empty slot until the next rebuild.
  if (removed) AnimatedLayout();
  if (m_lastUsed) FinishUse();
  if (m_pendingAction && !IsAnimating()) {
    if (!m_pendingLaidOut) {
      AnimatedLayout();
      m_pendingLaidOut = true;
    }
    if (!IsAnimating()) {
      i_Event* action = m_pendingAction;
      m_pendingAction = nullptr;
      m_pendingLaidOut = false;
      action->Execute();
      delete action;
    }
  }
}

int cl_TokenBar::DropVerdict() {
  m_dropTargetToken = FindOverlapTarget();
  tLabel target;
  if (m_dropTargetToken) {
    target = m_dropTargetToken->m_Label;
  } else {
    const float mx = static_cast<float>(base::sys::MouseX()), my = static_cast<float>(base::sys::MouseY());
    if (InterfaceServices().GetDropTargetName)
      InterfaceServices().GetDropTargetName(mx, my, target);
    else
      HitTest(mx, my, target);
  }
  if (target.empty()) return 0;
  return hud::CheckTokenOnTarget(target.c_str(), m_carried->m_Label.c_str()) ? 2 : 1;
}

void cl_TokenBar::DrawCombine(const cl_Token& token) const {
  gfx::cl_Texture* combine = gfx::TextureExists("token_combine");
  if (!combine) return;
  const float offset = token.GetScale() * cl_Token::kSize * 0.5f - cl_Token::kSize * 0.5f;
  gfx::SetBlendNone();
  gfx::SetBlendAlpha(true);
  gfx::DrawTextureAt(combine, token.m_Rect.x - offset, token.m_Rect.y - offset, token.GetScale());
}

void cl_TokenBar::Render(float px, float py) {
  UpdateRect(px, py);
  RenderChildren(px, py);
  if (m_hovered && m_hovered != m_carried && m_hovered->GetState() == cl_Token::STATE_IDLE) {
    const bool tooltip = m_hovered->m_tooltipOn;
    m_hovered->m_tooltipOn = false;
    gfx::SetFilterLinear();
    m_hovered->Render(px, py);
    gfx::SetFilterPoint();
    m_hovered->m_tooltipOn = tooltip;
  }
  if (!m_carried) {
    m_dropTargetToken = nullptr;
    return;
  }
  const int verdict = DropVerdict();
  m_carried->DrawCarried(verdict == 2);
  if (verdict != 2) return;
  DrawCombine(*m_carried);
  if (m_dropTargetToken) DrawCombine(*m_dropTargetToken);
}

bool cl_TokenBar::ProcessInput(base::ICMD& cmd) {
  if (m_alpha == 0.0f) return false;
  if (cmd.type == base::ICMD::MOUSE_MOVE) {
    const float x = cmd.mouseX, y = cmd.mouseY;
    m_mouseOver = m_AbsRect.left <= x && x < m_AbsRect.right && m_AbsRect.top <= y && y < m_AbsRect.bottom;
  }
  return ProcessInputChildren(cmd);
}
