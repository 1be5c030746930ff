// The session's side of the in-game interface: the token-bar state it keeps beside the interface
// bar's token bar (the player's token order, carried in the game state), and
// the InterfaceServices entries the session answers. Main thread only.
#pragma once

#include "base/String.h"

namespace base {
class Variant;
}

class cl_TokenBar;

namespace quillane {

class cl_TokenBarState {
 public:
  explicit cl_TokenBarState(cl_TokenBar* bar) : m_bar(bar) {}

  // "TokenOrder" (one "Token" per owned token, in the player's order) in the game state,
  // replaced. Nothing for a state that is not an element.
  void Write(base::Variant& gameState) const;
  // The bar's token order from "TokenOrder" (emptied when missing), then the bar rebuilt.
  void Read(const base::Variant& gameState);

  cl_TokenBar* GetTokenBar() const { return m_bar; }

 private:
  cl_TokenBar* m_bar;  // not owned: the interface bar's child
};

// Fills the entries the session answers (game state, token table, dialogue, action queue, scene,
// video, the menu and load/save buttons) and the token rules (FillTokenServices).
void InstallInterfaceServices();
void RemoveInterfaceServices();  // every entry the install filled, emptied

}  // namespace quillane
