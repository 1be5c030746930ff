#include "KRX/runtime/Types.h"

#include <cstring>

namespace KRX {

namespace {

const char* const kTypeNames[] = {
    "nil",       "bool",         "int",           "float",  "(unknown en_Variant)",
    "position",  "reference",    "c-function",    "krx-code", "pointer",
    "thread",    "binary",       "string(const)", "string", "label",
    "stackpos",  "vocabulary",   "uninitialize param", "ignore",
};

struct st_TypeKeyword {
  const char* name;
  int code;
};

// The compiler's type keywords, in the order in which the declared-type names are searched.
const st_TypeKeyword kTypeKeywords[] = {
    {"int", VT_INT},      {"float", VT_FLOAT},  {"string", VT_STRING},
    {"bool", VT_BOOL},    {"func", VT_MODULE},  {"bind", VT_CFUNCTION},
    {"void", VT_NIL},     {"thread", VT_THREAD}, {"auto", TYPE_AUTO},
};

}  // namespace

const char* GetTypeName(int code) {
  if (code == VT_ERROR) return "__error__";
  if (code < 0 || code >= int(sizeof(kTypeNames) / sizeof(kTypeNames[0]))) return "(unknown en_Variant)";
  return kTypeNames[code];
}

const char* TypeNameFromCode(int code) {
  for (const st_TypeKeyword& k : kTypeKeywords)
    if (k.code == code) return k.name;
  return GetTypeName(code);
}

int TypeCodeFromName(const char* keyword) {
  if (!keyword) return -1;
  for (const st_TypeKeyword& k : kTypeKeywords)
    if (std::strcmp(k.name, keyword) == 0) return k.code;
  return -1;
}

}  // namespace KRX
