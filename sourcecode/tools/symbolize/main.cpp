// quillane-symbolize REPORT [DUMP]: adds the demangled function name and "file line N" to every
// call-stack line of a crash report, from the DWARF data of the modules the lines name, and with
// the crash dump lists each frame's parameters and locals and the program's global variables in
// place of the report's marker line. The crash handler starts it on the report and dump it has
// just written, with a time limit; the report is replaced through a temporary file, so an
// interrupted run leaves the raw report as it was.
//
// A call-stack line as the handler writes it:
//   <address>  <stack pointer>  <raw symbol>+<displacement>  [<module path>+<module offset>]
// and as this program leaves it:
//   <address>  <stack pointer>  <function>+<displacement>  <source file> line <n>  [<module path>+<module offset>]
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CrashImage.h"
#include "DwarfModules.h"
#include "FrameVariables.h"
#include "platform/os/CrashDump.h"
#include "platform/os/CrashReport.h"

namespace {

using symbolize::cl_ModuleCache;

// The frame's parts; false for lines that are not call-stack lines or were done already.
struct st_Frame {
  std::string head;    // address and stack pointer with their blanks
  std::string tail;    // "[module+offset]"
  std::string module;
  unsigned long long offset = 0;
};

// A call-stack line starts with the address and stack pointer columns: 16 hexadecimal digits
// each.
bool IsFrameLine(const std::string& line) {
  return line.size() >= 36 && line.find_first_not_of("0123456789ABCDEF") == 16 && line.compare(16, 2, "  ") == 0 &&
         line.find_first_not_of("0123456789ABCDEF", 18) == 34;
}

bool ParseFrame(const std::string& line, st_Frame& out) {
  if (line.size() < 40 || line.back() != ']' || !IsFrameLine(line)) return false;
  const size_t open = line.rfind("  [");
  const size_t plus = line.rfind('+');
  if (open == std::string::npos || plus == std::string::npos || plus < open) return false;
  if (line.find(" line ") != std::string::npos) return false;  // named already
  out.head = line.substr(0, 36);
  out.tail = line.substr(open + 2);
  out.module = line.substr(open + 3, plus - open - 3);
  char* end = nullptr;
  out.offset = std::strtoull(line.c_str() + plus + 1, &end, 16);
  return end && *end == ']' && !out.module.empty() && out.module[0] == '/';
}

std::string Symbolize(cl_ModuleCache& modules, const st_Frame& frame, bool returnAddress) {
  const symbolize::st_Module* m = modules.Open(frame.module);
  if (!m || !m->module) return std::string();
  // A return address points after its call; the call itself names the right line.
  const Dwarf_Addr pc = m->low + frame.offset;
  const Dwarf_Addr at = returnAddress && pc > 0 ? pc - 1 : pc;
  std::string text;
  GElf_Off displacement = 0;
  GElf_Sym symbol;
  const char* name = dwfl_module_addrinfo(m->module, at, &displacement, &symbol, nullptr, nullptr, nullptr);
  if (!name) return std::string();
  char number[32];
  std::snprintf(number, sizeof number, "+%llX", static_cast<unsigned long long>(displacement + (pc - at)));
  text = symbolize::Demangle(name) + number;
  if (Dwfl_Line* line = dwfl_module_getsrc(m->module, at)) {
    int lineNumber = 0;
    if (const char* file = dwfl_lineinfo(line, nullptr, &lineNumber, nullptr, nullptr, nullptr))
      text += "  " + std::string(file) + " line " + std::to_string(lineNumber);
  }
  return text;
}

// The sections that stand in for the marker line: every frame again with its variables, then
// the globals when the dump carries them.
std::string VariableSections(cl_ModuleCache& modules, const symbolize::cl_CrashImage& image,
                             const std::vector<std::string>& frameLines) {
  std::string text = "========================\r\nLocal Variables And Parameters\r\n";
  text += "\r\nCall stack:\r\nAddress           Frame             Function            SourceFile\r\n";
  for (size_t i = 0; i < frameLines.size() && i < image.Dump().frames.size(); ++i)
    text += frameLines[i] + "\r\n" + symbolize::FrameVariables(modules, image, i) + "\r\n";
  if (image.Dump().header.flags & platform::os::kCrashDumpGlobals)
    text += "========================\r\nGlobal Variables\r\n" + symbolize::GlobalVariables(modules, image) + "\r\n";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: quillane-symbolize CRASH-REPORT [CRASH-DUMP]\n");
    return 2;
  }
  const std::string path = argv[1];
  // What stands under the report's name by now may not be what the handler put there: a link
  // there is not followed (its target would be copied into the report), a FIFO not waited on.
  std::string report, error;
  unsigned mode = 0;
  if (!platform::os::ReadCrashFile(path, report, mode, error)) {
    std::fprintf(stderr, "ERROR: quillane-symbolize: '%s' %s\n", path.c_str(), error.c_str());
    return 1;
  }

  cl_ModuleCache modules;
  std::string result;
  std::vector<std::string> frameLines;
  int named = 0;
  size_t marker = std::string::npos;
  size_t start = 0;
  while (start < report.size()) {
    size_t end = report.find('\n', start);
    end = end == std::string::npos ? report.size() : end + 1;
    std::string line = report.substr(start, end - start);
    start = end;
    std::string ending;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
      ending.insert(ending.begin(), line.back());
      line.pop_back();
    }
    st_Frame frame;
    if (IsFrameLine(line)) {
      if (ParseFrame(line, frame)) {
        const std::string text = Symbolize(modules, frame, !frameLines.empty());
        if (!text.empty()) {
          line = frame.head + text + "  " + frame.tail;
          ++named;
        }
      }
      frameLines.push_back(line);
    }
    if (line == platform::os::kCrashVariablesLine) {
      marker = result.size();
      continue;  // the sections take its place
    }
    result += line + ending;
  }

  if (marker != std::string::npos) {
    std::string sections = std::string(platform::os::kCrashVariablesLine) + "\r\n";
    platform::os::CrashDump dump;
    if (argc < 3) {
      std::fprintf(stderr, "Warning: quillane-symbolize: no crash dump given, so no variables\n");
    } else if (!platform::os::ReadCrashDump(argv[2], dump, error)) {
      std::fprintf(stderr, "Warning: quillane-symbolize: %s\n", error.c_str());
    } else {
      const symbolize::cl_CrashImage image(dump);
      sections = VariableSections(modules, image, frameLines);
    }
    result.insert(marker, sections);
  }

  // A fresh name made exclusively: a link or FIFO left under a fixed temporary name in the
  // user's folder is never opened.
  std::string temp = path + ".tmpXXXXXX";
  const int fd = mkstemp(temp.data());
  std::FILE* out = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (!out) {
    if (fd >= 0) {
      close(fd);
      std::remove(temp.c_str());
    }
    std::fprintf(stderr, "ERROR: quillane-symbolize: cannot write beside '%s' (%s)\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  // The report keeps its permissions: what was private stays so.
  bool written = fchmod(fd, mode & 0666) == 0 && std::fwrite(result.data(), 1, result.size(), out) == result.size() &&
                 std::fflush(out) == 0 && fsync(fd) == 0;
  written = std::fclose(out) == 0 && written;
  if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    std::fprintf(stderr, "ERROR: quillane-symbolize: cannot replace '%s'\n", path.c_str());
    return 1;
  }
  std::fprintf(stderr, "quillane-symbolize: %d of %zu frames named in %s\n", named, frameLines.size(), path.c_str());
  return 0;
}
