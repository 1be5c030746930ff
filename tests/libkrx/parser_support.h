// Shared by the front-end tests: runs the lexer, the Lua rewrite and the parser over a source
// text and gives back the stage dumps and every message the script system wrote.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "KRX/compiler/DeLua.h"
#include "KRX/compiler/Lexer.h"
#include "KRX/compiler/ScriptGrExp.h"
#include "KRX/ScriptSystem.h"

namespace krxfront {

struct st_FrontEnd {
  bool lexed = false;
  bool parsed = false;
  std::string lex;       // token list after the lexer
  std::string delua;     // token list after the rewrite (Lua units only)
  std::string tree;      // syntax tree
  std::string messages;  // every text handed to the output callback, one per line
};

// The output callback's sink; tests install it with CaptureOutput.
inline std::string& CapturedText() {
  static std::string text;
  return text;
}

inline void CaptureOutput() {
  CapturedText().clear();
  KRX::ScriptSystem::SetCallbacks([](const char* text) { CapturedText() += std::string(text) + "\n"; }, nullptr);
}

// Lexes (and for a ".lua" file name rewrites) and parses source as the module moduleName.
inline st_FrontEnd RunStages(const char* fileName, const char* source, const char* moduleName = "test") {
  st_FrontEnd out;
  CaptureOutput();
  KRX::SyntaxUnit unit;
  unit.m_fileName = fileName;
  unit.m_moduleName = moduleName;
  unit.m_source = source;
  unit.m_lua = std::string(fileName).find(".lua") != std::string::npos;
  KRX::TokenStream stream(unit);
  out.lexed = stream.Scan();
  unit.m_tokens = stream.MakeList();
  KRX::SyntaxNode::Dump(unit.m_tokens.get(), out.lex, 0);
  if (out.lexed) {
    if (unit.m_lua) {
      KRX::DeLua::Run(stream, unit);
      unit.m_tokens = stream.MakeList();
      KRX::SyntaxNode::Dump(unit.m_tokens.get(), out.delua, 0);
    }
    out.parsed = KRX::ScriptGrExp::Parse(unit);
    KRX::SyntaxNode::Dump(unit.m_tree.get(), out.tree, 0);
  }
  out.messages = CapturedText();
  KRX::ScriptSystem::SetCallbacks(nullptr, nullptr);
  return out;
}

// A whole file's bytes, empty when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace krxfront
