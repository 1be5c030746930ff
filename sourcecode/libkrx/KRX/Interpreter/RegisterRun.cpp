// The register form's loop (see RegisterForm.h). It is one function, so that the frame, its
// registers and the operation pointer stay in machine registers, and calls between functions in
// register form stay inside it.
//
// While it runs, a frame's int locals live in its registers and its stack holds only part of
// what the byte code would have there; a frame it enters has no KRX::Frame at all until one is
// needed. Before a native runs, and where the byte code takes over, every frame is brought up to
// date (Flush): a KRX::Frame made for it, its locals written back, its stack written as the byte
// code has it at its call (or at the current instruction), its line and position stored. A frame
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

// A frame running in register form. Its fields are set when used: the loop keeps 32 of these
// and touches only those it needs.
struct st_RegFrame {
  const st_RegFunction* form;
  BinCode* function;
  Frame* frame;            // null until the frame is needed (Realize)
  uint64_t epoch;          // the symbol epoch its form belongs to
  const st_RegCall* call;  // the call it makes
  const st_RegOp* resume;  // the operation after that call
  uint32_t base;           // the stack's height its positions count from
  int32_t line;            // its current line
  int32_t regs[kMaxRegisters];
};

// Writes constant c into v (a stack slot above the count) as the operand decoder gives it: the
// vocabulary's text, or "#offset" without a vocabulary.
__attribute__((noinline)) void SetText(Var& v, const st_RegConst& c, const StringPool* vocab) {
  if (!vocab) {
    char text[16];
    std::snprintf(text, sizeof text, "#%d", int32_t(c.bits));
    v.SetString(text);
    return;
  }
  // A vocabulary only appends: while its blob stays where it is, the text at the offset does too.
  c.value.SetConstString(vocab->TextAt(int32_t(c.bits)));
  c.vocab = vocab;
  c.blob = vocab->GetBlob();
  v.Assign(c.value);
}

__attribute__((always_inline)) inline void SetConstant(Var& v, const st_RegConst& c, const StringPool* vocab) {
  if (c.type == VT_CONSTSTRING && (c.vocab != vocab || !vocab || c.blob != vocab->GetBlob()))
    SetText(v, c, vocab);
  else
    v.Assign(c.value);  // a float, a bool or a text: nothing owned, so the words are copied
}

// Puts into v, which owns nothing (a stack slot above the count, an int slot), what set gives a
// nil Var: v is made anew, so nothing is looked at or released first.
template <class F>
__attribute__((always_inline)) inline void PutPlain(Var& v, F set) {
  set(*new (&v) Var());
}

// Writes the values of a state (depth entries, positions counting from base) that are not on
// f's stack yet (those from its count on). The stack has room for them (Realize, RO_JOIN).
__attribute__((always_inline)) inline void Materialize(Frame* f, const st_RegFunction& form,
                                                       const st_RegEntry* entries, uint32_t depth,
                                                       const int32_t* regs, Var* slots, uint32_t base) {
  uint32_t i = f->m_stackCount;
  const uint32_t end = base + depth;
  if (i >= end) return;
  Var* stack = f->m_stack;
  entries -= base;
  do {
    Var& v = stack[i];
    const st_RegEntry& e = entries[i];
    switch (e.kind) {
      case RE_MARKER: PutPlain(v, [i](Var& n) { n.SetStackPos(int(i)); }); break;
      case RE_INT: PutPlain(v, [x = regs[e.value]](Var& n) { n.SetInt(x); }); break;
      case RE_BOOL: PutPlain(v, [x = regs[e.value]](Var& n) { n.SetBool(x != 0); }); break;
      case RE_IMM: PutPlain(v, [x = e.value](Var& n) { n.SetInt(x); }); break;
      case RE_SLOTREF: PutPlain(v, [p = slots + e.value](Var& n) { n.SetReference(p); }); break;
      case RE_CONST: SetConstant(v, form.constants[size_t(e.value)], f->m_vocab); break;
      default: break;  // values on the stack already; names and dropped results are never written
    }
  } while (++i < end);
  f->m_stackCount = end;
}

inline Var* SlotsOf(Frame* f) { return f->m_locals.GetCount() > 0 ? f->m_locals.GetVariable(0) : nullptr; }

// The locals the code changed, back into their int slots.
__attribute__((always_inline)) inline void WriteBack(const st_RegFunction& form, const int32_t* regs, Var* slots) {
  for (int32_t slot : form.writtenSlots) PutPlain(slots[slot], [x = regs[slot]](Var& n) { n.SetInt(x); });
}

// Gives r its KRX::Frame (the thread's next one) when it has none, with its locals and line;
// false without memory for it.
bool Realize(Thread& thread, st_RegFrame& r) {
  if (!r.frame) {
    const int index = thread.m_frameIndex + 1;
    Frame* f = thread.AcquireFrame(index, r.function);
    thread.m_frames[index] = f;
    thread.m_frameIndex = index;
    r.frame = f;
    // Its code cache (the vocabulary its constants and names are read from) is filled here; in
    // another symbol epoch that would drop the forms, and the plain interpreter fills it later.
    if ((r.epoch == GetSymbolEpoch() && !LoadCode(f)) || f->m_locals.GetCount() < r.form->slotCount ||
        !ReserveStack(f, r.form->maxDepth + 1))
      return false;
    Var* slots = SlotsOf(f);
    for (int32_t slot : r.form->intSlots) slots[slot].SetInt(r.regs[slot]);
  } else {
    WriteBack(*r.form, r.regs, SlotsOf(r.frame));
  }
  r.frame->m_line = r.line;
  return true;
}

// A frame below the current one brought up to date: suspended in its call, past the callee's
// "paramcpy".
bool FlushCaller(Thread& thread, st_RegFrame& r) {
  if (!Realize(thread, r)) return false;
  Frame* f = r.frame;
  const st_RegFunction& form = *r.form;
  const st_RegState& state = form.states[r.resume[-1].state];
  Materialize(f, form, form.entries.data() + state.first, r.call->marker, r.regs, SlotsOf(f), r.base);
  f->m_position = r.call->pcAfter;
  return true;
}

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
  const int baseIndex = thread.m_frameIndex;
  Frame* f = thread.m_frames[baseIndex];  // the current frame's KRX::Frame, null while it has none
  const st_RegFunction* form = &entryForm;
  const st_RegOp* ip = form->ops.data();
  Var* slots = SlotsOf(f);
  int32_t* regs = rf->regs;
  uint32_t base = 0;
  // The step budget, kept here and stored into the thread wherever anything else may read it.
  int64_t budget = thread.m_stepBudget;
  st_RegFrame* const lastFrame = frames + (Thread::kMaxFrames - 1 - baseIndex);  // the deepest call's
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
#define REG_STEP()                  \
  if (budget >= 0) {                \
    if (budget == 0) goto l_RO_BAIL; \
    --budget;                       \
  }
// Every frame brought up to date, the current one given its KRX::Frame. Mostly there is none
// below and the current one has its KRX::Frame: only its locals and line are written.
#define REG_FLUSH()                                                  \
  do {                                                               \
    if (flushed == rf && f) {                                        \
      WriteBack(*form, regs, slots);                                 \
      f->m_line = rf->line;                                          \
      break;                                                         \
    }                                                                \
    for (; flushed < rf; ++flushed)                                  \
      if (!FlushCaller(thread, *flushed)) goto l_no_memory;          \
    if (!Realize(thread, *rf)) goto l_no_memory;                     \
    f = rf->frame;                                                   \
    slots = SlotsOf(f);                                              \
  } while (0)

  if (f->m_locals.GetCount() < form->slotCount || !ReserveStack(f, form->maxDepth + 1)) {
    f->m_position = ip->pc;  // nothing has run: the instructions start
    return REGRUN_PLAIN;
  }
  rf->form = form;
  rf->function = f->m_function;
  rf->frame = f;
  rf->epoch = GetSymbolEpoch();
  rf->line = f->m_line;
  for (int32_t slot : form->intSlots) regs[slot] = slots[slot].GetRawInt();
  REG_NEXT();

l_RO_LINE:
  REG_STEP();
  rf->line = ip->d;
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
#define REG_WRAP(name, op, right)                                  \
  l_##name:                                                        \
  regs[ip->d] = int32_t(uint32_t(regs[ip->a]) op uint32_t(right)); \
  ++ip;                                                            \
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
#define REG_BRANCH(name, cond) \
  l_##name:                    \
  if (cond) {                  \
    REG_STEP();                \
    ip += int32_t(ip->target);     \
  } else {                     \
    ++ip;                      \
  }                            \
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
  // The condition a jump takes from the stack (a call's value, so the frame has one): a bool as
  // it is, anything else as GetBool says.
  Var& top = f->m_stack[f->m_stackCount - 1];
  const Var* c = top.Deref();
  bool condition = false;
  if ((c->GetTypeByte() & ~VF_AUTO) == VT_BOOL)
    condition = c->GetRawInt() != 0;
  else
    c->GetBool(condition);
  const bool take = condition == (ip->d != 0);
  if (take && budget == 0) goto l_RO_BAIL;
  Drop(top);
  --f->m_stackCount;
  if (take) {
    if (budget > 0) --budget;
    ip += int32_t(ip->target);
  } else {
    ++ip;
  }
  REG_NEXT();
}

l_RO_JUMP:
  REG_STEP();
  ip += int32_t(ip->target);
  REG_NEXT();

l_RO_STEP_JUMP:
  // A for loop's step, the copy it leaves pushed, and the jump back (to a join, done here too).
  regs[ip->a] = regs[ip->d];
  regs[ip->d] = int32_t(uint32_t(regs[ip->d]) + uint32_t(ip->b));
  REG_STEP();
  if (!f) REG_FLUSH();
  PutPlain(f->m_stack[f->m_stackCount++], [x = regs[ip->a]](Var& n) { n.SetInt(x); });
  ip += int32_t(ip->target);
  if (f->m_stackCapacity <= f->m_stackCount + form->maxDepth) REG_NEXT();  // the join grows it
  base = f->m_stackCount;
  ++ip;
  REG_NEXT();

l_RO_JOIN:
  // A frame without a KRX::Frame has nothing on its stack. Near the stack's limit the
  // instructions go on, and fail where they would.
  if (f) {
    if (f->m_stackCapacity <= f->m_stackCount + form->maxDepth &&
        !ReserveStack(f, f->m_stackCount + form->maxDepth + 1))
      goto l_RO_BAIL;
    base = f->m_stackCount;
  }
  ++ip;
  REG_NEXT();

l_RO_CLEAR:
  if (f) PopTo(f, 0);
  base = 0;
  ++ip;
  REG_NEXT();

l_RO_POP_REAL:
  if (f && f->m_stackCount > base + uint32_t(ip->d)) PopTo(f, base + uint32_t(ip->d));
  ++ip;
  REG_NEXT();

l_RO_MATERIALIZE: {
  // What a join finds on the stack: the frame needs a KRX::Frame for it.
  if (!f) REG_FLUSH();
  const st_RegState& state = form->states[ip->state];
  Materialize(f, *form, form->entries.data() + state.first, state.depth, regs, slots, base);
  ++ip;
  REG_NEXT();
}

l_RO_CALL: {
  const st_RegCall& call = form->calls[ip->target];
  if (budget == 0) goto l_RO_BAIL;
  // The callee, as the name's look-up finds it (thread variables first).
  Var* var = nullptr;
  const st_RegFunction* calleeForm = nullptr;
  if (call.epoch == GetSymbolEpoch() && thread.m_variables.empty() &&
      (call.var->GetTypeByte() != VT_MODULE || call.var->GetModule() == call.callee)) {
    var = call.var;
    calleeForm = call.calleeForm;
  } else {
    if (!f) REG_FLUSH();  // the look-up reads the KRX::Frame's vocabulary (rare: a name found again)
    const StringPool* vocab = f->m_vocab;
    const char* text = vocab ? vocab->TextAt(call.nameOffset) : nullptr;
    var = text ? FindVocabularyName(thread, rootModule, f->m_function, vocab, call.nameOffset, text) : nullptr;
    if (!var) goto l_RO_BAIL;  // the instructions report it
    BinCode* callee = var->GetTypeByte() == VT_MODULE ? var->GetModule() : nullptr;
    calleeForm = callee ? FunctionRegisterForm(callee) : nullptr;
    // Entered only with as many int arguments as it has parameters, and the result the call needs.
    if (calleeForm && (!call.intArgs || calleeForm->params != call.argc ||
                       ((call.result == CR_INT || call.result == CR_REAL) && calleeForm->returnType != VT_INT)))
      calleeForm = nullptr;
    if (thread.m_variables.empty()) {
      call.epoch = GetSymbolEpoch();
      call.var = var;
      call.callee = callee;
      call.calleeForm = calleeForm;
    }
  }
  const st_RegState& state = form->states[ip->state];
  const st_RegEntry* entries = form->entries.data() + state.first;
  const uint32_t marker = base + call.marker;  // on the stack
  if (calleeForm) {
    // A script function in register form: entered here, its arguments stored as "paramcpy"
    // stores plain ints.
    if (rf >= lastFrame) goto l_RO_BAIL;  // the instructions report it
    if (budget > 0) --budget;
    if (f && f->m_stackCount > marker) PopTo(f, marker);  // arguments on the stack go, as "paramcpy" pops them
    st_RegFrame* next = rf + 1;
    const st_RegEntry* args = entries + call.marker + 1;
    for (uint32_t i = 0; i < call.argc; ++i) next->regs[i] = args[i].kind == RE_IMM ? args[i].value : regs[args[i].value];
    for (const st_RegInitial& initial : calleeForm->initial) next->regs[initial.slot] = initial.value;
    rf->call = &call;
    rf->resume = ip + 1;
    rf->base = base;
    next->form = calleeForm;
    next->function = var->GetModule();
    next->frame = nullptr;
    next->epoch = GetSymbolEpoch();
    next->line = -1;
    rf = next;
    f = nullptr;
    form = calleeForm;
    ip = form->ops.data();
    slots = nullptr;
    regs = rf->regs;
    base = 0;
    REG_NEXT();
  }
  if (var->GetTypeByte() != VT_CFUNCTION || !var->GetCFunction()) goto l_RO_BAIL;
  // A native: everything it may look at brought up to date, its marker and arguments written.
  REG_FLUSH();
  if (call.realArgs) {
    for (uint32_t i = call.marker + 1u; i < state.depth; ++i)
      if (entries[i].kind == RE_REAL && IsMarkerValue(f->m_stack[base + i])) goto l_RO_BAIL;  // the nearest marker
  }
  Materialize(f, *form, entries, state.depth, regs, slots, base);
  if (budget > 0) --budget;
  thread.m_stepBudget = budget;
  t_Interface in;
  in.m_thread = &thread;
  in.m_argCount = call.argc;
  in.m_args = f->m_stack + marker + 1;
  const uint32_t end = f->m_stackCount;
  f->m_stackCount = marker + 1;
  f->m_position = call.pcAfter;
  // No debugger is attached (this is the register form), so none is told of the native.
  if (!CallAdapter(var->GetCFunction(), in, nativeResult, nativeError)) {
    LeaveNative(f, marker, end);
    thread.RuntimeError(f, "%s", nativeError.c_str());
    return REGRUN_FAILED;
  }
  LeaveNative(f, marker, end);
  budget = thread.m_stepBudget;
  // The native may have ended the run, or loaded modules: then the forms may be gone, and
  // nothing of them is read any more.
  if (thread.m_state != Thread::STATE_RUNNING || rf->epoch != GetSymbolEpoch()) {
    new (&f->m_stack[marker]) Var(static_cast<Var&&>(nativeResult));
    return thread.m_state == Thread::STATE_RUNNING ? REGRUN_PLAIN : REGRUN_STOPPED;
  }
  // It may also have changed the slots it was given.
  bool goOn = true;
  for (const int32_t *ref = form->refSlots.data() + call.firstRef, *refEnd = ref + call.refCount; ref != refEnd; ++ref) {
    const Var& slot = slots[*ref];
    if (slot.GetTypeByte() != VT_INT) goOn = false;
    regs[*ref] = slot.GetRawInt();
  }
  if (goOn && call.result == CR_INT && (nativeResult.GetTypeByte() & ~VF_AUTO) == VT_INT) {
    // An int result: straight into its register, the marker's slot emptied as popping the
    // result would leave it.
    regs[call.resultReg] = nativeResult.GetRawInt();
    PutPlain(nativeResult, [](Var&) {});
    Drop(f->m_stack[marker]);
    f->m_stackCount = marker;
    ++ip;
    REG_NEXT();
  }
  new (&f->m_stack[marker]) Var(static_cast<Var&&>(nativeResult));  // over the marker, which owns nothing
  if (!goOn || call.result == CR_INT) return REGRUN_PLAIN;  // another type is converted by what follows
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
  const bool returnsInt = form->returnType == VT_INT;
  if (rf > frames) {
    if (f) {
      thread.ReleaseFrame(thread.m_frameIndex);
      --thread.m_frameIndex;
    }
    --rf;
    if (flushed > rf) flushed = rf;  // it runs again
    f = rf->frame;
    form = rf->form;
    regs = rf->regs;
    slots = f ? SlotsOf(f) : nullptr;
    base = rf->base;
    const st_RegCall& call = *rf->call;
    if (rf->epoch != GetSymbolEpoch()) {
      // A module went with the frame, and the forms may go next: the caller goes on as
      // instructions from after its call, with the value pushed as a return pushes it.
      for (; flushed <= rf; ++flushed)
        if (!FlushCaller(thread, *flushed)) goto l_no_memory;
      if (returnsInt) Push(rf->frame)->SetInt(value);
      thread.m_stepBudget = budget;
      return REGRUN_PLAIN;
    }
    ip = rf->resume;
    if (call.result == CR_INT) {
      regs[call.resultReg] = value;
    } else if (call.result == CR_REAL || (call.result == CR_DROP && returnsInt)) {
      // On the stack, above what lies below the marker.
      for (; flushed < rf; ++flushed)
        if (!FlushCaller(thread, *flushed)) goto l_no_memory;
      if (!Realize(thread, *rf)) goto l_no_memory;
      f = rf->frame;
      slots = SlotsOf(f);
      const st_RegState& state = form->states[rf->resume[-1].state];
      Materialize(f, *form, form->entries.data() + state.first, call.marker, regs, slots, base);
      Push(f)->SetInt(value);  // the room was reserved when the frame was made
    }
    REG_NEXT();
  }
  const int index = thread.m_frameIndex;
  if (index == 0 || thread.m_frames[index - 1]->m_context) {
    if (returnsInt) {
      thread.m_returnValue.Reset();
      thread.m_returnValue.SetInt(value);
    }
    thread.ReleaseFrame(index);
    thread.m_frameIndex = index - 1;
    thread.m_state = Thread::STATE_FINISHED;
    thread.m_stepBudget = budget;
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
  thread.m_stepBudget = budget;
  return REGRUN_PLAIN;
}

l_RO_BAIL: {
  // The plain interpreter goes on from this operation's instruction, with the frames as the
  // byte code has them.
  REG_FLUSH();
  const st_RegState& state = form->states[ip->state];
  Materialize(f, *form, form->entries.data() + state.first, state.depth, regs, slots, base);
  f->m_position = ip->pc;
  thread.m_stepBudget = budget;
  return REGRUN_PLAIN;
}

l_no_memory:
  // A KRX::Frame could not be had: the thread cannot go on.
  thread.RuntimeError(thread.GetCurrentFrame(), "Fatal: Accessing stack outside range at '%s'", GetCommandName(OP_CALL));
  thread.m_stepBudget = budget;
  return REGRUN_FAILED;

#undef REG_NEXT
#undef REG_STEP
#undef REG_FLUSH
}

}  // namespace KRX
