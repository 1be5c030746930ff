// What a writer is told when a source does not compile because a parenthesis, a bracket, a
// brace or a Lua block ("function", "if", "while", "for", "do") is left open, or closed once too
// often. The parser's own messages speak of the braces the Lua rewrite made ("unable to find
// matching '}'" for a missing "end"), and an unclosed parenthesis in a function header leaves
// it with none at all.
#pragma once

#include <string>

namespace KRX {

struct CompileUnit;

// The first mark or word of unit's source that pairs with nothing, innermost first, as
// "<file>(<line>) : <cause>": at the line where the unclosed construct began, or where the one
// too many stands. Empty when everything pairs up, or when the source does not even lex (the
// lexer's message says why). The source is lexed anew; nothing is reported.
std::string FindUnclosed(const CompileUnit& unit);
// Whether a parser report is one of its words for a brace or parenthesis without a partner:
// FindUnclosed then says it in the writer's words, and the report adds nothing but the braces of
// the Lua rewrite.
bool IsPairingReport(const std::string& report);

}  // namespace KRX
