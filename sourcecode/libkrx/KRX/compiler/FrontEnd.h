// The script compiler's front end in one call: lexer, Lua-syntax rewrite for Lua-style sources,
// parser, and the stage dumps ("Temp\<module>_lex.txt", "_delua.txt", "_gra.txt") written when
// the script system's dump switch is on. The code generator takes unit.m_tree from here.
#pragma once

#include <string>

namespace KRX {

struct SyntaxUnit;

// True when a compile unit of this file name uses the Lua-like syntax: ".lua" anywhere in it.
bool IsLuaFileName(const char* fileName);

// The dump file of one stage: "Temp\" + module name + "_" + stage + ".txt".
std::string StageDumpPath(const std::string& moduleName, const char* stage);

// Sets unit.m_lua from the file name, then lexes, rewrites (Lua units) and parses unit.m_source.
// False at the first stage that fails; that stage has reported its error.
bool RunFrontEnd(SyntaxUnit& unit);

}  // namespace KRX
