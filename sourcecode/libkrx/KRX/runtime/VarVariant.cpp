#include "KRX/runtime/VarVariant.h"

#include "KRX/runtime/Var.h"
#include "base/data/Variant.h"

namespace KRX {

void VarFromVariant(const base::Variant& from, Var& to) {
  if (from.is_string()) {
    to.SetString(from.get_string());
  } else if (from.is_float() || from.is_double()) {
    to.SetFloat(float(from.get_double()));
  } else if (from.is_int()) {
    to.SetInt(from.get_int());
  } else {
    to.SetType(VT_NIL);
  }
}

void VariantFromVar(const Var& from, base::Variant& to) {
  const Var* v = from.Deref();
  if (v->HasArrayFlag()) {
    to.set_nil();
    return;
  }
  switch (v->GetType()) {
    case VT_BOOL:
      to.set_int(v->ToBool() ? 1 : 0);
      return;
    case VT_INT:
      to.set_int(v->ToInt());
      return;
    case VT_FLOAT:
      to.set_float(v->ToFloat());
      return;
    case VT_CONSTSTRING:
    case VT_STRING: {
      const char* text = v->GetString();
      to.set_string(text ? text : "");
      return;
    }
    default:
      to.set_nil();
      return;
  }
}

}  // namespace KRX
