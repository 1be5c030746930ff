// A small test-only assembler for KRX byte code and helpers that bind the result as script
// functions, so that the interpreter can be exercised (and benchmarked) before the compiler
// exists. Labels are resolved on Finish; an unknown label stays -1 ("not linked").
//   krxtest::Asm a(pool);
//   a.Line(1).Local(0).Int(2).Op(KRX::OP_LESS).JumpFalse("else") ... .Label("else") ...
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/Module.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Types.h"
#include "KRX/runtime/Var.h"

namespace krxtest {

class Asm {
 public:
  explicit Asm(KRX::StringPool* vocab = nullptr) : m_vocab(vocab) {}

  // ---- operands and plain instructions
  Asm& Op(int opcode) {
    m_code.push_back(uint8_t(opcode));
    return *this;
  }
  Asm& OpWith(int opcode, const KRX::Var& operand) {
    m_code.push_back(uint8_t(opcode));
    KRX::EncodeOperand(operand, m_vocab, m_code);
    return *this;
  }
  Asm& Line(int n) { return OpWith(KRX::OP_LINE, KRX::Var(n)); }
  Asm& Value(const KRX::Var& v) { return OpWith(KRX::OP_PUSH_VALUE, v); }
  Asm& Int(int v) { return Value(KRX::Var(v)); }
  Asm& Float(float v) { return Value(KRX::Var(v)); }
  Asm& Bool(bool v) { return Value(KRX::Var(v)); }
  Asm& Nil() { return Value(KRX::Var()); }
  Asm& Str(const char* text) {  // a vocabulary constant (string(const) operand)
    KRX::Var v;
    v.SetConstString(text);
    return Value(v);
  }
  Asm& PushVar(int flags) { return OpWith(KRX::OP_PUSH_VAR, KRX::Var(flags)); }
  Asm& Local(int slot) { return Int(slot).PushVar(0); }
  Asm& Global(const char* name) { return Str(name).PushVar(KRX::PUSHVAR_NAMED); }
  Asm& Element(int slot) { return Int(slot).PushVar(KRX::PUSHVAR_INDEXED); }  // index pushed before
  Asm& FuncInit() { return Op(KRX::OP_INIT_FUNC); }
  Asm& Call() { return Op(KRX::OP_CALL); }
  Asm& Return() { return Op(KRX::OP_RETURN); }
  Asm& Stop() { return Op(KRX::OP_STOP); }
  Asm& Eoc() { return Op(KRX::OP_EOC); }
  Asm& ParamCpy() { return Op(KRX::OP_PARAMCPY); }
  Asm& Raw(std::initializer_list<int> bytes) {
    for (int b : bytes) m_code.push_back(uint8_t(b));
    return *this;
  }

  // ---- control flow
  Asm& Label(const std::string& name) {
    m_labels[name] = int(m_code.size());
    return *this;
  }
  Asm& Jump(const std::string& label) { return Branch(KRX::OP_JUMP, label); }
  Asm& JumpTrue(const std::string& label) { return Branch(KRX::OP_JUMP_TRUE, label); }
  Asm& JumpTrueCheck(const std::string& label) { return Branch(KRX::OP_JUMP_TRUE_NOREMOVE, label); }
  Asm& JumpFalse(const std::string& label) { return Branch(KRX::OP_JUMP_FALSE, label); }
  Asm& JumpFalseCheck(const std::string& label) { return Branch(KRX::OP_JUMP_FALSE_NOREMOVE, label); }
  Asm& Branch(int opcode, const std::string& label) {
    m_code.push_back(uint8_t(opcode));
    Position(label);
    return *this;
  }
  // A switch over the given case constants (each later placed with Case under the same label);
  // the table is sorted as the interpreter's binary search needs it.
  Asm& Switch(std::vector<std::pair<KRX::Var, std::string>> cases) {
    std::stable_sort(cases.begin(), cases.end(),
                     [](const auto& a, const auto& b) { return KRX::Var::CompareLess(a.first, b.first); });
    OpWith(KRX::OP_SWITCH, KRX::Var(int(cases.size())));
    for (const auto& c : cases) Position(c.second);
    return *this;
  }
  Asm& Case(const std::string& label, const KRX::Var& constant) {
    Label(label);
    return OpWith(KRX::OP_DATA, constant);
  }

  int Here() const { return int(m_code.size()); }
  // The code with every label reference resolved.
  std::vector<uint8_t> Finish() const {
    std::vector<uint8_t> code = m_code;
    for (const auto& [at, label] : m_fixups) {
      auto it = m_labels.find(label);
      uint32_t pos = it == m_labels.end() ? 0xFFFFFFFFu : uint32_t(it->second);
      for (int i = 0; i < 4; ++i) code[size_t(at) + 1 + size_t(i)] = uint8_t(pos >> (8 * i));
    }
    return code;
  }

 private:
  void Position(const std::string& label) {
    m_fixups.emplace_back(int(m_code.size()), label);
    m_code.push_back(KRX::VT_POSITION);
    for (int i = 0; i < 4; ++i) m_code.push_back(0xFF);
  }

  KRX::StringPool* m_vocab;
  std::vector<uint8_t> m_code;
  std::map<std::string, int> m_labels;
  std::vector<std::pair<int, std::string>> m_fixups;
};

// A file module bound in the root under name, with "~m", "~file" and a vocabulary.
inline KRX::BinCode* MakeModule(const char* name, const char* file = "test.krx") {
  KRX::BinCode* root = KRX::ScriptSystem::GetRoot();
  auto* module = new KRX::BinCode();
  root->FindOrCreate(name, KRX::VT_MODULE)->SetModule(module);
  module->SetParent(root);
  module->FindOrCreate("~m", KRX::VT_STRING)->SetString(name);
  module->FindOrCreate("~file", KRX::VT_STRING)->SetString(file);
  KRX::CreateVocabulary(module);
  return module;
}

inline KRX::StringPool* Vocab(KRX::BinCode* module) { return KRX::GetVocabulary(module); }

// One slot of a function: parameters come first. A parameter without a default is an
// "uninitialize param" carrying its declared type; with a default it holds that value.
struct Slot {
  const char* name;
  int type;  // a type request (31: auto)
  bool param = false;
  bool hasDefault = false;
  int defaultInt = 0;
};

// Binds a script function name in module with the given slots and code.
inline KRX::BinCode* AddFunction(KRX::BinCode* module, const char* name, const std::vector<uint8_t>& code,
                                 const std::vector<Slot>& slots = {}, int returnType = KRX::TYPE_AUTO) {
  auto* fn = new KRX::BinCode();
  module->FindOrCreate(name, KRX::VT_MODULE)->SetModule(fn);
  fn->SetParent(module);
  fn->FindOrCreate("~f", KRX::VT_STRING)->SetString(name);
  fn->FindOrCreate("~b", KRX::VT_BINARY)->SetBinary(code.data(), int(code.size()));
  int params = 0;
  for (const Slot& s : slots) {
    int index = 0;
    KRX::Var* v = fn->GetVarTable().AddVariable(s.name, s.param && !s.hasDefault ? 0 : s.type, index);
    if (s.param) {
      ++params;
      if (s.hasDefault)
        v->SetInt(s.defaultInt);
      else
        v->SetUninitializedParam(uint32_t(s.type == KRX::TYPE_AUTO ? (KRX::TYPE_AUTO | KRX::VF_AUTO) : s.type));
    }
  }
  fn->SetParamCount(params);
  fn->SetReturnType(returnType);
  return fn;
}

// Runs module.function on a new thread at once; the thread is returned for inspection.
inline KRX::tRefPtr<KRX::Thread> RunNow(const char* module, const char* function, const std::vector<KRX::Var>& args = {}) {
  KRX::tRefPtr<KRX::Thread> thread(new KRX::Thread());
  thread->m_moduleName = module;
  thread->m_reportName = "test";
  thread->Start(function, false, args.empty() ? nullptr : args.data(), int(args.size()));
  return thread;
}

}  // namespace krxtest
