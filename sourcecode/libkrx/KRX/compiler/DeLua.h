// The Lua-like surface syntax, rewritten token by token into the brace syntax so that one
// parser serves both: "then"/"do"/"end" become braces, "local" becomes "auto", function
// headers get declared types and conditions their parentheses, and calls spelled
// "Module_Name(" lose or resolve their module prefix. It works on the compact tokens of a
// TokenStream, so that a large script is rewritten without a node per token.
#pragma once

namespace KRX {

struct SyntaxUnit;
class TokenStream;

class DeLua {
 public:
  // Runs the four passes over the scanned tokens of stream, the unit's; always true (what it
  // cannot rewrite is left for the parser to reject). The fourth pass drops call prefixes that
  // name this module, makes those that name a loaded module module qualifiers, and announces the
  // others once per program run, keeping them.
  static bool Run(TokenStream& stream, SyntaxUnit& unit);
  // Forgets the prefixes announced so far (tests start from a fresh program run).
  static void ResetIgnoredPrefixes();
};

}  // namespace KRX
