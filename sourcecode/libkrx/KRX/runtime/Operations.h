// The script language's vocabulary for every compiler stage: each written operator, keyword,
// punctuation mark, syntax-tree node kind and assembler mnemonic as one row of a static table,
// with its kinds, its byte-code command, its grouping and its binding priority. The lexer
// matches source text against it, the parser takes priorities from it, the code generator
// takes commands from it.
// ORDER OPROW: searches return the first row that fits, so the row order is binding; the row
// numbers below name rows the compiler stages use directly.
#pragma once

namespace KRX {

// Node kinds (printable names: GetOpTypeName in ByteCode.h).
enum en_OpType : int {
  OT_NONE = 0,  // assembler-only rows and instruction nodes
  OT_ID = 1,    // literals, names, function names, module qualifiers
  OT_SYS = 2,   // keywords, type names, punctuation
  OT_BINARY = 3,
  OT_PREFIX = 4,
  OT_POSTFIX = 5,
  OT_REM = 6,  // roots of token lists, syntax trees and assembly lists
  OT_CHUNK = 8,
  OT_EXP = 9,
  OT_LVAL = 10,
  OT_ASSIGN = 11,
  OT_FUNCDEF = 12,
  OT_TYPE = 13,
  OT_NEW = 14,
  OT_PARAMS = 15,
  OT_VAL = 16,
};

// Token and node sub-kinds; operators use their command value (GetOpSubTypeName).
enum en_OpSubType : int {
  OS_NONE = 0,
  OS_LITERAL = 1,  // "d"
  OS_VAR = 2,
  OS_FUNC = 3,
  OS_MODULE = 4,
  OS_ASSIGN = 5,  // every assignment operator
  OS_RETURN = 6,
  OS_BREAK = 7,
  OS_BREAKOUT = 8,
  OS_CONTINUE = 9,
  OS_LPAREN = 10,
  OS_RPAREN = 11,
  OS_LBRACKET = 12,
  OS_RBRACKET = 13,
  OS_LBRACE = 14,
  OS_RBRACE = 15,
  OS_COMMA = 16,
  OS_SEMICOLON = 17,
  OS_KEYWORD = 18,
  OS_TYPENAME = 19,
};

// One row of the operation table: six 32-bit-sized fields.
struct t_Operation {
  int type = 0;          // en_OpType
  int subType = 0;       // en_OpSubType
  int command = 228;     // en_Command; 228 = none
  int leftToRight = 1;   // 0 only for the assignment operators
  int priority = -1;     // smaller binds tighter; -1 never an operator; type names: type code
  const char* text = nullptr;  // written form; null ends the table
};

constexpr int kOperationRows = 98;
// The table: kOperationRows rows and an end row whose text is null.
extern const t_Operation g_Operations[kOperationRows + 1];

// Row numbers the stages use directly (ORDER OPROW).
constexpr int kRowLiteral = 0;
constexpr int kRowVar = 1;
constexpr int kRowFunc = 2;
constexpr int kRowModule = 3;
constexpr int kRowReturn = 28;
constexpr int kRowFirstSource = 28;  // rows from here on can match source text

// The first row whose type, subtype and text equal the given ones; a 0 type, a 0 subtype or a
// null text matches any row. Null when none fits.
const t_Operation* FindOperation(int type, int subType, const char* text);
// The row number of a row of g_Operations, -1 for anything else.
int OperationRowIndex(const t_Operation* row);

}  // namespace KRX
