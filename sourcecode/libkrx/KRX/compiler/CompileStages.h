// The compiler's stages over one unit, from source text to the module's "~b": front end, code
// generator and linker. Unless a stage dump needs the whole token list and tree, the unit goes
// statement by statement (a Lua-style unit once its compact tokens are rewritten): each
// top-level statement is parsed, generated,
// laid out and dropped before the next is read, so that memory follows the largest function
// (and the byte code made), not the file.
#pragma once

namespace KRX {

struct CodeUnit;

// Builds unit's code into unit.m_module (binding "~b"); false when a stage failed. Either way
// the messages are those of the whole-file order: the lexer's first error, else the parser's
// first, else what code generation reported, else the linker's.
bool BuildUnitCode(CodeUnit& unit);

}  // namespace KRX
