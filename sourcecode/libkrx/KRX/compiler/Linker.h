// Linker: lays the assembly lists of one compile unit out as byte code, resolves every jump to
// its label's position and stores the blob as the module's "~b". Layout: parameter-default
// code, "paramcpy", body, "stop". One Linker serves one link, whole or piece by piece.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace KRX {

struct CodeUnit;
class BinCode;
class StringPool;
class SyntaxNode;

class Linker {
 public:
  // Assembles unit.m_defaults and unit.m_asm and binds "~b" in unit's module. False on an
  // undefined or duplicate label or an operand that has no byte form; "~b" is then untouched.
  bool Link(CodeUnit& unit);
  // Assembles node's children, then node itself.
  void Emit(CodeUnit& unit, SyntaxNode* node);

  // ---- piece by piece
  // Link in three steps, so that the body can be laid out as it is generated and its nodes
  // dropped: Begin lays out the parameter defaults and "paramcpy", Emit each body node in
  // order, Finish "stop", the jumps and "~b" (with Link's result).
  void Begin(CodeUnit& unit);
  bool Finish(CodeUnit& unit);
  // Patches the jumps to every label placed so far and forgets those labels, for a caller that
  // knows the code still to come never names them (the generator numbers every label it makes,
  // and jumps stay within one statement). A later label of such a name is no longer a duplicate.
  void Settle();

  const std::vector<uint8_t>& GetCode() const { return m_code; }

 private:
  struct st_Label {
    std::vector<uint32_t> fixups;
    int32_t position = -1;
  };
  // Writes label's position into every jump that names it.
  void Patch(const st_Label& label);
  // The module's vocabulary, looked up once per module and symbol epoch, not per operand.
  StringPool* Vocabulary(const BinCode* module);

  std::map<std::string, st_Label> m_labels;
  const BinCode* m_vocabModule = nullptr;
  uint64_t m_vocabEpoch = 0;
  StringPool* m_vocab = nullptr;
  std::vector<uint8_t> m_code;
  int m_lastLine = 0;
  bool m_hasLine = false;
  bool m_failed = false;
};

}  // namespace KRX
