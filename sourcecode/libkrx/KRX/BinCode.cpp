#include "KRX/BinCode.h"

#include <algorithm>

#include "KRX/ByteCode.h"

namespace KRX {

namespace {
constexpr int kMaxTreeDepth = 256;  // guards the parent walks against a looped "~p"
}

namespace detail {
uint64_t g_symbolEpoch = 1;
}

// ---- lifetime and parent links

BinCode::~BinCode() {
  ++detail::g_symbolEpoch;
  // Children first: clearing the symbols may destroy them, and they must not find this module.
  for (BinCode* child : m_linkedChildren) {
    child->m_linkedParent = nullptr;
    if (Var* link = child->Find("~p"); link && link->GetPointer() == this) link->SetPointer(nullptr);
  }
  m_linkedChildren.clear();
  Unregister();
  ClearSymbols();
  m_vars.ClearTable();
}

void BinCode::Unregister() {
  if (!m_linkedParent) return;
  auto& siblings = m_linkedParent->m_linkedChildren;
  auto it = std::find(siblings.begin(), siblings.end(), this);
  if (it != siblings.end()) {
    *it = siblings.back();
    siblings.pop_back();
  }
  m_linkedParent = nullptr;
}

void BinCode::SetParent(BinCode* parent) {
  ++detail::g_symbolEpoch;
  if (parent != m_linkedParent) {
    Unregister();
    if (parent) {
      parent->m_linkedChildren.push_back(this);
      m_linkedParent = parent;
    }
  }
  if (parent)
    FindOrCreate("~p", VT_POINTER)->SetPointer(parent);
  else
    Erase("~p");
}

// ---- symbols

Var* BinCode::Find(const char* name) const {
  if (!name) return nullptr;
  return Find(std::string_view(name));
}

Var* BinCode::Find(std::string_view name) const {
  auto it = m_symbols.find(name);
  return it == m_symbols.end() ? nullptr : const_cast<Var*>(&it->second);
}

Var* BinCode::FindOrCreate(const char* name, int type) {
  std::string_view key = name ? std::string_view(name) : std::string_view();
  auto it = m_symbols.find(key);
  bool created = false;
  if (it == m_symbols.end()) {
    it = m_symbols.emplace(std::string(key), Var()).first;
    created = true;
    ++detail::g_symbolEpoch;
  }
  Var& v = it->second;
  int current = v.HasArrayFlag() ? -1 : v.GetType();
  if (created || (type != 0 && type != current)) {
    v.Clear();
    v.SetAuto(false);
    v.SetType(type);
  }
  return &v;
}

bool BinCode::Erase(const char* name) {
  if (!name) return false;
  auto it = m_symbols.find(std::string_view(name));
  if (it == m_symbols.end()) return false;
  // Move the value out before it dies, so that a module it releases cannot see a half-erased map.
  Var dying(std::move(it->second));
  m_symbols.erase(it);
  ++detail::g_symbolEpoch;
  return true;
}

void BinCode::ClearSymbols() {
  ++detail::g_symbolEpoch;
  SymbolMap dying;
  dying.swap(m_symbols);
  dying.clear();
}

void BinCode::CopySymbols(const BinCode& from) {
  if (this == &from) return;
  ClearSymbols();
  ++detail::g_symbolEpoch;
  for (const auto& [name, value] : from.m_symbols) m_symbols.emplace(name, Var()).first->second.Assign(value);
}

// ---- tree accessors

const char* GetSymbolText(const BinCode* module, const char* name) {
  if (!module) return nullptr;
  const Var* v = module->Find(name);
  return v ? v->GetString() : nullptr;
}

BinCode* GetParent(const BinCode* module) {
  if (!module) return nullptr;
  const Var* link = module->Find("~p");
  if (!link) return nullptr;
  const Var* v = link->Deref();
  if (v->GetTypeByte() != VT_POINTER) return nullptr;
  return static_cast<BinCode*>(v->GetPointer());
}

BinCode* GetNamedModule(const BinCode* module) {
  for (int depth = 0; module && depth < kMaxTreeDepth; ++depth, module = GetParent(module))
    if (module->Find("~m")) return const_cast<BinCode*>(module);
  return nullptr;
}

const char* GetModuleName(const BinCode* module) { return GetSymbolText(GetNamedModule(module), "~m"); }

const char* GetFileName(const BinCode* module) {
  for (int depth = 0; module && depth < kMaxTreeDepth; ++depth, module = GetParent(module))
    if (module->Find("~file")) return GetSymbolText(module, "~file");
  return nullptr;
}

const char* GetFunctionName(const BinCode* module) { return GetSymbolText(module, "~f"); }

const unsigned char* GetCode(const BinCode* module, int& size) {
  size = 0;
  const Var* code = module ? module->Find("~b") : nullptr;
  if (!code) return nullptr;
  const unsigned char* bytes = code->GetBinary(size);
  if (!bytes && size != -1) size = 0;
  return bytes;
}

StringPool* GetVocabulary(const BinCode* module) {
  for (int depth = 0; module && depth < kMaxTreeDepth; ++depth, module = GetParent(module))
    if (const Var* v = module->Find("~vocal"))
      if (StringPool* pool = v->GetVocabulary()) return pool;
  return nullptr;
}

StringPool* CreateVocabulary(BinCode* module) {
  if (!module) return nullptr;
  Var* v = module->FindOrCreate("~vocal", 0);
  v->SetVocabulary();
  return v->GetVocabulary();
}

bool HasLine(const BinCode* module, int line) {
  int size = 0;
  const unsigned char* code = GetCode(module, size);
  if (!code) return false;
  bool below = false, above = false;
  for (int pos = 0; pos < size;) {
    uint8_t op = code[pos++];
    if (op == OP_STOP) return false;
    if (op >= OP_FIRST_NO_OPERAND) continue;
    Var operand;
    int n = DecodeOperand(code + pos, size - pos, nullptr, operand);
    if (n == 0) return false;
    pos += n;
    if (op == OP_LINE && operand.IsInt()) {
      int l = operand.ToInt();
      if (l == line) return true;
      (l < line ? below : above) = true;
      if (below && above) return true;
    } else if (op == OP_SWITCH) {
      // The case table follows as bare position operands, not as instructions.
      int count = operand.ToInt();
      if (count < 0 || count > (size - pos) / kSwitchEntrySize) return false;
      pos += count * kSwitchEntrySize;
    }
  }
  return false;
}

}  // namespace KRX
