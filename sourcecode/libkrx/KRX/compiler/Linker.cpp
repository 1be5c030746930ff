#include "KRX/compiler/Linker.h"

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/compiler/HiGrammar.h"
#include "KRX/runtime/Types.h"

namespace KRX {

bool Linker::Link(CodeUnit& unit) {
  Begin(unit);
  if (unit.m_asm)
    for (SyntaxNode* node = unit.m_asm->GetFirstChild(); node; node = node->GetNext()) Emit(unit, node);
  return Finish(unit);
}

void Linker::Begin(CodeUnit& unit) {
  m_labels.clear();
  m_code.clear();
  m_code.reserve(1024);
  m_hasLine = false;
  m_failed = false;
  if (unit.m_defaults)
    for (SyntaxNode* node = unit.m_defaults->GetFirstChild(); node; node = node->GetNext()) Emit(unit, node);
  m_code.push_back(uint8_t(OP_PARAMCPY));
}

bool Linker::Finish(CodeUnit& unit) {
  m_code.push_back(uint8_t(OP_STOP));
  if (m_failed) return false;
  for (const auto& [name, label] : m_labels) {
    if (label.position < 0) {
      ReportFileError(unit.m_fileName.c_str(), -1, "Fatal : Undeclared jump label found: '%s'", name.c_str());
      return false;
    }
    Patch(label);
  }
  BinCode* module = unit.m_module.get();
  if (!module) return false;
  module->FindOrCreate("~b", VT_BINARY)->SetBinary(m_code.data(), int(m_code.size()));
  return true;
}

void Linker::Settle() {
  for (auto it = m_labels.begin(); it != m_labels.end();) {
    if (it->second.position < 0) {
      ++it;
      continue;
    }
    Patch(it->second);
    it = m_labels.erase(it);
  }
}

void Linker::Patch(const st_Label& label) {
  for (uint32_t at : label.fixups)
    for (int i = 0; i < 4; ++i) m_code[at + uint32_t(i)] = uint8_t(uint32_t(label.position) >> (8 * i));
}

void Linker::Emit(CodeUnit& unit, SyntaxNode* node) {
  for (SyntaxNode* child = node->GetFirstChild(); child; child = child->GetNext()) Emit(unit, child);
  const int opcode = node->GetCommand();
  if (opcode == OP_GROUP) return;
  Var& operand = node->GetValue();
  if (opcode == OP_LABEL) {
    const char* text = operand.GetString();
    st_Label& label = m_labels[text ? text : ""];
    if (label.position >= 0) {
      ReportFileError(unit.m_fileName.c_str(), node->GetLine(), "duplicate label found %s", text ? text : "");
      m_failed = true;
      return;
    }
    label.position = int32_t(m_code.size());
    return;
  }
  if (opcode == OP_LINE) {
    const int line = operand.ToInt();
    if (m_hasLine && line == m_lastLine) return;
    m_hasLine = true;
    m_lastLine = line;
  }
  if (opcode != OP_LABEL_TAB) m_code.push_back(uint8_t(opcode));
  if (operand.GetType() == VT_LABEL && !operand.HasArrayFlag()) {
    const char* text = operand.GetString();
    m_labels[text ? text : ""].fixups.push_back(uint32_t(m_code.size()) + 1);
    operand.SetPosition(-1);
  }
  if (opcode < OP_FIRST_NO_OPERAND) {
    if (!EncodeOperand(operand, Vocabulary(unit.m_module.get()), m_code)) {
      // A constant the byte code cannot hold would run as nil: the module must not be bound.
      ReportFileError(unit.m_fileName.c_str(), node->GetLine(), "Unsupported type: reference");
      m_failed = true;
    }
  }
}

StringPool* Linker::Vocabulary(const BinCode* module) {
  if (!m_vocab || module != m_vocabModule || GetSymbolEpoch() != m_vocabEpoch) {
    m_vocab = GetVocabulary(module);
    m_vocabModule = module;
    m_vocabEpoch = GetSymbolEpoch();
  }
  return m_vocab;
}

}  // namespace KRX
