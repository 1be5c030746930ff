// KRX::Thread and KRX::Frame: one cooperative script execution context and its call frames.
// This header holds the data that values, modules and reporting need (state, frames, current
// function and line); the interpreter adds running, starting and scheduling on top of it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "KRX/RefObj.h"
#include "KRX/Var.h"
#include "KRX/VarTable.h"

namespace KRX {

class BinCode;

// One active call: the running function, its module, its private local slots and its operand
// stack. Owned by the thread.
struct Frame {
  Frame() = default;
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;
  ~Frame() { DeleteVarArray(m_stack); }

  int32_t m_line = -1;       // current source line, set by the "line" instruction
  uint32_t m_position = 0;   // byte offset of the next instruction in the function's code
  BinCode* m_function = nullptr;  // not counted: m_module keeps it alive
  tRefPtr<BinCode> m_module;      // the module that owns the function
  VarTable m_locals;              // a private copy of the function's slots
  Var* m_stack = nullptr;         // NewVarArray block of m_stackCapacity Vars
  uint32_t m_stackCount = 0;
  uint32_t m_stackCapacity = 0;
};

class Thread : public RefObj {
 public:
  enum en_State { STATE_DEAD = 0, STATE_FINISHED = 1, STATE_RUNNING = 2, STATE_WAITING = 3, STATE_PAUSED = 4 };
  static constexpr int kMaxFrames = 32;

  Thread() = default;
  // Releases the arguments, variables, return value and every frame still on the stack.
  ~Thread() override;

  int GetState() const { return m_state; }
  Var& GetReturnValue() { return m_returnValue; }
  // The frame at the frame index, or null when the index is outside 0..31 or the slot is empty.
  Frame* GetCurrentFrame() const {
    return (m_frameIndex >= 0 && m_frameIndex < kMaxFrames) ? m_frames[m_frameIndex] : nullptr;
  }
  const char* GetModuleName() const;    // "~m" of the current frame's module
  const char* GetFunctionName() const;  // "~f" of the current frame's function

  // The interpreter works on these directly.
  int16_t m_assertCount = 0;
  int16_t m_assertFailures = 0;
  int32_t m_state = STATE_FINISHED;
  std::string m_moduleName;
  std::string m_reportName;
  std::string m_lastError;
  uint8_t m_errorFlag = 0;
  uint8_t m_debugFlag = 0;
  Var m_returnValue;
  std::map<std::string, Var> m_variables;
  Frame* m_frames[kMaxFrames] = {};
  int32_t m_frameIndex = -1;
  int32_t m_argCount = 0;
  Var* m_args = nullptr;  // NewVarArray block of owned argument copies
};

}  // namespace KRX
