// Byte code from a ".bincode" file is data: the operand decoder and the line walk of the
// debugger must stay inside the blob whatever it holds. Input: 1 byte pool size n, n bytes of
// pool blob, then the code.
#include <cstddef>
#include <cstdint>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Var.h"
#include "base/String.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t poolSize = data[0];
  if (poolSize > size - 1) poolSize = size - 1;
  KRX::StringPool pool;
  pool.SetBlob(reinterpret_cast<const char*>(data + 1), int32_t(poolSize));
  const uint8_t* code = data + 1 + poolSize;
  int codeSize = int(size - 1 - poolSize);

  // Decode operand after operand, the way the interpreter fetches them.
  KRX::Var operand;
  for (int pos = 0; pos < codeSize;) {
    uint8_t op = code[pos++];
    if (op >= KRX::OP_FIRST_NO_OPERAND) continue;
    int n = KRX::DecodeOperand(code + pos, codeSize - pos, &pool, operand);
    if (n == 0) break;
    if (n != KRX::OperandLength(code + pos, codeSize - pos)) __builtin_trap();
    if (const char* text = operand.GetString()) (void)text[0];
    operand.ToText();
    pos += n;
  }

  KRX::BinCode module;
  module.FindOrCreate("~b", KRX::VT_BINARY)->SetBinary(code, codeSize);
  for (int line : {-1, 0, 1, 100, 1 << 20}) KRX::HasLine(&module, line);
  return 0;
}
