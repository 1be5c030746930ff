// Whole integer loops in register form: a loop whose condition compares two int values of the
// kind a register-form statement computes (IntStatement.h), and whose body holds only such
// statements and "i++;" / "i--;" steps, is translated once into three-address operations on a
// file of int registers and then runs all its iterations inside one interpreter step.
// The body may hold "if" and "if ... else" of such conditions, where whether the stack was cleared
// is the same on every path to a place a stop may resume from; such a body counts its lines and
// jumps as it runs them.
//
// The loop's locals are read into registers when it starts and written back when it stops. It
// stops at its exit, when the step budget could end inside the next iteration, or at the first
// statement whose operands are not plain ints or whose operation would fail; the interpreter
// then takes the byte code from there, with the budget, the line and the value stack as the
// plain instructions would have left them.
#pragma once

#include <cstdint>
#include <vector>

#include "KRX/runtime/VarTable.h"

namespace KRX {

// ORDER LOOPOP: RunIntLoop keeps a jump target per operation in this order.
enum en_LoopOp : uint8_t {
  LOOP_ADD,  // r[d] = r[a] + r[b] (wrapping); likewise SUB, MUL, DIV and MOD
  LOOP_SUB,
  LOOP_MUL,
  LOOP_DIV,        // stops the loop on division by zero and INT_MIN / -1
  LOOP_MOD,        // stops the loop on % 0
  LOOP_SHL,        // r[d] = r[a] << (r[b] & 31); likewise >> (arithmetic), and, xor, or
  LOOP_SHR,
  LOOP_AND,
  LOOP_XOR,
  LOOP_OR,
  LOOP_MOVE,       // r[d] = r[a]
  LOOP_LOAD,       // r[d] = element r[a] of array `array` (stops unless a plain int)
  LOOP_STORE,      // element r[a] of array `array` = r[b] (stops unless a plain, non-auto int)
  LOOP_STORE_ADD,  // element r[a] of array `array` += r[b]; likewise -= and *=
  LOOP_STORE_SUB,
  LOOP_STORE_MUL,
  LOOP_EXIT_LE,  // leaves the loop when r[a] <= r[b]; likewise <, >=, >, ==, !=
  LOOP_EXIT_LT,
  LOOP_EXIT_GE,
  LOOP_EXIT_GT,
  LOOP_EXIT_EQ,
  LOOP_EXIT_NE,
  // The end of an iteration: r[d] += imm (the for loop's step, or 0), then the condition as the
  // matching LOOP_EXIT_* on r[a] and r[b], and back to the operation after it.
  LOOP_BACK_LE,
  LOOP_BACK_LT,
  LOOP_BACK_GE,
  LOOP_BACK_GT,
  LOOP_BACK_EQ,
  LOOP_BACK_NE,
  LOOP_BACK_AGAIN,  // r[d] += imm, then back to the first operation (a condition of expressions)
  // An "if" inside the body: to operation `target` when r[a] <= r[b] (likewise <, >=, >, ==, !=),
  // counting imm more steps than the iteration's lines (the jump, less the lines it skips).
  LOOP_BRANCH_LE,
  LOOP_BRANCH_LT,
  LOOP_BRANCH_GE,
  LOOP_BRANCH_GT,
  LOOP_BRANCH_EQ,
  LOOP_BRANCH_NE,
  LOOP_JUMP,          // to operation `target`, counting imm more steps (past an "else")
  LOOP_BACK_COUNTED,  // LOOP_BACK_AGAIN for a body with jumps: its steps are counted as it runs
  LOOP_LINE,          // a body with jumps: "line imm" was run
  LOOP_KIND_COUNT
};

// The statement number of the condition's operations: a stop there leaves the next iteration
// to the byte code from the condition on.
constexpr uint8_t kConditionStatement = 255;

struct st_LoopOp {
  uint8_t kind = 0;
  uint8_t d = 0;
  uint8_t a = 0;
  uint8_t b = 0;
  uint8_t array = 0;
  uint8_t statement = 0;  // the body statement the operation belongs to (where a stop resumes)
  uint16_t target = 0;    // the operation a jump goes to
  int32_t imm = 0;
};

// How a local register is used; the checks it must pass when the loop starts.
enum en_LoopUse : uint8_t {
  LOOPUSE_READ = 1,    // read after following references: an int, auto or not
  LOOPUSE_ASSIGN = 2,  // "=" into the slot itself: a plain int, not auto
  LOOPUSE_UPDATE = 4,  // "op=" into the slot itself: an int, auto or not
  LOOPUSE_STEP = 8,    // "X++" / "X--" through the slot's references
};

// A place in the body where the byte code may take over.
struct st_LoopResume {
  uint32_t pc = 0;           // the statement's first instruction after its lines
  uint32_t stepsBefore = 0;  // lines of the iteration before it (each one step)
  int32_t line = 0;          // the last line run before it in the iteration (bodies without jumps)
  bool hasLine = false;      // whether there was one
  bool cleared = false;      // whether an "eoc" ran before it in the iteration
};

struct st_IntLoop {
  std::vector<st_LoopOp> ops;           // the condition first, LOOP_BACK last
  std::vector<int32_t> localSlots;      // the slot of each local register (registers 0...)
  std::vector<uint8_t> localUses;       // en_LoopUse bits of each
  std::vector<int32_t> constants;       // the values of the constant registers that follow them
  std::vector<int32_t> arraySlots;      // the local arrays the elements belong to
  std::vector<st_LoopResume> resumes;   // one per body statement and "if" condition
  uint32_t end = 0;                     // the position after the loop's closing jump
  uint32_t steps = 0;                   // steps of an iteration: its lines and the closing jump
  uint32_t maxSteps = 0;                // the most an iteration may take, its jumps taken too
  bool branchy = false;                 // the body has jumps: steps are counted as they are taken
  uint32_t pushes = 0;                  // the most values a statement pushes on the plain path
  int32_t lastLine = 0;                 // the line an iteration ends on, if it runs one (no jumps)
  bool hasLine = false;
  // The for loop's step ("i++" before the closing jump, without "eoc") leaves a copy of the
  // stepped local on the stack, as the plain instruction does; stepRegister is that local.
  bool leavesCopy = false;
  uint8_t stepRegister = 0;
  int32_t stepDelta = 0;
  // The interpreter's back-off after starts that ran no whole iteration: passes still to skip,
  // and how many the last failure set.
  mutable uint8_t skips = 0;
  mutable uint8_t backoff = 0;
  uint16_t plainHandler = 0;  // the interpreter's own handler of the condition's first instruction
};

// Translates the loop whose condition starts at top; false when the code there is no such loop.
// Reads only inside code[0, size).
bool MatchIntLoop(const uint8_t* code, uint32_t size, uint32_t top, st_IntLoop& out);

enum en_LoopEnd : uint8_t {
  LOOPEND_EXIT,       // the condition left the loop: its jump (one step) goes to end
  LOOPEND_TOP,        // the next iteration is the byte code's, from the condition on
  LOOPEND_STATEMENT,  // body statement `statement` is the byte code's, from its first instruction
};

struct st_LoopRun {
  en_LoopEnd end = LOOPEND_TOP;
  uint64_t iterations = 0;  // whole iterations run
  uint64_t steps = 0;       // the steps they took, and the jumps of the last one up to the stop
  uint8_t statement = 0;
  int32_t copy = 0;  // the value the last step left on the stack (leavesCopy, iterations > 0)
  int32_t line = 0;  // a body with jumps: the last line run (set by the caller to the line before)
};

// Runs the loop from its condition on locals with budget steps left (negative: no limit).
// False when it cannot start (a local or array of another type, locals that alias); nothing has
// changed then. Otherwise the locals and elements hold what the iterations stored and run says
// where and how it stopped.
bool RunIntLoop(const st_IntLoop& loop, const VarTable& locals, int64_t budget, st_LoopRun& run);

}  // namespace KRX
