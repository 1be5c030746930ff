#include "KRX/runtime/Operations.h"

#include <cstring>

namespace KRX {

// ORDER OPROW
const t_Operation g_Operations[kOperationRows + 1] = {
    // literals and names
    {1, 1, 228, 1, -1, "d"},
    {1, 2, 228, 1, -1, "var"},
    {1, 3, 228, 1, -1, "func"},
    {1, 4, 228, 1, -1, "module"},
    // kinds of the syntax tree's inner nodes
    {6, 0, 228, 1, -1, "rem"},
    {8, 0, 228, 1, -1, "chunk"},
    {9, 0, 228, 1, -1, "exp"},
    {10, 0, 228, 1, -1, "lval"},
    {11, 0, 228, 1, -1, "assign"},
    {12, 0, 228, 1, -1, "funcdef"},
    {13, 0, 228, 1, -1, "type"},
    {14, 0, 228, 1, -1, "new"},
    {15, 0, 228, 1, -1, "params"},
    {16, 0, 228, 1, -1, "val"},
    // assembler mnemonics, never matched in source text
    {0, 0, 229, 1, -1, "stop"},
    {0, 0, 241, 1, -1, "pcopy"},
    {0, 0, 227, 1, -1, "eoc"},
    {0, 0, 0, 1, -1, "line"},
    {0, 0, 2, 1, -1, "value"},
    {0, 0, 3, 1, -1, "global"},
    {0, 0, 4, 1, -1, "jump"},
    {0, 0, 5, 1, -1, "jump_true"},
    {0, 0, 7, 1, -1, "jump_false"},
    {0, 0, 6, 1, -1, "jump_true_noremove"},
    {0, 0, 8, 1, -1, "jump_false_noremove"},
    {0, 0, 10, 1, -1, "label"},
    {0, 0, 224, 1, -1, "funcinit"},
    {0, 0, 225, 1, -1, "func"},
    // statements and keywords
    {2, 6, 226, 1, -1, "return"},
    {2, 7, 228, 1, -1, "break"},
    {2, 8, 228, 1, -1, "breakout"},
    {2, 9, 228, 1, -1, "continue"},
    {2, 18, 228, 1, -1, "function"},
    {2, 18, 228, 1, -1, "if"},
    {2, 18, 228, 1, -1, "while"},
    {2, 18, 228, 1, -1, "switch"},
    {2, 18, 228, 1, -1, "case"},
    {2, 18, 228, 1, -1, "default"},
    {2, 18, 228, 1, -1, ":"},
    {2, 18, 228, 1, -1, "for"},
    {2, 18, 228, 1, -1, "const"},
    {2, 18, 228, 1, -1, "else"},
    // type names: the priority field holds the type code
    {2, 19, 228, 1, 2, "int"},
    {2, 19, 228, 1, 3, "float"},
    {2, 19, 228, 1, 13, "string"},
    {2, 19, 228, 1, 1, "bool"},
    {2, 19, 228, 1, 8, "func"},
    {2, 19, 228, 1, 7, "bound"},
    {2, 19, 228, 1, 0, "void"},
    {2, 19, 228, 1, 10, "thread"},
    {2, 19, 228, 1, 31, "auto"},
    // unary operators
    {4, 128, 128, 1, 2, "++"},
    {5, 144, 144, 1, 2, "++"},
    {4, 129, 129, 1, 2, "--"},
    {5, 145, 145, 1, 2, "--"},
    {4, 130, 130, 1, 2, "~"},
    {4, 131, 131, 1, 2, "!"},
    {4, 132, 132, 1, 3, "+"},
    {4, 133, 133, 1, 3, "-"},
    // binary operators
    {3, 160, 160, 1, 6, "*"},
    {3, 161, 161, 1, 6, "/"},
    {3, 162, 162, 1, 6, "%"},
    {3, 163, 163, 1, 7, "+"},
    {3, 164, 163, 1, 7, ".."},
    {3, 165, 165, 1, 7, "-"},
    {3, 166, 166, 1, 8, "<<"},
    {3, 167, 167, 1, 8, ">>"},
    {3, 168, 168, 1, 9, "<="},
    {3, 169, 169, 1, 9, "<"},
    {3, 170, 170, 1, 9, ">="},
    {3, 171, 171, 1, 9, ">"},
    {3, 172, 172, 1, 10, "=="},
    {3, 173, 173, 1, 10, "!="},
    {3, 173, 173, 1, 10, "~="},
    {3, 174, 174, 1, 11, "&"},
    {3, 175, 175, 1, 12, "^"},
    {3, 176, 176, 1, 13, "|"},
    {3, 177, 177, 1, 14, "&&"},
    {3, 178, 178, 1, 15, "||"},
    // assignments group right to left
    {3, 5, 230, 0, 17, "="},
    {3, 5, 231, 0, 17, "*="},
    {3, 5, 232, 0, 17, "/="},
    {3, 5, 233, 0, 17, "%="},
    {3, 5, 234, 0, 17, "+="},
    {3, 5, 235, 0, 17, "-="},
    {3, 5, 236, 0, 17, ">>="},
    {3, 5, 237, 0, 17, "<<="},
    {3, 5, 238, 0, 17, "&="},
    {3, 5, 239, 0, 17, "^="},
    {3, 5, 240, 0, 17, "|="},
    // punctuation
    {2, 16, 228, 1, 18, ","},
    {2, 17, 228, 1, 18, ";"},
    {2, 10, 228, 1, 50, "("},
    {2, 11, 228, 1, 51, ")"},
    {2, 14, 228, 1, 52, "{"},
    {2, 15, 228, 1, 53, "}"},
    {2, 12, 228, 1, -1, "["},
    {2, 13, 228, 1, -1, "]"},
    // end row
    {0, 0, 0, 0, 0, nullptr},
};

const t_Operation* FindOperation(int type, int subType, const char* text) {
  for (const t_Operation* row = g_Operations; row->text; ++row) {
    if (type != 0 && row->type != type) continue;
    if (subType != 0 && row->subType != subType) continue;
    if (text && std::strcmp(row->text, text) != 0) continue;
    return row;
  }
  return nullptr;
}

int OperationRowIndex(const t_Operation* row) {
  if (row < g_Operations || row >= g_Operations + kOperationRows) return -1;
  return int(row - g_Operations);
}

}  // namespace KRX
