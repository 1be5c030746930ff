// The debugger's commands: dispatch, the replies about threads, modules, byte code and symbols,
// and the evaluation of expressions. Every byte of a command comes from the network: a missing
// number reads as 0, a missing string as null, and counts never outrun the bytes that carry them.
#include <cstdio>
#include <cstring>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/debugger/Debugger.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Types.h"
#include "base/String.h"
#include "base/system.h"
#include "libkrx/AID/MessageBuffer.h"

namespace KRX {

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

// A module value: krx-code, or a reference to one.
BinCode* AsModule(const Var* v) {
  if (!v) return nullptr;
  const Var* d = v->Deref();
  if (d->IsArray() || d->GetType() != VT_MODULE) return nullptr;
  return d->GetModule();
}

// Resolves "a/b/name" from the root: every part before a '/' must name a module.
Var* FindPath(const char* path) {
  if (!path || !*path) return nullptr;
  BinCode* current = ScriptSystem::GetRoot();
  const char* part = path;
  for (;;) {
    if (!current) return nullptr;
    const char* slash = std::strchr(part, '/');
    if (!slash) return current->Find(std::string_view(part));
    Var* inner = current->Find(std::string_view(part, size_t(slash - part)));
    current = AsModule(inner);
    part = slash + 1;
  }
}

std::string Text(const Var& v) { return v.ToText().c_str(); }

uint32_t Identity(const Thread* thread) { return uint32_t(reinterpret_cast<uintptr_t>(thread)); }

// The operand of the first instruction of code, when it is an int; else -1.
int FirstLine(const BinCode* module) {
  int size = 0;
  const unsigned char* code = GetCode(module, size);
  if (!code || size < 2 || code[0] >= OP_FIRST_NO_OPERAND) return -1;
  Var operand;
  if (DecodeOperand(code + 1, size - 1, nullptr, operand) == 0 || !operand.IsInt()) return -1;
  return operand.ToInt();
}

}  // namespace

// ---- dispatch

void Debugger::ProcessCommand(AID::MessageBuffer& in) {
  const uint32_t code = in.ReadU32();
  switch (code) {
    case DBG_LIST_BREAKPOINTS:
    case DBG_ADD_BREAKPOINT:
    case DBG_CLEAR_BREAKPOINTS:
    case DBG_REMOVE_BREAKPOINT:
    case DBG_THREADS:
    case DBG_END_THREAD:
    case DBG_POSITION:
    case DBG_BYTECODE:
    case DBG_VOCABLES:
    case DBG_MODULES:
    case DBG_RELOAD:
    case DBG_UNLOAD:
    case DBG_SYMBOLS:
    case DBG_CODE_INFO:
      DispatchFirst(code, in);
      return;
    default:
      if (m_attached) DispatchAttached(code, in);
      return;
  }
}

void Debugger::DispatchFirst(uint32_t code, AID::MessageBuffer& in) {
  switch (code) {
    case DBG_LIST_BREAKPOINTS: ReplyBreakpoints(); break;
    case DBG_ADD_BREAKPOINT:
    case DBG_REMOVE_BREAKPOINT: {
      char module[sizeof(Breakpoint::module)];
      if (!in.ReadName(module, sizeof module)) {
        base::sys::Output("ERROR: script debugger: breakpoint without a module name of at most %zu characters\n",
                          sizeof module - 1);
        break;
      }
      const int line = int(in.ReadU32());
      if (code == DBG_ADD_BREAKPOINT)
        AddBreakpoint(module, line);
      else
        RemoveBreakpoint(module, line);
      break;
    }
    case DBG_CLEAR_BREAKPOINTS: ClearBreakpoints(); break;
    case DBG_THREADS: ReplyThreads(); break;
    case DBG_END_THREAD:
      SendEnded();
      if (m_stopped) {
        Resume();
        m_mode = MODE_RUN;
      }
      break;
    case DBG_POSITION: SendPosition(); break;
    case DBG_BYTECODE: ReplyByteCode(in); break;
    case DBG_VOCABLES: ReplyVocables(in); break;
    case DBG_MODULES: SendModuleList(); break;
    case DBG_RELOAD:
      if (const char* name = in.ReadString()) ReloadModule(name);
      break;
    case DBG_UNLOAD:
      if (const char* name = in.ReadString()) UnloadModule(name);
      break;
    case DBG_SYMBOLS: ReplySymbols(in); break;
    case DBG_CODE_INFO: ReplyCodeInfo(in); break;
    default: break;
  }
}

void Debugger::DispatchAttached(uint32_t code, AID::MessageBuffer& in) {
  switch (code) {
    case DBG_STATE: ReplyState(); break;
    case DBG_DETACH:
      Detach();
      m_mode = MODE_RUN;
      break;
    case DBG_EVALUATE: {
      const char* expression = in.ReadString();
      if (!expression || m_busy) break;
      const std::string copy = expression;  // the buffer may not outlive a nested command
      const std::string result = Evaluate(copy.c_str());
      if (result.empty()) break;
      AID::MessageBuffer out;
      out.WriteU32(DBG_EVALUATE);
      out.WriteString(copy.c_str());
      out.WriteString(result.c_str());
      Send(out);
      break;
    }
    case DBG_WATCH:
      in.ReadString();
      in.ReadString();
      break;
    case DBG_BREAK:
      m_mode = MODE_BREAK;
      if (m_stopped) Resume();
      break;
    case DBG_STEP_OVER:
    case DBG_STEP_OUT:
      if (!m_stopped) break;
      m_mode = code == DBG_STEP_OVER ? MODE_STEP_OVER : MODE_STEP_OUT;
      m_stepDepth = m_stopped->m_frameIndex;
      Resume();
      break;
    case DBG_KILL:
      m_kill = true;
      [[fallthrough]];
    case DBG_CONTINUE:
      if (m_stopped) {
        Resume();
        m_mode = MODE_RUN;
      }
      break;
    case DBG_THREAD_INFO: ReplyThreadInfo(); break;
    case DBG_LOCALS: ReplyLocals(); break;
    case DBG_CALLSTACK: ReplyCallStack(); break;
    default: break;
  }
}

// ---- replies

void Debugger::ReplyState() {
  AID::MessageBuffer out;
  out.WriteU32(DBG_STATE);
  out.WriteString(m_stopFile.c_str());
  out.WriteString(m_stopFunction.c_str());
  out.WriteU32(uint32_t(m_stopLine));
  out.WriteU32(m_stopped ? 1 : 0);
  Send(out);
}

void Debugger::ReplyBreakpoints() {
  AID::MessageBuffer out;
  out.WriteU32(DBG_LIST_BREAKPOINTS);
  out.WriteU32(uint32_t(m_breakpoints.size()));
  for (const Breakpoint& b : m_breakpoints) {
    out.WriteString(b.module);
    out.WriteU32(uint32_t(b.line));
  }
  Send(out);
}

void Debugger::ReplyThreads() {
  AID::MessageBuffer out;
  out.WriteU32(DBG_THREADS);
  for (const tRefPtr<Thread>& t : ScriptSystem::GetThreads()) {
    const Frame* frame = t ? t->GetCurrentFrame() : nullptr;
    if (!frame) continue;
    out.WriteU8(1);
    out.WriteString(OrEmpty(frame->m_function ? GetModuleName(frame->m_function) : nullptr));
    out.WriteString(OrEmpty(frame->m_function ? GetFunctionName(frame->m_function) : nullptr));
    out.WriteU32(uint32_t(frame->m_line));
    out.WriteU32(uint32_t(t->GetState()));
    out.WriteF32(t->GetReturnValue().ToFloat());
    out.WriteU32(Identity(t.get()));
  }
  out.WriteU8(0);
  Send(out);
}

void Debugger::ReplyThreadInfo() {
  const Thread* t = m_attached.get();
  const Frame* frame = t->GetCurrentFrame();
  const BinCode* code = frame ? frame->m_function : nullptr;
  char text[1024];
  std::snprintf(text, sizeof text, "%.400s(%d)::%.400s : %08x", OrEmpty(code ? GetFileName(code) : nullptr),
                frame ? frame->m_line : -1, OrEmpty(code ? GetFunctionName(code) : nullptr), Identity(t));
  AID::MessageBuffer out;
  out.WriteU32(DBG_THREAD_INFO);
  out.WriteString(text);
  Send(out);
}

void Debugger::ReplyByteCode(AID::MessageBuffer& in) {
  const uint32_t request = in.ReadU32();
  const char* path = in.ReadString();
  const int line = int(in.ReadU32());
  AID::MessageBuffer out;
  out.WriteU32(DBG_BYTECODE);
  out.WriteU32(request);
  BinCode* module = AsModule(FindPath(path));
  char message[600];
  if (!module) {
    std::snprintf(message, sizeof message, "module %.500s not found", OrEmpty(path));
  } else {
    BinCode* chosen = nullptr;
    if (line == -1) {
      chosen = module;
    } else {
      for (const auto& [name, value] : module->GetSymbols()) {
        BinCode* function = AsModule(&value);
        if (function && HasLine(function, line)) {
          chosen = function;
          break;
        }
      }
    }
    if (chosen) {
      int size = 0;
      const unsigned char* code = GetCode(chosen, size);
      if (!code || size < 0) size = 0;
      out.WriteU32(uint32_t(size));
      out.WriteBytes(code, size_t(size));
      Send(out);
      return;
    }
    std::snprintf(message, sizeof message, "no code on line %d", line);
  }
  out.WriteU32(uint32_t(-1));
  out.WriteString(message);
  Send(out);
}

void Debugger::ReplyVocables(AID::MessageBuffer& in) {
  const uint32_t request = in.ReadU32();
  const char* path = in.ReadString();
  const uint32_t count = in.ReadU32();
  AID::MessageBuffer out;
  out.WriteU32(DBG_VOCABLES);
  out.WriteU32(request);
  BinCode* module = AsModule(FindPath(path));
  const StringPool* pool = module ? GetVocabulary(module) : nullptr;
  // The count is the sender's word; the offsets actually sent bound the walk.
  for (uint32_t i = 0; pool && i < count && in.Remaining() >= 4; ++i) {
    const uint32_t offset = in.ReadU32();
    if (offset > uint32_t(INT32_MAX)) continue;
    const char* text = pool->TextAt(int32_t(offset));
    if (!text) continue;
    out.WriteU32(offset);
    out.WriteString(text);
  }
  out.WriteU32(uint32_t(-1));
  Send(out);
}

void Debugger::ReplySymbols(AID::MessageBuffer& in) {
  const char* path = in.ReadString();
  const Var* value = FindPath(path);
  AID::MessageBuffer out;
  out.WriteU32(DBG_SYMBOLS);
  if (!value) {
    out.WriteU8(0);
    Send(out);
    return;
  }
  out.WriteU8(1);
  out.WriteString(path);
  if (BinCode* module = AsModule(value)) {
    out.WriteU32(uint32_t(value->GetType()));
    for (const auto& [name, entry] : module->GetSymbols()) {
      out.WriteU8(1);
      out.WriteU32(uint32_t(entry.GetType()));
      out.WriteString(name.c_str());
    }
    out.WriteU8(0);
  } else {
    out.WriteU32(VT_STRING);
    out.WriteString(Text(*value).c_str());
  }
  Send(out);
}

void Debugger::ReplyCodeInfo(AID::MessageBuffer& in) {
  const char* path = in.ReadString();
  in.ReadU32();
  BinCode* module = AsModule(FindPath(path));
  const char* file = module ? GetFileName(module) : nullptr;
  if (!file) return;
  AID::MessageBuffer out;
  out.WriteU32(DBG_CODE_INFO);
  out.WriteString(path);
  out.WriteU32(uint32_t(FirstLine(module)));
  out.WriteString(file);
  Send(out);
}

void Debugger::ReplyLocals() {
  const Frame* frame = m_attached->GetCurrentFrame();
  if (!frame) return;
  AID::MessageBuffer out;
  out.WriteU32(DBG_LOCALS);
  const VarTable& locals = frame->m_locals;
  for (int i = 0; i < locals.GetCount(); ++i) {
    const char* name = locals.GetName(i);
    const Var* value = locals.GetVariable(i);
    if (!name || !value) continue;
    out.WriteU8(1);
    out.WriteString(name);
    out.WriteU32(uint32_t(value->GetType()));
    out.WriteString(Text(*value).c_str());
  }
  out.WriteU8(0);
  Send(out);
}

void Debugger::ReplyCallStack() {
  const Thread* t = m_attached.get();
  AID::MessageBuffer out;
  out.WriteU32(DBG_CALLSTACK);
  out.WriteU32(uint32_t(t->m_frameIndex));
  for (int i = std::min(t->m_frameIndex, Thread::kMaxFrames - 1); i >= 0; --i) {
    const Frame* frame = t->m_frames[i];
    if (!frame || !frame->m_function) {
      out.WriteString("(error)");
      out.WriteString("()");
      out.WriteU32(uint32_t(-1));
      continue;
    }
    out.WriteString(OrEmpty(GetModuleName(frame->m_function)));
    out.WriteString(OrEmpty(GetFunctionName(frame->m_function)));
    out.WriteU32(uint32_t(frame->m_line));
  }
  Send(out);
}

// ---- evaluation

std::string Debugger::Evaluate(const char* expression) {
  if (!expression || m_busy) return "";
  m_busy = true;
  m_captured.clear();
  const std::string source = std::string("return (") + expression + ");";
  // The expression comes from the network: a budget keeps "while (true) {}" from hanging the
  // program (the endless-loop guard is asleep while busy).
  const Var value = CompileText(source.c_str(), m_attached.get(), kEvaluateBudget);
  std::string result;
  const Var* v = value.Deref();
  if (!v->IsArray() && v->GetType() == VT_MODULE) {
    const BinCode* function = v->GetModule();
    if (!function) {
      result = "undefined script func";
    } else {
      const char* type = TypeNameFromCode(function->GetReturnType());
      result = std::string(OrEmpty(GetFunctionName(function))) + " (script function)\nMod:" +
               OrEmpty(GetModuleName(function)) + "\nRet:" + type + "\nPar:";
      const int count = function->GetParamCount();
      if (count == 0) result += "no";
      for (int i = 1; i <= count; ++i) {
        if (i > 1) result += " , ";
        result += std::to_string(i) + ":" + type;
      }
    }
  } else {
    result = Text(value) + " (" + GetTypeName(value.GetType()) + ")";
  }
  if (!m_captured.empty()) result = m_captured;
  m_busy = false;
  return result;
}

}  // namespace KRX
