// cl_TokenBar: the row of tokens inside the interface bar. In default mode it shows the tokens the
// player holds, in the player's own order; in dialogue mode the topics the current partner takes,
// led by "T6_EndChat". It lays tokens out in 64-pixel steps, animates arrivals, removals and
// re-arrangements, carries one token at a time for drag and drop, and runs the session's token
// rules (InterfaceServices) when a token was used. The session's token functions reach it by the
// names below. Main thread only.
//
// Game state (the session's tree): "Inventory" holds one element per token category, in the
// order of the token table's categories, each with entries carrying "label" and "cnt" (1 when
// absent). "TokenOrder" holds one "Token" child per label with "label": the player's order.
#pragma once

#include <vector>

#include "base/String.h"
#include "base/gui/GUI.h"

class cl_Token;
class i_Event;

class cl_TokenBar : public base::cl_Window {
 public:
  using tLabel = base::tString<base::BaseString>;
  static constexpr const char* kEndChatToken = "T6_EndChat";
  static constexpr float kSlot = 64.0f;

  cl_TokenBar();
  ~cl_TokenBar() override;  // the tokens and a pending action that never ran

  void Render(float px, float py) override;
  void Update(float dt) override;
  bool ProcessInput(base::ICMD& cmd) override;
  using base::cl_Window::HitTest;

  // ---- mode and rebuild
  // Dialogue mode follows the session's dialogue; a change, or force, rebuilds the bar.
  void SyncMode(bool force);
  // Every token anew from the game state's "Inventory" and the token table, sorted by the token
  // order; nothing without an "Inventory".
  void Rebuild();
  void RefreshTokens() { SyncMode(true); }
  bool IsDialogMode() const { return m_dialogMode; }

  // ---- acquiring and losing
  // A new token appended; animated it starts at (x, y) and appears, pulses, glides home and
  // sparkles. The bar is laid out.
  cl_Token* AddToken(float x, float y, const char* label, bool animated);
  // The label joins the token order and the shown labels, then the animated add from (x, y).
  void AcquireToken(const char* label, float x, float y);
  void AddTokenAt(const char* label, float x, float y, int /*flag*/) { AcquireToken(label, x, y); }
  // The same bookkeeping, then the token pops in at its slot.
  void AcquireTokenPopIn(const char* label);
  void AddTokenDirect(const char* label) { AcquireTokenPopIn(label); }
  // At once: deleted. Animated: dissolves (unless just used) and is deleted by Update.
  void RemoveToken(const char* label, bool animated);
  void RemoveTokenAnimated(const char* label);  // glows, fades out, deleted by Update
  // The label leaves the shown labels; the token is removed.
  void LoseToken(const char* label, bool animated);
  void UseToken(const char* label);  // the token glows once
  void SetTokenVisible(const char* label, bool visible, bool animated);

  // ---- queries
  // The first token other than the carried one whose rectangle holds (x, y) (left and top
  // exclusive); its label into label.
  bool HitTest(float x, float y, tLabel& label) const;
  cl_Token* FindToken(const char* label) const;
  cl_Token* FindOverlapTarget() const;  // the token the carried one overlaps most; null for none
  bool IsAnimating() const;  // any token animating
  bool IsDragging() const { return IsAnimating(); }
  int CountDragged() const;  // tokens animating
  // Tokens that stay in the bar: those with a removal queued or done are on their way out.
  int CountStaying() const;
  bool IsIdle() const { return !IsAnimating() && !m_carried; }
  // Outside dialogue mode always; in it only while no dialogue line is under way.
  bool CanInteract() const;
  // A carried token goes home (animated: it slides there); nothing carried afterwards.
  void CancelDrag(bool animated = false);

  // ---- layout and the pending action
  void Layout();          // each token's home in its slot, in list order
  void AnimatedLayout();  // idle tokens off their new slot glide there in 0.25 s
  // Runs once no token animates, after an animated layout; owned. A pending one is replaced
  // (deleted unrun).
  void SetPendingAction(i_Event* action);
  bool HasPendingAction() const { return m_pendingAction != nullptr; }

  // ---- token order and shown labels
  // "TokenOrder" in the game state (replaced) from the token order list.
  void WriteTokenOrder(base::Variant& gameState) const;
  // The token order list emptied and refilled from "TokenOrder"'s element children.
  void ReadTokenOrder(const base::Variant& gameState);
  std::vector<tLabel>& GetTokenOrder() { return m_tokenOrder; }
  const std::vector<tLabel>& GetShownLabels() const { return m_shownLabels; }

  // ---- the pointers the tokens share
  cl_Token* GetHovered() const { return m_hovered; }
  cl_Token* GetCarried() const { return m_carried; }
  cl_Token* GetLastUsed() const { return m_lastUsed; }
  cl_Token* GetDropTargetToken() const { return m_dropTargetToken; }
  void SetHovered(cl_Token* t) { m_hovered = t; }
  void SetCarried(cl_Token* t) { m_carried = t; }
  void SetLastUsed(cl_Token* t) { m_lastUsed = t; }
  void SetGrabPoint(float x, float y) { m_grabX = x, m_grabY = y; }
  float GetGrabX() const { return m_grabX; }
  float GetGrabY() const { return m_grabY; }
  float GetAlpha() const { return m_alpha; }
  void SetAlpha(float alpha) { m_alpha = alpha; }

 private:
  // Unlinks and deletes the token; none of the four pointers is left on it.
  void DeleteToken(cl_Token* token);
  void DeleteAllTokens();
  void ForgetToken(const cl_Token* token);
  void AddShownLabel(const char* label);
  void RemoveShownLabel(const char* label);
  void FinishUse();    // the use animation of the last used token ended
  void SortByOrder();  // sort keys from the token order, then the child list in that order
  void DrawCombine(const cl_Token& token) const;  // "token_combine" over the token
  // The carried token's verdict over its target: 0 no target, 1 refused, 2 accepted.
  int DropVerdict();

  i_Event* m_pendingAction = nullptr;  // owned
  bool m_pendingLaidOut = false;       // the animated layout ran for it
  cl_Token* m_hovered = nullptr;
  cl_Token* m_carried = nullptr;
  cl_Token* m_lastUsed = nullptr;
  cl_Token* m_dropTargetToken = nullptr;
  float m_grabX = 0.0f, m_grabY = 0.0f;
  float m_alpha = 1.0f;
  bool m_dialogMode = false;
  bool m_mouseOver = false;
  std::vector<tLabel> m_tokenOrder;   // the player's order
  std::vector<tLabel> m_shownLabels;  // what the bar shows, for the token rules
};

// The "token %s not in tokenbar" line.
void LogTokenNotInBar(const char* label);
