#include "KRX/runtime/Builtins.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/Interpreter/DebugHooks.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/Types.h"
#include "KRX/runtime/function_adapter.h"
#include "base/String.h"

namespace KRX {

namespace {

// ---- helpers

const Frame* CallerFrame(const t_Interface& in) { return in.m_thread ? in.m_thread->GetCurrentFrame() : nullptr; }

// Reports with the calling frame's module file and line.
void Report(const t_Interface& in, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Report(const t_Interface& in, const char* format, ...) {
  const Frame* frame = CallerFrame(in);
  const char* file = frame ? GetSymbolText(frame->m_module.get(), "~file") : nullptr;
  va_list args;
  va_start(args, format);
  VReportFileError(file, frame ? frame->m_line : -1, format, args);
  va_end(args);
}

std::string JoinText(const t_Interface& in, int from) {
  std::string text;
  for (int i = from; i < in.m_argCount; ++i) {
    const Var* v = in.GetParam(i);
    if (v) text += v->ToText().c_str() ? v->ToText().c_str() : "";
  }
  return text;
}

bool IsText(const Var* v) { return v && !v->IsArray() && v->IsString(); }

Var Bool(bool b) { return Var(b); }
Var Int(int i) { return Var(i); }

Thread* ThreadArg(const t_Interface& in, int i) {
  const Var* v = in.GetParam(i);
  return v && !v->IsArray() ? v->GetThreadObject() : nullptr;
}

BinCode* ModuleArg(const t_Interface& in, int i) {
  const Var* v = in.GetParam(i);
  return v && !v->IsArray() ? v->GetModule() : nullptr;
}

const char* TextArg(const t_Interface& in, int i) {
  const Var* v = in.GetParam(i);
  return IsText(v) ? v->GetString() : nullptr;
}

Var ThreadValue(Thread* thread) {
  Var v;
  if (thread) v.SetThreadRef(thread);
  return v;
}

// ---- assertions and debugging

Var Assert(t_Interface& in) {
  const Var* condition = in.GetParam(0);
  if (!condition || condition->IsArray() || !condition->IsBool()) {
    Report(in, "assert value is not bool");
    return Bool(false);
  }
  Thread* thread = in.m_thread;
  if (thread) ++thread->m_assertCount;
  if (condition->ToBool()) return Bool(true);
  if (thread) ++thread->m_assertFailures;
  Report(in, "ASSERT \"%s\"", JoinText(in, 1).c_str());
  if (const st_DebugHooks* hooks = GetActiveDebugHooks(); hooks && hooks->assertFailed) hooks->assertFailed();
  return Bool(false);
}

Var AssertThrown(t_Interface& in) { return Int(in.m_thread ? in.m_thread->m_assertFailures : 0); }
Var AssertCount(t_Interface& in) { return Int(in.m_thread ? in.m_thread->m_assertCount : 0); }

Var Debugout(t_Interface& in) {
  if (ScriptSystem::OutputCallback out = ScriptSystem::GetOutputCallback()) out(JoinText(in, 0).c_str());
  return Var();
}

Var DebugPC(t_Interface& in) {
  const Frame* frame = CallerFrame(in);
  return Int(frame ? int(frame->m_position) : -1);
}

Var DebugStackpos(t_Interface& in) {
  const Frame* frame = CallerFrame(in);
  return Int(frame ? int(frame->m_stackCount) : -1);
}

// ---- thread control

Var Stop(t_Interface& in) {
  if (in.m_thread) in.m_thread->Return(in.GetParam(0));
  return Var();
}

Var Sleep(t_Interface& in) {
  const Var* seconds = in.GetParam(0);
  float s = 0.0f;
  if (seconds && !seconds->GetFloat(s)) in.ReportBadParam(0, seconds, "float");
  if (in.m_thread) in.m_thread->Sleep(s);
  return Var();
}

Var Pause(t_Interface& in) {
  if (in.m_thread) in.m_thread->Pause();
  return Var();
}

// ---- types and conversions

Var TypeName(t_Interface& in) {
  const Var* v = in.GetParam(0);
  if (!v) return Var("nil");
  if (IsText(v)) return Var("string");
  return Var(GetTypeName(v->Deref()->GetType()));
}

Var Type(t_Interface& in) {
  const Var* v = in.GetParam(0);
  if (!v) return Int(0);
  if (IsText(v)) return Int(VT_STRING);
  return Int(v->Deref()->GetType());
}

Var tostring(t_Interface& in) {
  const Var* v = in.GetParam(0);
  if (!v) return Var();
  if (IsText(v)) return Var(v->GetString() ? v->GetString() : "");
  return Var(v->ToText().c_str() ? v->ToText().c_str() : "");
}

Var tofloat(t_Interface& in) {
  const Var* v = in.GetParam(0);
  if (!v) return Var(0.0f);
  if (IsText(v)) {
    Var number;
    if (!ParseNumberLiteral(v->GetString(), number)) return Var(0.0f);
    return Var(number.ToFloat());
  }
  return Var(v->ToFloat());
}

Var toint(t_Interface& in) {
  const Var* v = in.GetParam(0);
  if (!v) return Int(0);
  if (IsText(v)) {
    Var number;
    if (!ParseNumberLiteral(v->GetString(), number)) return Int(0);
    if (!number.IsFloat()) return Int(number.ToInt());
    // Saturated: a float outside the int range has no int value to truncate to.
    const float f = number.ToFloat();
    if (!(f > -2147483648.0f)) return Int(f != f ? 0 : INT32_MIN);
    if (f >= 2147483648.0f) return Int(INT32_MAX);
    return Int(int(f));
  }
  return Int(v->ToInt());
}

Var tobool(t_Interface& in) {
  const Var* v = in.GetParam(0);
  return Bool(v ? v->ToBool() : false);
}

// ---- arrays

Var SetSize(t_Interface& in) {
  if (in.m_argCount < 2) {
    Report(in, "SetSize must be called at least with two parameters");
    return Bool(false);
  }
  if (!in.m_args[0].IsReference() || !in.m_args[0].GetReference()) {
    Report(in, "SetSize: LValue expected as first parameter");
    return Bool(false);
  }
  Var* target = in.m_args[0].Deref();
  if (target->IsAuto() && !target->HasArrayFlag()) target->SetArrayType(TYPE_AUTO);
  if (!target->HasArrayFlag()) {
    Report(in, "SetSize expected an array as first argument");
    return Bool(false);
  }
  const Var* size = in.GetParam(1);
  if (!size || size->IsArray() || !size->IsNumber()) {
    Report(in, "SetSize expected a size value as second argument");
    return Bool(false);
  }
  // A negative or absurd size is a script error, not an allocation.
  const int n = size->ToInt();
  if (n < 0 || n > Var::kMaxArraySize || !target->SetSize(n)) {
    Report(in, "SetSize: invalid size %d", n);
    return Bool(false);
  }
  return Bool(true);
}

Var GetSize(t_Interface& in) {
  if (in.m_argCount != 1) {
    Report(in, "GetSize must be called with an array");
    return Int(0);
  }
  const Var* array = in.m_args[0].Deref();
  if (!array->HasArrayFlag()) {
    Report(in, "GetSize: LValue expected as first parameter");
    return Int(0);
  }
  return Int(array->GetArraySize());
}

// ---- modules

Var IncludeBuiltin(t_Interface& in) {
  if (in.m_argCount != 1) {
    Report(in, "Include must be called with one parameter");
    return Bool(false);
  }
  return Bool(Include(CallerFrame(in), TextArg(in, 0)));
}

Var IncludeAllBuiltin(t_Interface& in) {
  if (in.m_argCount != 1) {
    Report(in, "Include must be called with one parameter");
    return Bool(false);
  }
  return Bool(IncludeAll(CallerFrame(in), TextArg(in, 0)));
}

Var GetGlobalVar(t_Interface& in) {
  BinCode* module = nullptr;
  const char* name = nullptr;
  if (in.m_argCount >= 2) {
    module = ModuleArg(in, 0);
    name = TextArg(in, 1);
  } else {
    name = TextArg(in, 0);
  }
  if (!module) module = ScriptSystem::GetRoot();
  const Var* v = module && name ? module->Find(name) : nullptr;
  Var out;
  if (v) out.AssignOwned(*v);
  return out;
}

Var ModuleGetName(t_Interface& in) {
  const char* name = GetModuleName(ModuleArg(in, 0));
  return name ? Var(name) : Var();
}

Var ModuleGetBuiltin(t_Interface& in) {
  Var out;
  out.SetModule(ModuleGet(TextArg(in, 0)));
  return out;
}

Var ModuleGetThis(t_Interface& in) {
  const Frame* frame = CallerFrame(in);
  Var out;
  out.SetModule(frame ? frame->m_function : nullptr);
  return out;
}

Var ModuleGetParent(t_Interface& in) {
  Var out;
  out.SetModule(GetParent(ModuleArg(in, 0)));
  return out;
}

Var ModuleSaveAllBuiltin(t_Interface& in) {
  const char* folder = TextArg(in, 0);
  ModuleSaveAll(folder ? folder : "");
  return Var();
}

Var InitLibary(t_Interface& in) { return Bool(ScriptSystem::InitLibrary(TextArg(in, 0))); }

// ---- threads

Var ThreadCreate(t_Interface& in) {
  const Var* function = in.GetParam(0);
  BinCode* module = function && !function->IsArray() ? function->GetModule() : nullptr;
  if (!module) in.ReportBadParam(0, function, "BinCode");
  ScriptSystem::CheckThreadRoom();
  tRefPtr<Thread> thread(new Thread());
  const int n = in.m_argCount;
  // The arguments are built in the thread's own block (a start without arguments keeps it), so
  // that the thread value among them is made once, not made and copied.
  Var* args = NewVarArray(n);
  if (!args) return Var();
  args[0].SetThreadRef(thread.get());
  for (int i = 1; i < n; ++i) args[i].AssignOwned(*in.GetParam(i));
  thread->m_args = args;
  thread->m_argCount = n;
  if (!thread->StartFunction(module, nullptr, 0)) {
    // Its first argument names the thread itself: without this the two would keep each other.
    thread->m_args = nullptr;
    thread->m_argCount = 0;
    DeleteVarArray(args);
    return Var();
  }
  return ThreadValue(thread.get());
}

Var ThreadIsRunning(t_Interface& in) {
  Thread* thread = ThreadArg(in, 0);
  return Bool(thread && thread->GetState() > Thread::STATE_FINISHED);
}

Var ThreadGetReturnValue(t_Interface& in) {
  Thread* thread = ThreadArg(in, 0);
  Var out;
  if (thread && thread->GetState() == Thread::STATE_FINISHED) out.AssignOwned(thread->GetReturnValue());
  return out;
}

Var ThreadSetValue(t_Interface& in) {
  Thread* thread = ThreadArg(in, 0);
  const char* name = TextArg(in, 1);
  if (!thread || !name || !*name) return Bool(false);
  const Var* value = in.GetParam(2);
  Var& slot = thread->m_variables[name];
  if (value)
    slot.AssignOwned(*value);
  else
    slot = Var();
  return Bool(true);
}

Var ThreadGetValue(t_Interface& in) {
  Thread* thread = ThreadArg(in, 0);
  const char* name = TextArg(in, 1);
  Var out;
  if (!thread || !name) return out;
  auto it = thread->m_variables.find(std::string_view(name));
  if (it != thread->m_variables.end()) out.AssignOwned(it->second);
  return out;
}

Var ThreadStop(t_Interface& in) {
  if (Thread* thread = ThreadArg(in, 0)) thread->Return(in.GetParam(1));
  return Var();
}

Var ThreadSleep(t_Interface& in) {
  Thread* thread = ThreadArg(in, 0);
  const Var* seconds = in.GetParam(1);
  if (thread) thread->Sleep(seconds ? seconds->ToFloat() : 0.0f);
  return Var();
}

// Whether thread's first frame runs a function of the same "~f" name in a module of the same
// "~m" name as function.
bool RunsFunction(const Thread* thread, const BinCode* function) {
  const Frame* first = thread ? thread->m_frames[0] : nullptr;
  if (!first || !first->m_function || thread->m_frameIndex < 0) return false;
  const char* f1 = GetFunctionName(first->m_function);
  const char* f2 = GetFunctionName(function);
  const char* m1 = GetModuleName(first->m_function);
  const char* m2 = GetModuleName(function);
  auto same = [](const char* a, const char* b) { return std::strcmp(a ? a : "", b ? b : "") == 0; };
  return same(f1, f2) && same(m1, m2);
}

Var ThreadGetCount(t_Interface& in) {
  BinCode* function = ModuleArg(in, 0);
  if (!function) return Int(-1);
  int n = 0;
  for (const tRefPtr<Thread>& t : ScriptSystem::GetThreads())
    if (RunsFunction(t.get(), function)) ++n;
  return Int(n);
}

Var ThreadGet(t_Interface& in) {
  BinCode* function = ModuleArg(in, 0);
  const Var* indexArg = in.GetParam(1);
  int index = indexArg ? indexArg->ToInt() : 0;
  if (!function) return Var();
  for (const tRefPtr<Thread>& t : ScriptSystem::GetThreads())
    if (RunsFunction(t.get(), function) && index-- == 0) return ThreadValue(t.get());
  return Var();
}

Var ThreadGetThis(t_Interface& in) { return ThreadValue(in.m_thread); }

}  // namespace

bool ParseNumberLiteral(const char* text, Var& out) {
  if (!text) return false;
  const char* p = text;
  int base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  } else if (p[0] == '0' && (p[1] == 'b' || p[1] == 'B')) {
    base = 2;
    p += 2;
  }
  auto digit = [base](char c) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (c >= 'a' && c <= 'z') d = c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') d = c - 'A' + 10;
    return d >= 0 && d < base ? d : -1;
  };
  // In double precision: a text past 32 bits keeps its value as a float, which toint saturates.
  double whole = 0.0;
  int digits = 0;
  for (; digit(*p) >= 0; ++p, ++digits) whole = whole * base + digit(*p);
  if (digits == 0) return false;
  if (*p == '.') {
    ++p;
    double fraction = 0.0, weight = 1.0 / base;
    for (; digit(*p) >= 0; ++p, weight /= base) fraction += digit(*p) * weight;
    if (*p == 'f') ++p;
    out.SetFloat(float(whole + fraction));
    return true;
  }
  const char c = *p;
  if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return false;
  if (whole > 4294967295.0)
    out.SetFloat(float(whole));
  else
    out.SetInt(int32_t(uint32_t(whole)));
  return true;
}

detail::function_adapter_base* SleepAdapter() {
  static detail::function_adapter_base* const adapter = detail::MakeAdapter(&Sleep);
  return adapter;
}

void RegisterBuiltins(BinCode* root) {
  if (!root) return;
  struct st_Builtin {
    const char* name;
    Var (*fn)(t_Interface&);
  };
  // ORDER BUILTIN: the registration order scripts and the debugger see.
  static const st_Builtin kBuiltins[] = {
      {"Assert", Assert},
      {"AssertThrown", AssertThrown},
      {"AssertCount", AssertCount},
      {"Debugout", Debugout},
      {"DebugPC", DebugPC},
      {"DebugStackpos", DebugStackpos},
      {"Stop", Stop},
      {"Sleep", Sleep},
      {"Pause", Pause},
      {"TypeName", TypeName},
      {"Type", Type},
      {"tostring", tostring},
      {"tofloat", tofloat},
      {"toint", toint},
      {"tobool", tobool},
      {"SetSize", SetSize},
      {"GetSize", GetSize},
      {"Include", IncludeBuiltin},
      {"IncludeAll", IncludeAllBuiltin},
      {"GetGlobalVar", GetGlobalVar},
      {"ModuleGetName", ModuleGetName},
      {"ModuleGet", ModuleGetBuiltin},
      {"ModuleGetThis", ModuleGetThis},
      {"ModuleGetParent", ModuleGetParent},
      {"ModuleSaveAll", ModuleSaveAllBuiltin},
      {"InitLibary", InitLibary},
      {"ThreadCreate", ThreadCreate},
      {"ThreadIsRunning", ThreadIsRunning},
      {"ThreadGetReturnValue", ThreadGetReturnValue},
      {"ThreadSetValue", ThreadSetValue},
      {"ThreadGetValue", ThreadGetValue},
      {"ThreadStop", ThreadStop},
      {"ThreadSleep", ThreadSleep},
      {"ThreadGetCount", ThreadGetCount},
      {"ThreadGet", ThreadGet},
      {"ThreadGetThis", ThreadGetThis},
  };
  static_assert(sizeof(kBuiltins) / sizeof(kBuiltins[0]) == 36, "36 built-in functions");
  for (const st_Builtin& b : kBuiltins) {
    if (b.fn == &Sleep)
      RegisterFunction(root, b.name, SleepAdapter());
    else
      RegisterFunction(root, b.name, b.fn);
  }
  static const char* const kTypeKeywords[] = {"int", "float", "string", "bool", "func", "bind", "void", "thread", "auto"};
  for (const char* keyword : kTypeKeywords) {
    const std::string name = std::string("type_") + keyword;
    Var* v = root->FindOrCreate(name.c_str(), 0);
    v->SetType(TYPE_AUTO);
    v->SetInt(TypeCodeFromName(keyword));
  }
}

void detail::InitRootModule() {
  RegisterBuiltins(ScriptSystem::GetRoot());
  Thread::SetScriptLoader([](const char* path) { return LoadScript(path, true); });
}

}  // namespace KRX
