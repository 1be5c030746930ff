// Whole script functions in register form. A function whose byte code the translator follows
// from end to end (int locals and parameters, int arithmetic and comparisons, if/else and loops,
// calls of script functions and natives by name, an int result or none) is translated once, the
// first time it is called, into operations on a file of int registers: one per local slot, then
// one per stack position. The interpreter runs those while no debugger is attached.
//
// What the byte code would keep in tagged values (its locals and its value stack) is written only
// where something may look at it: before a native runs (it sees the stack, the locals it is given
// and, through the thread, every frame) and where the byte code takes over. Every operation knows
// the stack as the byte code would have it (a state), so wherever the register form does not
// decide alone (an error, the step budget's end, a value of another type, a callee it cannot
// enter) it writes the frames' locals and stacks, and the plain interpreter runs the frame from
// that instruction to its return. The byte code stays the only stored form.
#pragma once

#include <cstdint>
#include <vector>

#include "KRX/runtime/Var.h"

namespace KRX {

class BinCode;
class Module;
class StringPool;
class Thread;

// ORDER REGOP: RunRegisterForm keeps a jump target per operation in this order. r[x] is register
// x; "i" forms take b itself. ORDER CMP: the six branches of a form follow the comparison
// opcodes (<=, <, >=, >, ==, !=).
#define KRX_REGOP_LIST(X)                                                                        \
  X(RO_LINE)        /* the line d: a step */                                                   \
  X(RO_MOVE_R)      /* r[d] = r[a] */                                                          \
  X(RO_MOVE_I)      /* r[d] = b */                                                             \
  X(RO_ADD_RR)      /* r[d] = r[a] + r[b] (wrapping); likewise - and * */                      \
  X(RO_ADD_RI)                                                                                 \
  X(RO_SUB_RR)                                                                                 \
  X(RO_SUB_RI)                                                                                 \
  X(RO_MUL_RR)                                                                                 \
  X(RO_MUL_RI)                                                                                 \
  X(RO_ARITH_RR)    /* r[d] = r[a] sub r[b] (sub: an arithmetic opcode; hands over where it fails) */ \
  X(RO_ARITH_RI)                                                                               \
  X(RO_CMP_RR)      /* r[d] = r[a] sub r[b] (sub: a comparison opcode), 0 or 1 */              \
  X(RO_CMP_RI)                                                                                 \
  X(RO_NOT)         /* r[d] = !r[a] */                                                         \
  X(RO_NEGATE)      /* r[d] = -r[a] (wrapping) */                                              \
  X(RO_COMPLEMENT)  /* r[d] = ~r[a] */                                                         \
  X(RO_STEP)        /* r[d] += b (b: 1 or -1) */                                               \
  X(RO_POST_STEP)   /* r[a] = r[d], then r[d] += b */                                          \
  X(RO_JLE_RR)      /* to target when r[a] <= r[b]: a step; likewise <, >=, >, ==, != */       \
  X(RO_JLT_RR)                                                                                 \
  X(RO_JGE_RR)                                                                                 \
  X(RO_JGT_RR)                                                                                 \
  X(RO_JEQ_RR)                                                                                 \
  X(RO_JNE_RR)                                                                                 \
  X(RO_JLE_RI)      /* to target when r[a] <= b: a step; likewise <, >=, >, ==, != */          \
  X(RO_JLT_RI)                                                                                 \
  X(RO_JGE_RI)                                                                                 \
  X(RO_JGT_RI)                                                                                 \
  X(RO_JEQ_RI)                                                                                 \
  X(RO_JNE_RI)                                                                                 \
  X(RO_TEST)        /* to target when (r[a] != 0) == d: a step */                              \
  X(RO_TEST_REAL)   /* the stack's top taken as a condition and popped; to target when == d */ \
  X(RO_JUMP)        /* to target: a step */                                                    \
  X(RO_STEP_JUMP)   /* RO_POST_STEP, r[a] pushed, then to target (a join) as RO_JUMP */         \
  X(RO_JOIN)        /* paths join: stack positions count from the stack's height here */      \
  X(RO_CLEAR)       /* the stack emptied ("eoc"); positions count from 0 */                    \
  X(RO_POP_REAL)    /* the stack cut to position d, where it is higher */                      \
  X(RO_MATERIALIZE) /* the stack written up to the state's depth */                            \
  X(RO_CALL)        /* call site target */                                                     \
  X(RO_RETURN_R)    /* returns r[a] */                                                         \
  X(RO_RETURN_I)    /* returns b */                                                            \
  X(RO_RETURN_VOID) /* "return;" of a void function */                                         \
  X(RO_STOP)        /* the end of a void function */                                           \
  X(RO_BAIL)        /* the byte code takes over here */

enum en_RegOp : uint8_t {
#define KRX_REGOP_ENUM(name) name,
  KRX_REGOP_LIST(KRX_REGOP_ENUM)
#undef KRX_REGOP_ENUM
  RO_COUNT
};

struct st_RegOp {
  uint8_t op = 0;  // en_RegOp
  uint8_t sub = 0;
  int32_t a = 0;
  int32_t b = 0;
  int32_t d = 0;
  uint32_t target = 0;  // a jump's: how far its operation is (signed, in operations); a call's site
  uint32_t pc = 0;      // the instruction the plain interpreter runs when this operation hands over
  uint32_t state = 0;   // the stack before that instruction (index into st_RegFunction::states)
};

// One value of the stack as the byte code has it at some instruction. Positions count from the
// stack's height at the last join (RO_JOIN), or from 0 after an "eoc".
enum en_RegEntry : uint8_t {
  RE_REAL,     // a call's result, on the stack already
  RE_MARKER,   // a call marker: a stack position holding its own (absolute) index
  RE_INT,      // an int in register value
  RE_BOOL,     // a bool (0 or 1) in register value
  RE_IMM,      // the int value
  RE_SLOTREF,  // a reference to local slot value
  RE_CONST,    // constant value of the function (st_RegConst)
  RE_NAME,     // a callee's name (vocabulary offset value); taken by the call right after it
  RE_DEAD,     // a call's result that the "eoc" right after it drops
};

struct st_RegEntry {
  uint8_t kind = RE_REAL;
  int32_t value = 0;
};

// The stack at an instruction above the join's height: entries [first, first + depth) of
// st_RegFunction::entries. Those below the frame's stack count are on the stack already;
// writing the state writes the others.
struct st_RegState {
  uint32_t first = 0;
  uint32_t depth = 0;
};

// A constant pushed for a native: a float, a bool or a text of the vocabulary, and the value
// the operand decoder makes of it (a text's for the vocabulary and blob it was read from).
struct st_RegConst {
  uint8_t type = 0;   // VT_FLOAT, VT_BOOL or VT_CONSTSTRING
  uint32_t bits = 0;  // the float's bits, the bool, or the text's vocabulary offset
  mutable Var value;  // owns nothing
  mutable const StringPool* vocab = nullptr;
  mutable const char* blob = nullptr;
};

// What a call's result becomes: an int in a register, a value left on the stack (for a
// condition or a native's argument), nothing (the statement ends right after the call), or
// whatever the callee leaves on the stack until a later "eoc" drops it (a void script function
// leaves nothing, so positions count anew from the stack's height after the call).
enum en_CallResult : uint8_t { CR_INT, CR_REAL, CR_DISCARD, CR_DROP };

struct st_RegFunction;

struct st_RegCall {
  int32_t nameOffset = 0;  // the callee's name in the vocabulary
  uint32_t pcAfter = 0;    // the instruction after the "call"
  uint8_t marker = 0;      // the call marker's position; the result takes its place
  uint8_t resultReg = 0;   // the register of that position
  uint8_t argc = 0;
  uint8_t result = CR_INT;  // en_CallResult
  bool intArgs = false;     // every argument an int (a script callee can be entered)
  bool realArgs = false;    // some argument is a call's value, on the stack already
  uint16_t firstRef = 0;    // the slots passed by reference (refSlots), read back after a native
  uint16_t refCount = 0;
  // What the name found, for one symbol epoch: the symbol, the script function it held and
  // that function's register form when the call can enter it (else null).
  mutable uint64_t epoch = 0;
  mutable Var* var = nullptr;
  mutable BinCode* callee = nullptr;
  mutable const st_RegFunction* calleeForm = nullptr;
};

// A slot's value when a frame of the function starts.
struct st_RegInitial {
  int32_t slot = 0;
  int32_t value = 0;
};

struct st_RegFunction {
  std::vector<st_RegOp> ops;
  std::vector<st_RegState> states;
  std::vector<st_RegEntry> entries;
  std::vector<st_RegConst> constants;
  std::vector<st_RegCall> calls;
  std::vector<int32_t> refSlots;
  std::vector<int32_t> intSlots;      // the parameters and the slots the code uses: in registers
  std::vector<int32_t> writtenSlots;  // those it changes: written back before anything looks
  std::vector<st_RegInitial> initial;  // the used slots that are not parameters, as they start
  uint32_t maxDepth = 0;  // the most values the byte code has above a join's height
  uint16_t slotCount = 0;  // registers from here on hold stack positions
  uint8_t params = 0;
  uint8_t returnType = 0;  // VT_INT, VT_NIL or TYPE_AUTO
};

// The most registers (slots and stack positions) a register form has.
constexpr int kMaxRegisters = 64;

// Translates the code of function (size bytes at code); false when some instruction, slot or
// result is outside what the register form runs. Reads only inside code[0, size).
bool TranslateFunction(const uint8_t* code, uint32_t size, const BinCode& function, st_RegFunction& out);

// How RunRegisterForm ended.
enum en_RegRun : uint8_t {
  REGRUN_PLAIN,    // the plain interpreter goes on with the thread's current frame from its position
  REGRUN_STOPPED,  // the thread left the running state (finished, waiting, paused) or has no frame
  REGRUN_FAILED,   // a native raised an error, reported through the thread
};

// Runs the register form of the thread's current frame from its first operation; the frame's
// parameters hold its arguments and its stack is empty. form: the frame's register form.
en_RegRun RunRegisterForm(Module& root, Thread& thread, const st_RegFunction& form);

}  // namespace KRX
