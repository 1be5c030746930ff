// The crash handler object over the platform's crash signals.
#include "win32dx9/ExceptionHandler.h"

#include <cstdlib>

#include "base/system.h"
#include "platform/os/CrashHandler.h"
#include "win32dx9/Services.h"

namespace win32dx9 {

namespace {

constexpr size_t kReportNameRoom = 259;

}  // namespace

std::string cl_ExceptionHandler::DefaultReportName(const std::string& programPath) {
  const size_t slash = programPath.rfind('/');
  std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
  if (name.empty()) name = "quillane";
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && name.size() - dot - 1 >= 3) {
    name.replace(dot + 1, std::string::npos, "RPT");
  } else {
    name += ".RPT";
  }
  return name.substr(0, kReportNameRoom);
}

cl_ExceptionHandler::cl_ExceptionHandler()
    : m_reportName(DefaultReportName(platform::os::ProgramFilePath())) {
  if (!platform::os::InstallCrashHandler()) base::sys::Output("ERROR: the crash handler cannot be installed\n");
  PreparePaths();
}

cl_ExceptionHandler::~cl_ExceptionHandler() { platform::os::RemoveCrashHandler(); }

bool cl_ExceptionHandler::StartUp() {
  PreparePaths();
  return true;
}

void cl_ExceptionHandler::SetReportFile(const char* name) {
  m_reportName = std::string(name ? name : "").substr(0, kReportNameRoom);
  PreparePaths();
  base::sys::Output("Crash reports go to %s\n", m_reportPath.c_str());
}

void cl_ExceptionHandler::SetWriteGlobals(bool flag) {
  m_writeGlobals = flag;
  platform::os::SetCrashWriteGlobals(flag);
}

void cl_ExceptionHandler::PreparePaths() {
  const std::string folder = base::sys::GetUserDataPath().c_str();
  m_reportPath = folder + "/" + m_reportName;
  m_dumpPath = folder + "/callstack.dmp";
  if (!platform::os::SetCrashReportPath(m_reportPath.c_str()) || !platform::os::SetCrashDumpPath(m_dumpPath.c_str()))
    base::sys::Output("ERROR: crash report path '%s' is too long; the old one is kept\n", m_reportPath.c_str());
  const char* chosen = std::getenv("QUILLANE_SYMBOLIZER");
  const std::string symbolizer = chosen ? std::string(chosen) : platform::os::DefaultSymbolizerPath();
  platform::os::SetCrashSymbolizer(symbolizer.c_str());
}

i_ExceptionHandler* GetExceptionHandler() {
  static cl_ExceptionHandler handler;
  return &handler;
}

void RegisterExceptionHandler() {
  GetExceptionHandler();
  st_PlatformServices& services = PlatformServices();
  services.CrashHandlerStartUp = [] { return GetExceptionHandler()->StartUp(); };
  services.CrashHandlerSetReportFile = [](const char* name) { GetExceptionHandler()->SetReportFile(name); };
  services.CrashHandlerShutDown = [] { return GetExceptionHandler()->ShutDown(); };
}

}  // namespace win32dx9
