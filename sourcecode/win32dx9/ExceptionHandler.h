// The crash handler: one process-wide object that catches the faults nothing else handles and
// writes "callstack.dmp" and the crash report into the user data folder before the process
// ends. The platform starts it, names the report "crash.log" and shuts it down.
#pragma once

#include <string>

namespace win32dx9 {

class i_ExceptionHandler {
 public:
  virtual bool StartUp() = 0;   // true; the paths are prepared again (the user folder is set by now)
  virtual bool ShutDown() = 0;  // true; the handler stays in place to the end of the process
  // The report's file name inside the user data folder (at most 259 characters are kept).
  virtual void SetReportFile(const char* name) = 0;
  // Whether the report ends with the program's global variables (the dump then carries the
  // program's data for the symboliser to read them from).
  virtual void SetWriteGlobals(bool flag) = 0;
  virtual ~i_ExceptionHandler() = default;
};

class cl_ExceptionHandler final : public i_ExceptionHandler {
 public:
  // Installs the signal handlers; the report name is the program's base name with "RPT" as its
  // extension until SetReportFile is called.
  cl_ExceptionHandler();
  // Puts the handlers from before back.
  ~cl_ExceptionHandler() override;

  bool StartUp() override;
  bool ShutDown() override { return true; }
  void SetReportFile(const char* name) override;
  void SetWriteGlobals(bool flag) override;

  const std::string& GetReportName() const { return m_reportName; }
  bool GetWriteGlobals() const { return m_writeGlobals; }
  // The full paths the handler writes to, as last prepared.
  const std::string& GetReportPath() const { return m_reportPath; }
  const std::string& GetDumpPath() const { return m_dumpPath; }

  // The program's base name with the characters after its last "." replaced by "RPT" when
  // there are at least three of them, else with ".RPT" added.
  static std::string DefaultReportName(const std::string& programPath);

 private:
  // Joins the user data folder with the report and dump names and hands the paths and the
  // symboliser (QUILLANE_SYMBOLIZER, else the one beside the program) to the signal handler.
  void PreparePaths();

  std::string m_reportName;
  std::string m_reportPath;
  std::string m_dumpPath;
  bool m_writeGlobals = true;
};

// The one handler, installed on the first call.
i_ExceptionHandler* GetExceptionHandler();

// Installs the handler and fills the crash entries of PlatformServices() with it.
void RegisterExceptionHandler();

}  // namespace win32dx9
