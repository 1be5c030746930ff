// The Lua-like surface syntax, rewritten token by token into the brace syntax so that one
// parser serves both: "then"/"do"/"end" become braces, "local" becomes "auto", function
// headers get declared types and conditions their parentheses, and calls spelled
// "Module_Name(" lose or resolve their module prefix.
#pragma once

namespace KRX {

struct SyntaxUnit;
class SyntaxNode;

class DeLua {
 public:
  // Runs the four passes over unit.m_tokens; always true (what it cannot rewrite is left for
  // the parser to reject).
  static bool Run(SyntaxUnit& unit);
  // The fourth pass: call prefixes that name this module are dropped, those that name a loaded
  // module become module qualifiers, others are announced once per program run and kept.
  static void _RemoveFunctionPrefixes(SyntaxNode* root, const char* moduleName, const char* fileName);
  // Forgets the prefixes announced so far (tests start from a fresh program run).
  static void ResetIgnoredPrefixes();
};

}  // namespace KRX
