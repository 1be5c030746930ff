// The crash handler end to end: crash_probe fails in a child process in each of the ways the
// handler names, and the report (with the variables the symboliser reads from the dump), the
// dump and the way the child ended are checked. Also the pieces the handler relies on: the names
// of faults, modules found in a maps text, the default report name and the dump reader's refusal
// of damaged files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/CrashDump.h"
#include "platform/os/CrashReport.h"
#include "support/ChildProcess.h"
#include "support/ScratchFolder.h"
#include "win32dx9/ExceptionHandler.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The line of text that contains needle; empty when none does.
std::string LineWith(const std::string& text, const std::string& needle) {
  const size_t at = text.find(needle);
  if (at == std::string::npos) return std::string();
  const size_t start = text.rfind('\n', at);
  const size_t end = text.find('\n', at);
  return text.substr(start == std::string::npos ? 0 : start + 1, end == std::string::npos ? end : end - start - 1);
}

// The lines of the frame whose line names function, in the section that starts at from: the
// frame line and its variables, up to the blank line after them.
std::string FrameBlock(const std::string& text, size_t from, const std::string& function) {
  const size_t at = text.find(function, from);
  if (at == std::string::npos) return std::string();
  const size_t start = text.rfind('\n', at) + 1;
  const size_t end = text.find("\r\n\r\n", at);
  return text.substr(start, end == std::string::npos ? end : end + 2 - start);
}

class TempFolder {
 public:
  TempFolder() : m_path(testsupport::MakeScratchFolder("quillane_crash")) {}
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  const fs::path& path() const { return m_path; }

 private:
  fs::path m_path;
};

// The probe's command: the user folder set, the sanitizers' own fault handling off and no core
// file; the environment gains extra ("NAME=value" entries). stderr goes to errorFile when one is
// named.
testsupport::st_Command ProbeCommand(const char* fault, const fs::path& folder,
                                     const std::vector<std::string>& extra = {}, const fs::path& errorFile = {}) {
  const char* handlers = "handle_segv=0:handle_sigbus=0:handle_abort=0:handle_sigfpe=0:handle_sigill=0:handle_sigtrap=0";
  testsupport::st_Command command{
      .args = {QUILLANE_CRASH_PROBE, fault},
      .env = {std::string("ASAN_OPTIONS=") + handlers + ":allow_user_segv_handler=1:detect_leaks=0",
              std::string("UBSAN_OPTIONS=") + handlers, "QUILLANE_USER_DIR=" + folder.string(), "QUILLANE_SYMBOLIZER"},
      .err = errorFile.empty() ? "/dev/null" : errorFile.string(),  // the report's console echo
      .prepare = [] {
        const rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
      }};
  command.env.insert(command.env.end(), extra.begin(), extra.end());
  return command;
}

pid_t StartProbe(const char* fault, const fs::path& folder, const std::vector<std::string>& extra = {},
                 const fs::path& errorFile = {}) {
  return testsupport::Start(ProbeCommand(fault, folder, extra, errorFile));
}

using testsupport::Wait;

using testsupport::WaitAtMost;
// A crash or a symboliser run that has not ended by then hangs (a minute on a quiet machine,
// scaled by the load): only that is caught, never a slow one.
constexpr int kHangMs = 60000;

struct st_Fault {
  const char* argument;
  int signal;
  const char* code;      // the report's "Exception code:" text
  const char* function;  // the probe function the call stack must name
};

const st_Fault kFaults[] = {
    {"null", SIGSEGV, "C0000005 ACCESS_VIOLATION", "ProbeNullWrite"},
    {"divide", SIGFPE, "C0000094 INT_DIVIDE_BY_ZERO", "ProbeDivide"},
    {"overflow", SIGSEGV, "C00000FD STACK_OVERFLOW", "ProbeRecurse"},
    {"abort", SIGABRT, "00000006 Aborted", "ProbeAbort"},
    {"illegal", SIGILL, "C000001D ILLEGAL_INSTRUCTION", "ProbeIllegal"},
    {"breakpoint", SIGTRAP, "80000003 BREAKPOINT", "ProbeBreakpoint"},
    {"thread", SIGSEGV, "C0000005 ACCESS_VIOLATION", "ProbeThreadFault"},
};

TEST(CrashReport, EveryFaultIsReportedWithRegistersAndSourceLinesAndEndsTheProbe) {
  // All probes at once: each writes into a folder of its own.
  std::vector<TempFolder> folders(std::size(kFaults));
  std::vector<pid_t> children;
  // An older, longer report is there before the first fault.
  std::ofstream(folders[0].path() / "crash.log") << std::string(200000, '~');
  for (size_t i = 0; i < std::size(kFaults); ++i) children.push_back(StartProbe(kFaults[i].argument, folders[i].path()));

  for (size_t i = 0; i < std::size(kFaults); ++i) {
    const st_Fault& f = kFaults[i];
    SCOPED_TRACE(f.argument);
    const int status = Wait(children[i]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), f.signal);

    const std::string report = ReadText(folders[i].path() / "crash.log");
    EXPECT_EQ(report.rfind("//=====================================================\r\n", 0), 0u) << report;
    EXPECT_NE(report.find(std::string("Exception code: ") + f.code + "\r\n"), std::string::npos) << report;
    for (const char* reg : {"RAX:", "RBX:", "R15:", "CS:RIP:", "SS:RSP:", "Flags:", "Fault address:  "})
      EXPECT_NE(report.find(reg), std::string::npos) << reg;
    const std::string frame = LineWith(report, f.function);
    EXPECT_NE(frame.find("crash_probe.cpp line "), std::string::npos) << report;
    EXPECT_NE(frame.find("crash_probe+"), std::string::npos) << frame;
    EXPECT_EQ(report.find('~'), std::string::npos) << "a tail of the older report survived";

    platform::os::CrashDump dump;
    std::string error;
    ASSERT_TRUE(platform::os::ReadCrashDump((folders[i].path() / "callstack.dmp").string(), dump, error)) << error;
    EXPECT_EQ(dump.header.signal, f.signal);
    EXPECT_EQ(dump.header.processId, children[i]);
    EXPECT_EQ(dump.registers.size(), 23u);
    ASSERT_FALSE(dump.frames.empty());
    EXPECT_EQ(dump.frames[0].registers[platform::os::kCrashRegisterIp], dump.registers[REG_RIP]);
    EXPECT_NE(dump.maps.find("crash_probe"), std::string::npos);
    EXPECT_LE(dump.stack.size(), platform::os::kCrashDumpMaxStack);
    if (std::strcmp(f.argument, "overflow") != 0) {
      EXPECT_GT(dump.stack.size(), 0u);
    }
  }
}

// The symboliser reads the dump: the faulting frame's parameters and locals, its caller's local
// and the program's globals stand in the report with the values they held.
TEST(CrashReport, FramesShowTheirVariablesAndTheProgramItsGlobals) {
#ifdef __clang__
  // The symboliser reads the variable locations GCC writes, the game's compiler; clang's (under
  // AddressSanitizer, in registers and indexed tables) it does not. The release build runs this.
  GTEST_SKIP() << "the probe was built by clang";
#endif
  TempFolder folder, plainFolder;
  const pid_t child = StartProbe("locals", folder.path());
  const pid_t plainChild = StartProbe("locals-noglobals", plainFolder.path());
  ASSERT_TRUE(WIFSIGNALED(Wait(child)));
  ASSERT_TRUE(WIFSIGNALED(Wait(plainChild)));

  const std::string report = ReadText(folder.path() / "crash.log");
  const size_t locals =
      report.find("\r\n========================\r\nLocal Variables And Parameters\r\n\r\nCall stack:\r\n");
  ASSERT_NE(locals, std::string::npos) << report;
  const std::string frame = FrameBlock(report, locals, "ProbeLocals(");
  EXPECT_NE(frame.find("crash_probe.cpp line "), std::string::npos) << frame;
  EXPECT_NE(frame.find("\tLocal 'marker' volatile int = 5EED1234\r\n"), std::string::npos) << frame;
  EXPECT_NE(frame.find("\tLocal 'ratio' volatile double = 2.500000\r\n"), std::string::npos) << frame;
  EXPECT_NE(frame.find("\tParameter 'depth' int = 3\r\n"), std::string::npos) << frame;
  const std::string caller = FrameBlock(report, locals, "ProbeLocalsCaller(");
  EXPECT_NE(caller.find("\tLocal 'outer' volatile int = 4D\r\n"), std::string::npos) << caller;
  const size_t globals = report.find("========================\r\nGlobal Variables\r\n", locals);
  ASSERT_NE(globals, std::string::npos) << report;
  EXPECT_NE(report.find("\t'g_probeCounter' int = 2B\r\n", globals), std::string::npos) << report.substr(globals);
  EXPECT_NE(report.find("\t'g_probeLabel' const char* = \"ferry\"\r\n", globals), std::string::npos);
  EXPECT_NE(report.find("\t'g_probeSeries' int[3] = {5, 6, 7}\r\n", globals), std::string::npos);
  EXPECT_NE(report.find("\t'g_probePoint' st_ProbePoint\r\n\t\t'x' int = F\r\n\t\t'y' float = 0.500000\r\n", globals),
            std::string::npos);
  EXPECT_EQ(report.find(platform::os::kCrashVariablesLine), std::string::npos);

  // Without globals the dump carries no program data and the report ends after the frames.
  const std::string plain = ReadText(plainFolder.path() / "crash.log");
  EXPECT_NE(plain.find("\tLocal 'marker' volatile int = 5EED1234\r\n"), std::string::npos) << plain;
  EXPECT_EQ(plain.find("Global Variables"), std::string::npos);
  platform::os::CrashDump dump;
  std::string error;
  ASSERT_TRUE(platform::os::ReadCrashDump((plainFolder.path() / "callstack.dmp").string(), dump, error)) << error;
  EXPECT_TRUE(dump.regions.empty());
  EXPECT_EQ(dump.header.flags & platform::os::kCrashDumpGlobals, 0u);
}

TEST(CrashReport, WithoutTheSymbolizerFramesKeepModuleOffsetAndRawName) {
  TempFolder folder;
  std::ofstream(folder.path() / "crash.log") << std::string(100000, '~');
  const int status = Wait(StartProbe("null", folder.path(), {"QUILLANE_SYMBOLIZER="}));
  ASSERT_TRUE(WIFSIGNALED(status));
  const std::string report = ReadText(folder.path() / "crash.log");
  EXPECT_EQ(report.find('~'), std::string::npos) << "the report was not truncated";
  const std::string frame = LineWith(report, "ProbeNullWrite");
  EXPECT_NE(frame.find("_ZN12_GLOBAL__N_114ProbeNullWriteEv+"), std::string::npos) << report;
  EXPECT_NE(frame.find("crash_probe+"), std::string::npos) << frame;
  EXPECT_EQ(frame.find(" line "), std::string::npos) << frame;
  EXPECT_NE(report.find(platform::os::kCrashVariablesLine), std::string::npos) << report;
}

// The user folder is the user's: links planted under the report's, the dump's or the
// symboliser's temporary name are not followed, a FIFO does not hold the failing program, and
// what was not written is said on the console.
TEST(CrashReport, PlantedLinksAndFifosAreNeitherFollowedNorWaitedOn) {
  struct Case {
    const char* what;
    const char* fifo;                   // a FIFO under this name
    std::vector<const char*> links;     // links to files outside the folder under these names
    bool reportWritten;
  };
  const Case cases[] = {
      {"FIFO report", "crash.log", {"callstack.dmp"}, false},
      {"FIFO dump", "callstack.dmp", {"crash.log"}, false},
      {"linked temporary name", nullptr, {"crash.log.tmp"}, true},
      {"linked dump only", nullptr, {"callstack.dmp"}, true},
  };
  std::vector<TempFolder> folders(std::size(cases));
  TempFolder outside;
  std::vector<pid_t> children;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const fs::path& folder = folders[i].path();
    if (cases[i].fifo) {
      ASSERT_EQ(mkfifo((folder / cases[i].fifo).c_str(), 0644), 0);
    }
    for (const char* name : cases[i].links) {
      const fs::path target = outside.path() / (std::to_string(i) + name);
      std::ofstream(target) << "keep";
      fs::create_symlink(target, folder / name);
    }
    children.push_back(StartProbe("null", folder, {}, outside.path() / (std::to_string(i) + ".stderr")));
  }
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    const int status = WaitAtMost(children[i], kHangMs);
    ASSERT_NE(status, -1) << "the crash hangs: it has not ended after " << testsupport::ScaledMs(kHangMs) << " ms";
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    for (const char* name : c.links) EXPECT_EQ(ReadText(outside.path() / (std::to_string(i) + name)), "keep") << name;
    const fs::path report = folders[i].path() / "crash.log";
    const std::string console = ReadText(outside.path() / (std::to_string(i) + ".stderr"));
    if (c.reportWritten) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(report)));
      EXPECT_NE(LineWith(ReadText(report), "ProbeNullWrite").find("crash_probe.cpp line "), std::string::npos);
    } else {
      EXPECT_NE(console.find("ERROR: crash file '" + report.string() + "' not written: it is not a regular file"),
                std::string::npos)
          << console;
    }
    for (const char* name : c.links) {
      if (std::string(name) == "crash.log.tmp") continue;
      EXPECT_NE(console.find("ERROR: crash file '" + (folders[i].path() / name).string() + "' not written"),
                std::string::npos)
          << console;
    }
    // Only what the case planted stays beside the report: no fresh name is left behind.
    for (const auto& entry : fs::directory_iterator(folders[i].path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "crash.log" || name == "callstack.dmp" || name == "crash.log.tmp") << name;
    }
  }
}

// A crash on a full disk: neither file can be written whole. The complete files of an earlier
// crash stay as they were, no fresh name is left behind, and the console names each file not
// written and the cause. Once on a small file system of its own, filled up (a tmpfs in a private
// mount namespace, where the system allows one), once with every file write refused by a
// file-size limit.
TEST(CrashReport, OnAFullDiskTheCompleteOlderFilesStayAndTheCauseIsNamed) {
  const std::string oldReport = "//=====================================================\r\n" + std::string(20000, 'r');
  const std::string oldDump(200000, 'd');
  const auto plant = [&](const fs::path& folder) {
    std::ofstream(folder / "crash.log") << oldReport;
    std::ofstream(folder / "callstack.dmp") << oldDump;
  };
  // What stands in the folder after the crash, the file names joined by blanks.
  const auto listing = [](const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) text += name + " ";
    return text;
  };
  const auto expectKept = [&](const fs::path& folder, const fs::path& copies, const std::string& console,
                              const std::string& cause) {
    // Compared whole but not printed: a failure would show 200 kB.
    EXPECT_TRUE(ReadText(copies / "crash.log") == oldReport) << "the older report was replaced";
    EXPECT_TRUE(ReadText(copies / "callstack.dmp") == oldDump) << "the older dump was replaced";
    for (const char* name : {"callstack.dmp", "crash.log"})
      EXPECT_NE(console.find("ERROR: crash file '" + (folder / name).string() + "' not written: a write fell short (" +
                             cause + ")"),
                std::string::npos)
          << console;
  };

  {
    SCOPED_TRACE("full tmpfs");
    TempFolder folder, out;
    constexpr int kNoMount = 77;
    const pid_t helper = testsupport::ForkBound();
    ASSERT_GE(helper, 0);
    if (helper == 0) {
      if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=1m") != 0)
        _exit(kNoMount);
      plant(folder.path());
      const int filler = open((folder.path() / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      static const char block[4096] = {};
      while (filler >= 0 && write(filler, block, sizeof block) > 0) {
      }
      close(filler);
      const int status = Wait(StartProbe("null", folder.path(), {}, out.path() / "console"));
      // The mount goes with this process: what the parent checks is copied out first.
      std::ofstream(out.path() / "listing") << listing(folder.path());
      for (const char* name : {"crash.log", "callstack.dmp"}) {
        std::error_code ignored;
        fs::copy_file(folder.path() / name, out.path() / name, ignored);
      }
      _exit(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV ? 0 : 1);
    }
    const int status = Wait(helper);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kNoMount) {
      std::printf("no private tmpfs here (%s): the full disk is tried through the file-size limit only\n",
                  std::strerror(errno));
    } else {
      EXPECT_EQ(WEXITSTATUS(status), 0) << "the probe did not end by its fault";
      EXPECT_EQ(ReadText(out.path() / "listing"), "callstack.dmp crash.log filler ");
      expectKept(folder.path(), out.path(), ReadText(out.path() / "console"), "ENOSPC");
    }
  }
  {
    SCOPED_TRACE("file-size limit");
    TempFolder folder;
    plant(folder.path());
    testsupport::st_Command command = ProbeCommand("null", folder.path());
    command.err.clear();
    command.prepare = [noCore = command.prepare, full = testsupport::FileSizeLimit(0)] {
      noCore();
      full();
    };
    int status = 0;
    const std::string text = testsupport::Capture(command, testsupport::en_Capture::Err, &status);
    ASSERT_TRUE(WIFSIGNALED(status)) << text;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_EQ(listing(folder.path()), "callstack.dmp crash.log ");
    expectKept(folder.path(), folder.path(), text, "EFBIG");
  }
}

// The symboliser opens the report and the dump by name after the handler placed them: a link put
// under either name in between is not followed (a private file it points to would be copied into
// a readable report), a FIFO does not hold it, and the report keeps its permissions.
TEST(CrashReport, TheSymbolizerFollowsNoLinkAndWaitsOnNoFifo) {
  TempFolder raw, folder, outside;
  ASSERT_TRUE(WIFSIGNALED(Wait(StartProbe("null", raw.path(), {"QUILLANE_SYMBOLIZER="}))));
  const std::string report = ReadText(raw.path() / "crash.log");
  ASSERT_NE(report.find(platform::os::kCrashVariablesLine), std::string::npos) << report;
  const fs::path log = folder.path() / "crash.log", dump = folder.path() / "callstack.dmp";
  const fs::path console = outside.path() / "console";
  // Runs it on the report and the dump of the folder; its exit code, -1 when it hangs.
  const auto symbolize = [&]() {
    const testsupport::st_Command command{
        .args = {(fs::path(QUILLANE_CRASH_PROBE).parent_path() / "quillane-symbolize").string(), log.string(),
                 dump.string()},
        .err = console.string()};
    const int status = WaitAtMost(testsupport::Start(command), kHangMs);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  const auto reset = [&]() {
    for (const fs::path& p : {log, dump}) fs::remove(p);
    fs::copy_file(raw.path() / "crash.log", log);
    fs::copy_file(raw.path() / "callstack.dmp", dump);
  };

  // A link to a private file under the report's name.
  const fs::path secret = outside.path() / "secret";
  std::ofstream(secret) << report;
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  reset();
  fs::remove(log);
  fs::create_symlink(secret, log);
  EXPECT_EQ(symbolize(), 1);
  EXPECT_NE(ReadText(console).find("ERROR: quillane-symbolize: '" + log.string() + "' is a symbolic link"),
            std::string::npos)
      << ReadText(console);
  EXPECT_TRUE(fs::is_symlink(log));
  EXPECT_EQ(ReadText(secret), report);

  // A FIFO under the report's name: refused at once.
  fs::remove(log);
  ASSERT_EQ(mkfifo(log.c_str(), 0644), 0);
  EXPECT_EQ(symbolize(), 1) << "held by the FIFO";
  EXPECT_NE(ReadText(console).find("'" + log.string() + "' is not a regular file"), std::string::npos)
      << ReadText(console);

  // A FIFO and then a link under the dump's name: the report is named without variables, and a
  // private report stays private.
  for (const bool fifo : {true, false}) {
    SCOPED_TRACE(fifo ? "FIFO dump" : "linked dump");
    reset();
    fs::permissions(log, fs::perms::owner_read | fs::perms::owner_write);
    fs::remove(dump);
    if (fifo) {
      ASSERT_EQ(mkfifo(dump.c_str(), 0644), 0);
    } else {
      fs::create_symlink(raw.path() / "callstack.dmp", dump);
    }
    EXPECT_EQ(symbolize(), 0) << ReadText(console);
    EXPECT_NE(ReadText(console).find(fifo ? "is not a regular file" : "is a symbolic link"), std::string::npos)
        << ReadText(console);
    const std::string named = ReadText(log);
    EXPECT_NE(LineWith(named, "ProbeNullWrite").find("crash_probe.cpp line "), std::string::npos) << named;
    EXPECT_NE(named.find(platform::os::kCrashVariablesLine), std::string::npos) << named;
    EXPECT_EQ(fs::status(log).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  }
}

TEST(CrashReport, UnnamedReportTakesTheProgramNameWithRptInTheUserFolder) {
  TempFolder folder;
  const int status = Wait(StartProbe("default-name", folder.path()));
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(fs::exists(folder.path() / "crash_probe.RPT"));
  EXPECT_FALSE(fs::exists(folder.path() / "crash.log"));

  EXPECT_EQ(win32dx9::cl_ExceptionHandler::DefaultReportName("/opt/game/quillane"), "quillane.RPT");
  EXPECT_EQ(win32dx9::cl_ExceptionHandler::DefaultReportName("/opt/game/quillane.exe"), "quillane.RPT");
  EXPECT_EQ(win32dx9::cl_ExceptionHandler::DefaultReportName("/opt/v1.2/game.x"), "game.x.RPT");
}

TEST(CrashReportParts, FaultNamesFollowTheSignalAndItsCode) {
  using platform::os::NameCrashCode;
  EXPECT_STREQ(NameCrashCode(SIGSEGV, SEGV_MAPERR, false).name, "ACCESS_VIOLATION");
  EXPECT_STREQ(NameCrashCode(SIGSEGV, SEGV_MAPERR, true).name, "STACK_OVERFLOW");
  EXPECT_STREQ(NameCrashCode(SIGFPE, FPE_FLTDIV, false).name, "FLT_DIVIDE_BY_ZERO");
  EXPECT_STREQ(NameCrashCode(SIGILL, ILL_PRVOPC, false).name, "PRIV_INSTRUCTION");
  EXPECT_STREQ(NameCrashCode(SIGTRAP, TRAP_TRACE, false).name, "SINGLE_STEP");
  EXPECT_STREQ(NameCrashCode(SIGBUS, BUS_ADRALN, false).name, "DATATYPE_MISALIGNMENT");
  EXPECT_STREQ(NameCrashCode(SIGBUS, BUS_ADRERR, false).name, "IN_PAGE_ERROR");
  EXPECT_EQ(NameCrashCode(SIGBUS, BUS_ADRERR, false).code, 0xC0000006u);
  EXPECT_EQ(NameCrashCode(SIGABRT, 0, false).code, uint32_t(SIGABRT));

  EXPECT_TRUE(platform::os::IsStackFault(0x7ffc0000fff8, 0x7ffc00010000));
  EXPECT_FALSE(platform::os::IsStackFault(0, 0x7ffc00010000));
}

TEST(CrashReportParts, ModulesAreFoundByTheirOffsetZeroMapping) {
  const std::string maps =
      "555555554000-555555556000 r--p 00000000 08:01 42   /opt/game/quillane\n"
      "555555556000-555555560000 r-xp 00002000 08:01 42   /opt/game/quillane\n"
      "555555560000-555555561000 rw-p 00000000 00:00 0    [heap]\n"
      "7ffff7dd0000-7ffff7df0000 r-xp 00000000 08:01 77   /usr/lib/lib with blank.so\n"
      "7ffffffde000-7ffffffff000 rw-p 00000000 00:00 0    [stack]";
  platform::os::CrashModule m;
  ASSERT_TRUE(platform::os::FindCrashModule(maps.data(), maps.size(), 0x555555557123, &m));
  EXPECT_EQ(std::string(m.path, m.pathLength), "/opt/game/quillane");
  EXPECT_EQ(m.base, 0x555555554000u);
  ASSERT_TRUE(platform::os::FindCrashModule(maps.data(), maps.size(), 0x7ffff7dd0010, &m));
  EXPECT_EQ(std::string(m.path, m.pathLength), "/usr/lib/lib with blank.so");
  EXPECT_FALSE(platform::os::FindCrashModule(maps.data(), maps.size(), 0x555555560010, &m));  // heap
  EXPECT_FALSE(platform::os::FindCrashModule(maps.data(), maps.size(), 0x10, &m));
  uint64_t start = 0, end = 0;
  ASSERT_TRUE(platform::os::FindMapping(maps.data(), maps.size(), 0x7ffffffde100, &start, &end));
  EXPECT_EQ(end, 0x7ffffffff000u);
}

TEST(CrashDumpRead, DamagedDumpsAreRefusedWithAReason) {
  platform::os::CrashDumpHeader header{};
  std::memcpy(header.magic, platform::os::kCrashDumpMagic, sizeof header.magic);
  header.version = platform::os::kCrashDumpVersion;
  header.headerSize = sizeof header;
  header.registerCount = 23;
  header.mapsSize = 10;
  std::vector<uint8_t> bytes(sizeof header + 23 * 8 + 10, 'm');
  std::memcpy(bytes.data(), &header, sizeof header);
  platform::os::CrashDump dump;
  std::string error;
  ASSERT_TRUE(platform::os::ParseCrashDump(bytes.data(), bytes.size(), dump, error)) << error;
  EXPECT_EQ(dump.maps, "mmmmmmmmmm");

  EXPECT_FALSE(platform::os::ParseCrashDump(bytes.data(), bytes.size() - 1, dump, error));
  EXPECT_NE(error.find("past the end"), std::string::npos) << error;
  header.stackSize = 0xFFFFFFFFu;  // a count that must not wrap the size check
  std::memcpy(bytes.data(), &header, sizeof header);
  EXPECT_FALSE(platform::os::ParseCrashDump(bytes.data(), bytes.size(), dump, error));
  bytes[0] = 'Z';
  EXPECT_FALSE(platform::os::ParseCrashDump(bytes.data(), bytes.size(), dump, error));
  EXPECT_EQ(error, "bad magic");
  EXPECT_FALSE(platform::os::ParseCrashDump(bytes.data(), 10, dump, error));
  EXPECT_FALSE(platform::os::ReadCrashDump("/nonexistent/callstack.dmp", dump, error));
  EXPECT_NE(error.find("/nonexistent/callstack.dmp"), std::string::npos);

  // Data regions: the bytes of a filled one, zeros for the other, a value read across both;
  // none may claim more than its block.
  header = platform::os::CrashDumpHeader{};
  std::memcpy(header.magic, platform::os::kCrashDumpMagic, sizeof header.magic);
  header.version = platform::os::kCrashDumpVersion;
  header.headerSize = sizeof header;
  header.regionCount = 2;
  const platform::os::CrashDumpRegion filled = {0x1000, 4, 1}, zeros = {0x1004, 8, 0};
  header.regionBytes = 2 * sizeof filled + 4;
  std::vector<uint8_t> regions(sizeof header);
  const auto append = [&regions](const void* p, size_t n) {
    regions.insert(regions.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  };
  append(&filled, sizeof filled);
  append("abcd", 4);
  append(&zeros, sizeof zeros);
  std::memcpy(regions.data(), &header, sizeof header);
  ASSERT_TRUE(platform::os::ParseCrashDump(regions.data(), regions.size(), dump, error)) << error;
  char value[4] = {'x', 'x', 'x', 'x'};
  ASSERT_TRUE(dump.Read(0x1002, value, 4));
  EXPECT_EQ(std::string(value, 4), std::string("cd\0\0", 4));
  EXPECT_FALSE(dump.Read(0x100A, value, 4));
  header.regionCount = 3;
  std::memcpy(regions.data(), &header, sizeof header);
  EXPECT_FALSE(platform::os::ParseCrashDump(regions.data(), regions.size(), dump, error));
  EXPECT_NE(error.find("data region 2"), std::string::npos) << error;
  header.regionCount = 1;
  std::memcpy(regions.data(), &header, sizeof header);
  EXPECT_FALSE(platform::os::ParseCrashDump(regions.data(), regions.size(), dump, error));
  EXPECT_NE(error.find("unused"), std::string::npos) << error;

  // A dump of the first version, without frames and regions, still reads.
  header = platform::os::CrashDumpHeader{};
  std::memcpy(header.magic, platform::os::kCrashDumpMagic, sizeof header.magic);
  header.version = 1;
  header.headerSize = 64;
  header.mapsSize = 3;
  std::vector<uint8_t> old(64 + 3, 'o');
  std::memcpy(old.data(), &header, 64);
  ASSERT_TRUE(platform::os::ParseCrashDump(old.data(), old.size(), dump, error)) << error;
  EXPECT_EQ(dump.maps, "ooo");
  EXPECT_TRUE(dump.frames.empty());
}

}  // namespace
