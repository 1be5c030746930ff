// KRX::BinCode: a compiled script function and, at the same time, a namespace of named values.
// A script file compiles to one module; each function in it is a sub-module bound by name; the
// root module binds every loaded file module. Hidden entries whose names begin with "~" tie the
// modules into a tree and carry the code, names and constants:
//   "~p" pointer to the parent (not counted; see SetParent)   "~m" module name of a file module
//   "~file" source path   "~f" function name   "~b" byte code (binary)   "~vocal" constant pool
//   "~bind" sub-module of native functions
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "KRX/runtime/RefObj.h"
#include "KRX/runtime/Var.h"
#include "KRX/runtime/VarTable.h"

namespace KRX {

class BinCode : public RefObj {
 public:
  // Names compare as strcmp does (unsigned bytes); the map owns a copy of each name.
  using SymbolMap = std::map<std::string, Var, std::less<>>;

  BinCode() = default;
  // Unlinks the modules whose "~p" points here (their parent link becomes null), then clears
  // the symbols and the variable table.
  ~BinCode() override;

  int GetParamCount() const { return m_paramCount; }
  void SetParamCount(int n) { m_paramCount = uint8_t(n); }
  int GetReturnType() const { return m_returnType; }  // a type request (31: auto)
  void SetReturnType(int t) { m_returnType = uint8_t(t); }
  VarTable& GetVarTable() { return m_vars; }
  const VarTable& GetVarTable() const { return m_vars; }

  // ---- symbol table
  Var* Find(const char* name) const;  // null for a null name or a missing entry
  Var* Find(std::string_view name) const;
  // The entry of name (null: the empty name), inserted when missing. A new entry, or one whose
  // type differs from a non-zero requested type, is cleared and set to type (31: auto nil).
  Var* FindOrCreate(const char* name, int type);
  bool Erase(const char* name);  // false when absent
  void ClearSymbols();
  void CopySymbols(const BinCode& from);  // clears, then copies every entry with Assign
  const SymbolMap& GetSymbols() const { return m_symbols; }

  // ---- the "~p" parent link
  // Writes "~p" as a pointer to parent (null erases it) and registers this module with the
  // parent, so that the parent's destruction nulls the link instead of leaving it dangling.
  // Every writer of "~p" (compiler, module loader, native binding) goes through here.
  void SetParent(BinCode* parent);

 private:
  void Unregister();

  uint8_t m_paramCount = 0;
  uint8_t m_returnType = 0;
  VarTable m_vars;
  SymbolMap m_symbols;
  BinCode* m_linkedParent = nullptr;  // the module this one registered with
  std::vector<BinCode*> m_linkedChildren;
};

// Changes whenever an entry is added to or removed from any module's symbols, or a parent link
// changes; caches of symbol look-ups (the interpreter's) stay valid while it is unchanged.
namespace detail {
extern uint64_t g_symbolEpoch;
}
inline uint64_t GetSymbolEpoch() { return detail::g_symbolEpoch; }

// ---- module tree accessors; each returns null (or -1) when an entry is missing
// A "~p" entry counts when it is a pointer, or a reference to one; walks stop after 256 steps.
BinCode* GetParent(const BinCode* module);
BinCode* GetNamedModule(const BinCode* module);  // the module or nearest ancestor with "~m"
const char* GetModuleName(const BinCode* module);  // "~m" of GetNamedModule
const char* GetFileName(const BinCode* module);    // "~file" of the module or nearest ancestor
const char* GetFunctionName(const BinCode* module);  // the module's own "~f"
// The "~b" bytes: null with size 0 when absent, null with size -1 when not a binary.
const unsigned char* GetCode(const BinCode* module, int& size);
StringPool* GetVocabulary(const BinCode* module);  // own "~vocal", else nearest ancestor's
// True when the byte code has a line instruction for line, or lines on both sides of it.
bool HasLine(const BinCode* module, int line);
StringPool* CreateVocabulary(BinCode* module);  // "~vocal" := a new empty pool
// The text of a symbol holding a string(const), string or label (through references), or null.
const char* GetSymbolText(const BinCode* module, const char* name);

}  // namespace KRX
