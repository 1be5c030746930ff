// The register form's loop (see RegisterForm.h). It is one function, so that the frame, its
// registers and the operation pointer stay in machine registers, and calls between functions in
// register form stay inside it: a call pushes the callee's frame and goes on with its operations.
//
// While it runs, a frame's int locals live in its registers and its stack holds only part of
// what the byte code would have there. Before a native runs, and where the byte code takes over,
// every frame is brought up to date (Flush): its locals written back, its stack written as the
// byte code has it at its call (or at the current instruction), its position stored. A frame
// brought up to date below the current one stays so until control returns into it.
#include "KRX/Interpreter/RegisterForm.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/Interpreter/ExecSupport.h"
#include "KRX/Interpreter/IntStatement.h"
#include "KRX/Module.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Thread.h"

namespace KRX {

using namespace vm;

namespace {

// A frame running in register form: its registers, and how it goes on after the call it makes.
// Set when used: the loop keeps 32 of them and touches only those it needs.
struct st_RegFrame {
  const st_RegFunction* form;
  Frame* frame;
  uint64_t epoch;           // the symbol epoch its form belongs to
  const st_RegCall* call;   // the call it makes
  uint32_t resume;          // the operation after that call
  uint32_t base;            // the stack's height its positions count from
  int32_t regs[kMaxRegisters];
};

void SetConstant(Var& v, const st_RegConst& c, const StringPool* vocab) {
  switch (c.type) {
    case VT_FLOAT: {
      float f;
      std::memcpy(&f, &c.bits, sizeof f);
      v.SetFloat(f);
      break;
    }
    case VT_BOOL: v.SetBool(c.bits != 0); break;
    default:
      // As the operand decoder gives it: the vocabulary's text, or "#offset" without one.
      if (vocab) {
        v.SetConstString(vocab->TextAt(int32_t(c.bits)));
      } else {
        char text[16];
        std::snprintf(text, sizeof text, "#%d", int32_t(c.bits));
        v.SetString(text);
      }
      break;
  }
}

// Writes the values of the state at entries (depth of them, positions counting from base) that
// are not on f's stack yet (those from its count on). The stack has room for them (EnterFrame,
// RO_JOIN).
void Materialize(Frame* f, const st_RegFunction& form, const st_RegEntry* entries, uint32_t depth,
                 const int32_t* regs, Var* slots, uint32_t base) {
  const uint32_t end = base + depth;
  for (uint32_t i = f->m_stackCount; i < end; ++i) {
    Var& v = f->m_stack[i];
    const st_RegEntry& e = entries[i - base];
    switch (e.kind) {
      case RE_MARKER: v.SetStackPos(int(i)); break;
      case RE_INT: v.SetInt(regs[e.value]); break;
      case RE_BOOL: v.SetBool(regs[e.value] != 0); break;
      case RE_IMM: v.SetInt(e.value); break;
      case RE_SLOTREF: v.SetReference(slots + e.value); break;
      case RE_CONST: SetConstant(v, form.constants[size_t(e.value)], f->m_vocab); break;
      default: break;  // values on the stack already; names and dropped results are never written
    }
  }
  if (end > f->m_stackCount) f->m_stackCount = end;
}

// The locals the code changed, back into their slots.
__attribute__((always_inline)) inline void WriteBack(const st_RegFunction& form, const int32_t* regs, Var* slots) {
  for (int32_t slot : form.writtenSlots) slots[slot].SetInt(regs[slot]);
}

// A frame below the current one brought up to date: suspended in its call, the callee past the
// call's "paramcpy".
void FlushCaller(const st_RegFrame& r) {
  Frame* f = r.frame;
  const st_RegFunction& form = *r.form;
  Var* slots = f->m_locals.GetCount() > 0 ? f->m_locals.GetVariable(0) : nullptr;
  WriteBack(form, r.regs, slots);
  const st_RegState& state = form.states[form.ops[r.resume - 1].state];
  Materialize(f, form, form.entries.data() + state.first, r.call->marker, r.regs, slots, r.base);
  f->m_position = r.call->pcAfter;
}

// What a frame needs before its form runs: its slots, and room for its deepest stack.
__attribute__((always_inline)) inline bool EnterFrame(Frame* f, const st_RegFunction& form) {
  return f->m_locals.GetCount() >= form.slotCount &&
         (f->m_stackCapacity > form.maxDepth || ReserveStack(f, form.maxDepth + 1));
}

inline Var* SlotsOf(Frame* f) { return f->m_locals.GetCount() > 0 ? f->m_locals.GetVariable(0) : nullptr; }

inline bool IsMarkerValue(const Var& v) {
  return (v.GetTypeByte() & ~VF_AUTO) == VT_STACKPOS || (v.IsReference() && v.IsStackPos());
}

}  // namespace

bool vm::StoreThreadArguments(Thread& thread, Frame* f, const st_RegFunction& form) {
  const int index = thread.m_frameIndex;
  if (index < 0 || thread.m_frames[index] != f || (index > 0 && !thread.m_frames[index - 1]->m_context)) return false;
  const int argc = thread.m_args ? thread.m_argCount : 0;
  if (argc != form.params || f->m_locals.GetCount() < argc) return false;
  for (int i = 0; i < argc; ++i)
    if ((thread.m_args[i].Deref()->GetTypeByte() & ~VF_AUTO) != VT_INT) return false;
  for (int i = 0; i < argc; ++i) f->m_locals.GetVariable(i)->SetInt(thread.m_args[i].Deref()->GetRawInt());
  return true;
}

en_RegRun RunRegisterForm(Module& root, Thread& thread, const st_RegFunction& entryForm) {
  const BinCode* rootModule = root.GetRoot();
  st_RegFrame frames[Thread::kMaxFrames];
  st_RegFrame* rf = frames;
  st_RegFrame* flushed = frames;  // the frames below are up to date
  Frame* f = thread.m_frames[thread.m_frameIndex];
  const st_RegFunction* form = &entryForm;
  const st_RegOp* ops = form->ops.data();
  const st_RegOp* ip = ops;
  Var* slots = SlotsOf(f);
  int32_t* regs = rf->regs;
  uint32_t base = 0;
  // A native's result and error text: outside the handlers, which the threaded jumps cross.
  Var nativeResult;
  static std::string nativeError;
  int32_t value = 0;  // what l_return returns

  static const void* const kTargets[] = {
#define KRX_REGOP_TARGET(name) &&l_##name,
      KRX_REGOP_LIST(KRX_REGOP_TARGET)
#undef KRX_REGOP_TARGET
  };
  static_assert(std::size(kTargets) == RO_COUNT, "ORDER REGOP: one jump target per operation");

#define REG_NEXT() goto* kTargets[ip->op]
// A step of the budget (lines, taken jumps, calls), or the byte code takes over where it ends.
#define REG_STEP()                                \
  if (thread.m_stepBudget >= 0) {                 \
    if (thread.m_stepBudget == 0) goto l_RO_BAIL; \
    --thread.m_stepBudget;                        \
  }
// Every frame below the current one brought up to date.
#define REG_FLUSH_CALLERS()                                    \
  for (; flushed < rf; ++flushed) FlushCaller(*flushed)

  if (!EnterFrame(f, *form)) {
    f->m_position = ops[0].pc;  // nothing has run: the instructions start
    return REGRUN_PLAIN;
  }
  rf->form = form;
  rf->frame = f;
  rf->epoch = GetSymbolEpoch();
  for (int32_t slot : form->intSlots) regs[slot] = slots[slot].GetRawInt();
  REG_NEXT();

l_RO_LINE:
  REG_STEP();
  f->m_line = ip->d;
  ++ip;
  REG_NEXT();

l_RO_MOVE_R:
  regs[ip->d] = regs[ip->a];
  ++ip;
  REG_NEXT();

l_RO_MOVE_I:
  regs[ip->d] = ip->b;
  ++ip;
  REG_NEXT();

// The wrapping int arithmetic of the instructions.
#define REG_WRAP(name, op, right)                                                \
  l_##name:                                                                      \
  regs[ip->d] = int32_t(uint32_t(regs[ip->a]) op uint32_t(right));               \
  ++ip;                                                                          \
  REG_NEXT();
  REG_WRAP(RO_ADD_RR, +, regs[ip->b])
  REG_WRAP(RO_ADD_RI, +, ip->b)
  REG_WRAP(RO_SUB_RR, -, regs[ip->b])
  REG_WRAP(RO_SUB_RI, -, ip->b)
  REG_WRAP(RO_MUL_RR, *, regs[ip->b])
  REG_WRAP(RO_MUL_RI, *, ip->b)
#undef REG_WRAP

l_RO_ARITH_RR: {
  int32_t r;
  if (!PlainIntArith(ip->sub, regs[ip->a], regs[ip->b], r)) goto l_RO_BAIL;  // the instruction reports it
  regs[ip->d] = r;
  ++ip;
  REG_NEXT();
}

l_RO_ARITH_RI: {
  int32_t r;
  if (!PlainIntArith(ip->sub, regs[ip->a], ip->b, r)) goto l_RO_BAIL;
  regs[ip->d] = r;
  ++ip;
  REG_NEXT();
}

l_RO_CMP_RR:
  regs[ip->d] = CompareInts(ip->sub, regs[ip->a], regs[ip->b]);
  ++ip;
  REG_NEXT();

l_RO_CMP_RI:
  regs[ip->d] = CompareInts(ip->sub, regs[ip->a], ip->b);
  ++ip;
  REG_NEXT();

l_RO_NOT:
  regs[ip->d] = regs[ip->a] == 0;
  ++ip;
  REG_NEXT();

l_RO_NEGATE:
  regs[ip->d] = int32_t(0u - uint32_t(regs[ip->a]));
  ++ip;
  REG_NEXT();

l_RO_COMPLEMENT:
  regs[ip->d] = ~regs[ip->a];
  ++ip;
  REG_NEXT();

l_RO_STEP:
  regs[ip->d] = int32_t(uint32_t(regs[ip->d]) + uint32_t(ip->b));
  ++ip;
  REG_NEXT();

l_RO_POST_STEP:
  regs[ip->a] = regs[ip->d];
  regs[ip->d] = int32_t(uint32_t(regs[ip->d]) + uint32_t(ip->b));
  ++ip;
  REG_NEXT();

// ORDER CMP
#define REG_BRANCH(name, cond)  \
  l_##name:                     \
  if (cond) {                   \
    REG_STEP();                 \
    ip = ops + ip->target;      \
  } else {                      \
    ++ip;                       \
  }                             \
  REG_NEXT();
  REG_BRANCH(RO_JLE_RR, regs[ip->a] <= regs[ip->b])
  REG_BRANCH(RO_JLT_RR, regs[ip->a] < regs[ip->b])
  REG_BRANCH(RO_JGE_RR, regs[ip->a] >= regs[ip->b])
  REG_BRANCH(RO_JGT_RR, regs[ip->a] > regs[ip->b])
  REG_BRANCH(RO_JEQ_RR, regs[ip->a] == regs[ip->b])
  REG_BRANCH(RO_JNE_RR, regs[ip->a] != regs[ip->b])
  REG_BRANCH(RO_JLE_RI, regs[ip->a] <= ip->b)
  REG_BRANCH(RO_JLT_RI, regs[ip->a] < ip->b)
  REG_BRANCH(RO_JGE_RI, regs[ip->a] >= ip->b)
  REG_BRANCH(RO_JGT_RI, regs[ip->a] > ip->b)
  REG_BRANCH(RO_JEQ_RI, regs[ip->a] == ip->b)
  REG_BRANCH(RO_JNE_RI, regs[ip->a] != ip->b)
  REG_BRANCH(RO_TEST, (regs[ip->a] != 0) == (ip->d != 0))
#undef REG_BRANCH

l_RO_TEST_REAL: {
  // The condition a jump takes from the stack: a bool as it is, anything else as GetBool says.
  Var& top = f->m_stack[f->m_stackCount - 1];
  const Var* c = top.Deref();
  bool condition = false;
  if ((c->GetTypeByte() & ~VF_AUTO) == VT_BOOL)
    condition = c->GetRawInt() != 0;
  else
    c->GetBool(condition);
  const bool take = condition == (ip->d != 0);
  if (take && thread.m_stepBudget == 0) goto l_RO_BAIL;
  Drop(top);
  --f->m_stackCount;
  if (take) {
    if (thread.m_stepBudget > 0) --thread.m_stepBudget;
    ip = ops + ip->target;
  } else {
    ++ip;
  }
  REG_NEXT();
}

l_RO_JUMP:
  REG_STEP();
  ip = ops + ip->target;
  REG_NEXT();

l_RO_JOIN:
  // Near the stack's limit the instructions go on, and fail where they would.
  if (f->m_stackCapacity <= f->m_stackCount + form->maxDepth &&
      !ReserveStack(f, f->m_stackCount + form->maxDepth + 1))
    goto l_RO_BAIL;
  base = f->m_stackCount;
  ++ip;
  REG_NEXT();

l_RO_CLEAR:
  PopTo(f, 0);
  base = 0;
  ++ip;
  REG_NEXT();

l_RO_POP_REAL:
  if (f->m_stackCount > base + uint32_t(ip->d)) PopTo(f, base + uint32_t(ip->d));
  ++ip;
  REG_NEXT();

l_RO_MATERIALIZE: {
  const st_RegState& state = form->states[ip->state];
  Materialize(f, *form, form->entries.data() + state.first, state.depth, regs, slots, base);
  ++ip;
  REG_NEXT();
}

l_RO_CALL: {
  const st_RegCall& call = form->calls[ip->target];
  const st_RegState& state = form->states[ip->state];
  if (thread.m_stepBudget == 0) goto l_RO_BAIL;
  // The callee, as the name's look-up finds it (thread variables first).
  Var* var = nullptr;
  const st_RegFunction* calleeForm = nullptr;
  if (call.epoch == GetSymbolEpoch() && thread.m_variables.empty()) {
    var = call.var;
    calleeForm = call.calleeForm;
  } else {
    const char* name = f->m_vocab ? f->m_vocab->TextAt(call.nameOffset) : nullptr;
    var = name ? FindVocabularyName(thread, rootModule, f->m_function, f->m_vocab, call.nameOffset, name) : nullptr;
    if (!var) goto l_RO_BAIL;  // the instructions report it
    BinCode* function = var->GetTypeByte() == VT_MODULE ? var->GetModule() : nullptr;
    calleeForm = function ? FunctionRegisterForm(function) : nullptr;
    if (thread.m_variables.empty()) {
      call.epoch = GetSymbolEpoch();
      call.var = var;
      call.calleeForm = calleeForm;
    }
  }
  const st_RegEntry* entries = form->entries.data() + state.first;
  const uint32_t marker = base + call.marker;  // on the stack
  if (calleeForm) {
    // A script function in register form: entered here, its arguments stored as "paramcpy"
    // stores plain ints.
    if (!call.intArgs || calleeForm->params != call.argc ||
        (call.result != CR_DISCARD && calleeForm->returnType != VT_INT) ||
        thread.m_frameIndex + 1 >= Thread::kMaxFrames)
      goto l_RO_BAIL;
    const int64_t budget = thread.m_stepBudget;
    if (thread.m_stepBudget > 0) --thread.m_stepBudget;
    const int index = ++thread.m_frameIndex;
    Frame* callee = thread.AcquireFrame(index, var->GetModule());
    thread.m_frames[index] = callee;
    if (!LoadCode(callee) || RegisterFormOf(callee) != calleeForm || !EnterFrame(callee, *calleeForm)) {
      // Not what the look-up promised: the call is undone and left to the instructions.
      thread.ReleaseFrame(index);
      thread.m_frameIndex = index - 1;
      thread.m_stepBudget = budget;
      goto l_RO_BAIL;
    }
    // Arguments that are on the stack go, as "paramcpy" pops them.
    if (f->m_stackCount > marker) PopTo(f, marker);
    st_RegFrame* next = rf + 1;
    Var* calleeSlots = SlotsOf(callee);
    const st_RegEntry* args = entries + call.marker + 1;
    for (uint32_t i = 0; i < call.argc; ++i) {
      const int32_t arg = args[i].kind == RE_IMM ? args[i].value : regs[args[i].value];
      calleeSlots[i].SetInt(arg);
    }
    for (int32_t slot : calleeForm->intSlots) next->regs[slot] = calleeSlots[slot].GetRawInt();
    rf->call = &call;
    rf->resume = uint32_t(ip - ops) + 1;
    rf->base = base;
    next->form = calleeForm;
    next->frame = callee;
    next->epoch = GetSymbolEpoch();
    rf = next;
    f = callee;
    form = calleeForm;
    ops = form->ops.data();
    ip = ops;
    slots = calleeSlots;
    regs = rf->regs;
    base = 0;
    REG_NEXT();
  }
  if (var->GetTypeByte() != VT_CFUNCTION || !var->GetCFunction()) goto l_RO_BAIL;
  for (uint32_t i = call.marker + 1u; i < state.depth; ++i)
    if (entries[i].kind == RE_REAL && IsMarkerValue(f->m_stack[base + i])) goto l_RO_BAIL;  // the nearest marker
  // A native: everything it may look at brought up to date, its marker and arguments written.
  REG_FLUSH_CALLERS();
  WriteBack(*form, regs, slots);
  Materialize(f, *form, entries, state.depth, regs, slots, base);
  if (thread.m_stepBudget > 0) --thread.m_stepBudget;
  t_Interface in;
  in.m_thread = &thread;
  in.m_argCount = call.argc;
  in.m_args = f->m_stack + marker + 1;
  const uint32_t end = f->m_stackCount;
  f->m_stackCount = marker + 1;
  f->m_position = call.pcAfter;
  if (!CallNative(var->GetCFunction(), in, nativeResult, nativeError)) {
    LeaveNative(f, marker, end);
    thread.RuntimeError(f, "%s", nativeError.c_str());
    return REGRUN_FAILED;
  }
  LeaveNative(f, marker, end);
  f->m_stack[marker] = static_cast<Var&&>(nativeResult);
  if (thread.m_state != Thread::STATE_RUNNING) return REGRUN_STOPPED;
  // The native may have loaded modules (the forms may be gone) or changed the slots it was given.
  if (rf->epoch != GetSymbolEpoch()) return REGRUN_PLAIN;
  for (uint32_t i = 0; i < call.refCount; ++i) {
    const int32_t slot = form->refSlots[call.firstRef + i];
    if (slots[slot].GetTypeByte() != VT_INT) return REGRUN_PLAIN;
    regs[slot] = slots[slot].GetRawInt();
  }
  if (call.result == CR_INT) {
    Var& result = f->m_stack[marker];
    if ((result.GetTypeByte() & ~VF_AUTO) != VT_INT) return REGRUN_PLAIN;  // converted by what follows
    regs[form->slotCount + call.marker] = result.GetRawInt();
    Drop(result);
    f->m_stackCount = marker;
  }
  ++ip;
  REG_NEXT();
}

l_RO_RETURN_R:
  value = regs[ip->a];
  goto l_return;

l_RO_RETURN_I:
  value = ip->b;
  goto l_return;

l_RO_STOP:
  thread.m_returnValue.Reset();  // as "stop" leaves it, whatever frame it ends
  goto l_return;

l_RO_RETURN_VOID:
l_return: {
  // The frame is popped; an int function's value goes where its call wants it.
  const int index = thread.m_frameIndex;
  const bool returnsInt = form->returnType == VT_INT;
  if (rf > frames) {
    thread.ReleaseFrame(index);
    thread.m_frameIndex = index - 1;
    --rf;
    if (flushed > rf) flushed = rf;  // it runs again
    f = rf->frame;
    form = rf->form;
    regs = rf->regs;
    slots = SlotsOf(f);
    base = rf->base;
    const st_RegCall& call = *rf->call;
    if (rf->epoch != GetSymbolEpoch()) {
      // A module went with the frame, and the forms may go next: the caller goes on as
      // instructions from after its call, with the value pushed as a return pushes it.
      for (; flushed <= rf; ++flushed) FlushCaller(*flushed);
      if (returnsInt) Push(f)->SetInt(value);
      return REGRUN_PLAIN;
    }
    ops = form->ops.data();
    ip = ops + rf->resume;
    if (call.result == CR_INT) {
      regs[form->slotCount + call.marker] = value;
    } else if (call.result == CR_REAL) {
      // On the stack, above what lies below the marker.
      const st_RegState& state = form->states[ops[rf->resume - 1].state];
      Materialize(f, *form, form->entries.data() + state.first, call.marker, regs, slots, base);
      Push(f)->SetInt(value);  // the room was reserved when the frame was entered
    }
    REG_NEXT();
  }
  if (index == 0 || thread.m_frames[index - 1]->m_context) {
    if (returnsInt) {
      thread.m_returnValue.Reset();
      thread.m_returnValue.SetInt(value);
    }
    thread.ReleaseFrame(index);
    thread.m_frameIndex = index - 1;
    thread.m_state = Thread::STATE_FINISHED;
    return REGRUN_STOPPED;
  }
  // Back to a caller the plain interpreter runs.
  if (returnsInt) {
    Var* slot = Push(thread.m_frames[index - 1]);
    if (!slot) goto l_RO_BAIL;  // the instruction reports it
    slot->SetInt(value);
  }
  thread.ReleaseFrame(index);
  thread.m_frameIndex = index - 1;
  return REGRUN_PLAIN;
}

l_RO_BAIL: {
  // The plain interpreter goes on from this operation's instruction, with the frames as the
  // byte code has them.
  REG_FLUSH_CALLERS();
  WriteBack(*form, regs, slots);
  const st_RegState& state = form->states[ip->state];
  Materialize(f, *form, form->entries.data() + state.first, state.depth, regs, slots, base);
  f->m_position = ip->pc;
  return REGRUN_PLAIN;
}

#undef REG_NEXT
#undef REG_STEP
#undef REG_FLUSH_CALLERS
}

}  // namespace KRX
