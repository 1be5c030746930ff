// The argument readers, the error report and the calling thread of native script calls.
#include "quillane/script/ScriptHost.h"

#include <cstdarg>

#include "KRX/BinCode.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/Thread.h"
#include "base/String.h"
#include "base/system.h"

namespace script {

namespace {

// The argument when it is present; the reader then decides whether its type is accepted.
const KRX::Var* Arg(KRX::t_Interface& in, int k) { return in.GetParam(k - 1); }

void WrongParameter(KRX::t_Interface& in, int k, bool report, const char* expected) {
  if (report) ReportError(in, "wrong parameter %d - '%s' expected.", k, expected);
}

}  // namespace

int GetArgInt(KRX::t_Interface& in, int k, int def, bool report) {
  const KRX::Var* v = Arg(in, k);
  if (v && v->IsNumber()) return v->ToInt();
  WrongParameter(in, k, report, "integer");
  return def;
}

float GetArgFloat(KRX::t_Interface& in, int k, float def, bool report) {
  const KRX::Var* v = Arg(in, k);
  if (v && v->IsNumber()) return v->ToFloat();
  WrongParameter(in, k, report, "float");
  return def;
}

bool GetArgBool(KRX::t_Interface& in, int k, bool def, bool report) {
  const KRX::Var* v = Arg(in, k);
  if (v && v->IsBool()) return v->ToBool();
  WrongParameter(in, k, report, "boolean");
  return def;
}

const char* GetArgString(KRX::t_Interface& in, int k, const char* def, bool report) {
  const KRX::Var* v = Arg(in, k);
  if (v && v->IsString()) return v->GetString();
  WrongParameter(in, k, report, "string");
  return def;
}

void ReportError(KRX::t_Interface& in, const char* format, ...) {
  base::String message;  // exactly as long as the formatted text
  va_list args;
  va_start(args, format);
  message.vprint(format, args);
  va_end(args);

  if (KRX::ScriptSystem::GetDebugger()) {
    const char* file = "";
    int line = -1;
    if (const KRX::Frame* frame = in.m_thread ? in.m_thread->GetCurrentFrame() : nullptr) {
      const char* name = frame->m_function ? KRX::GetFileName(frame->m_function) : nullptr;
      file = name ? name : "";
      line = frame->m_line;
    }
    KRX::ReportFileError(file, line, "%s", message.c_str());
  } else {
    base::sys::Output("%s", message.c_str());
  }
}

KRX::Thread* GetCallingThread(const KRX::t_Interface* in) {
  if (in && in->m_thread) return in->m_thread;
  return KRX::ScriptSystem::GetCurrentThread();
}

}  // namespace script
