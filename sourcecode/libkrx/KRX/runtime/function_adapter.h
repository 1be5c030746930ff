// KRX::detail::function_adapter<Sig>: binds a native function of signature Sig so that scripts
// can call it by name. Arguments are checked and converted from the last to the first, so a call
// with several bad arguments reports the highest index; nothing runs when one is bad.
//   RegisterFunction(ScriptSystem::GetModule(), "Walk", &Walk);  // void Walk(const char*, float)
#pragma once

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "KRX/BinCode.h"
#include "KRX/runtime/Interface.h"
#include "KRX/runtime/Thread.h"

namespace KRX::detail {

// ---- parameter conversion: one rule per native parameter type
template <class T>
struct param;

template <>
struct param<const char*> {
  using stored = const char*;
  static const char* get(t_Interface& in, int i) {
    Var* v = in.GetParam(i);
    if (!v) return nullptr;
    if (!v->IsString()) in.ReportBadParam(i, v, "string");
    return v->GetString();
  }
};
template <>
struct param<int> {
  using stored = int;
  static int get(t_Interface& in, int i) {
    Var* v = in.GetParam(i);
    int out = 0;
    if (v && !v->GetInt(out)) in.ReportBadParam(i, v, "int");
    return out;
  }
};
template <>
struct param<float> {
  using stored = float;
  static float get(t_Interface& in, int i) {
    Var* v = in.GetParam(i);
    float out = 0.0f;
    if (v && !v->GetFloat(out)) in.ReportBadParam(i, v, "float");
    return out;
  }
};
template <>
struct param<bool> {
  using stored = bool;
  static bool get(t_Interface& in, int i) {
    Var* v = in.GetParam(i);
    bool out = false;
    if (v && !v->GetBool(out)) in.ReportBadParam(i, v, "bool");
    return out;
  }
};
template <>
struct param<const BinCode*> {
  using stored = const BinCode*;
  static const BinCode* get(t_Interface& in, int i) {
    Var* v = in.GetParam(i);
    if (!v) return nullptr;
    if (!v->IsModule() || v->IsArray()) in.ReportBadParam(i, v, "const BinCode*");
    return v->GetModule();
  }
};
template <>
struct param<BinCode*> {
  using stored = BinCode*;
  static BinCode* get(t_Interface& in, int i) {
    Var* v = in.GetParam(i);
    if (!v) return nullptr;
    if (!v->IsModule() || v->IsArray()) in.ReportBadParam(i, v, "BinCode*");
    return v->GetModule();
  }
};
// A thread argument; the expected text is the one scripts have always seen.
template <>
struct param<Thread*> {
  using stored = Thread*;
  static Thread* get(t_Interface& in, int i) {
    Var* v = in.GetParam(i);
    if (!v) return nullptr;
    if (!v->IsThread() || v->IsArray()) in.ReportBadParam(i, v, "BinCode*");
    return v->GetThreadObject();
  }
};
template <>
struct param<Var*> {
  using stored = Var*;
  static Var* get(t_Interface& in, int i) { return in.GetParam(i); }
};
template <>
struct param<const Var*> {
  using stored = const Var*;
  static const Var* get(t_Interface& in, int i) { return in.GetParam(i); }
};
template <>
struct param<Var> {
  using stored = Var;
  static Var get(t_Interface& in, int i) {
    Var* v = in.GetParam(i);
    return v ? Var(*v) : Var();
  }
};
template <>
struct param<t_Interface&> {
  using stored = t_Interface*;
  static t_Interface* get(t_Interface& in, int) { return &in; }
};

template <class T>
inline T& unstore(T& v) {
  return v;
}
inline t_Interface& unstore(t_Interface*& v) { return *v; }

// ---- result wrapping
inline void wrap(Var& out, bool b) { out.SetBool(b); }
inline void wrap(Var& out, int i) { out.SetInt(i); }
inline void wrap(Var& out, float f) { out.SetFloat(f); }
inline void wrap(Var& out, const char* text) { out.SetString(text ? text : ""); }
inline void wrap(Var& out, const BinCode* m) { out.SetModule(const_cast<BinCode*>(m)); }
inline void wrap(Var& out, BinCode* m) { out.SetModule(m); }
inline void wrap(Var& out, Thread* t) {
  if (t)
    out.SetThreadRef(t);
  else
    out.SetThread(nullptr);
}
inline void wrap(Var& out, const Var& v) { out.Assign(v); }

// The script argument native parameter k reads: a t_Interface& parameter stands for the whole
// call and takes none, so the parameters after it read from the first argument on.
template <class... A>
constexpr int ScriptArgument(std::size_t k) {
  constexpr bool isCall[] = {std::is_same_v<A, t_Interface&>..., false};
  int index = 0;
  for (std::size_t i = 0; i < k; ++i) index += isCall[i] ? 0 : 1;
  return index;
}

template <class Sig>
class function_adapter;

template <class R, class... A>
class function_adapter<R (*)(A...)> final : public function_adapter_base {
 public:
  using Sig = R (*)(A...);
  explicit function_adapter(Sig fn) : m_fn(fn) {}

  void Call(t_Interface& in, Var& out) override {
    std::tuple<typename param<A>::stored...> args;
    Convert(in, args, std::index_sequence_for<A...>{});
    Invoke(args, out, std::index_sequence_for<A...>{});
  }

 private:
  template <class Tuple, std::size_t... I>
  static void Convert(t_Interface& in, Tuple& args, std::index_sequence<I...>) {
    constexpr std::size_t n = sizeof...(I);
    // The comma fold runs left to right: indices n-1 down to 0.
    (void)in;
    (void)args;
    ((std::get<n - 1 - I>(args) =
          param<std::tuple_element_t<n - 1 - I, std::tuple<A...>>>::get(in, ScriptArgument<A...>(n - 1 - I))),
     ...);
  }
  template <class Tuple, std::size_t... I>
  void Invoke(Tuple& args, Var& out, std::index_sequence<I...>) {
    (void)args;
    if constexpr (std::is_void_v<R>) {
      m_fn(unstore(std::get<I>(args))...);
    } else {
      wrap(out, m_fn(unstore(std::get<I>(args))...));
    }
  }

  Sig m_fn;
};

template <class R, class... A>
function_adapter_base* MakeAdapter(R (*fn)(A...)) {
  using Adapter = function_adapter<R (*)(A...)>;
  return KeepAdapter(new Adapter(fn), [](function_adapter_base* a) { delete static_cast<Adapter*>(a); });
}

}  // namespace KRX::detail

namespace KRX {

// Binds the native function fn under name (see RegisterFunction in Interface.h).
template <class R, class... A>
bool RegisterFunction(Module& module, const char* name, R (*fn)(A...)) {
  return RegisterFunction(module, name, detail::MakeAdapter(fn));
}
template <class R, class... A>
bool RegisterFunction(BinCode* module, const char* name, R (*fn)(A...)) {
  return RegisterFunction(module, name, detail::MakeAdapter(fn));
}

}  // namespace KRX
