// quillane-symbolize REPORT: adds the demangled function name and "file line N" to every
// call-stack line of a crash report, from the DWARF data of the modules the lines name. The
// crash handler starts it on the report it has just written, with a time limit; the report is
// replaced through a temporary file, so an interrupted run leaves the raw report as it was.
//
// A call-stack line as the handler writes it:
//   <address>  <stack pointer>  <raw symbol>+<displacement>  [<module path>+<module offset>]
// and as this program leaves it:
//   <address>  <stack pointer>  <function>+<displacement>  <source file> line <n>  [<module path>+<module offset>]
#include <elfutils/libdwfl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// One module's debugging data, opened once per report.
struct st_Module {
  Dwfl* dwfl = nullptr;
  Dwfl_Module* module = nullptr;
  Dwarf_Addr low = 0;  // the module's first address as reported
  ~st_Module() {
    if (dwfl) dwfl_end(dwfl);
  }
};

const Dwfl_Callbacks kCallbacks = {
    dwfl_build_id_find_elf, dwfl_standard_find_debuginfo, dwfl_offline_section_address, nullptr,
};

st_Module* OpenModule(std::map<std::string, std::unique_ptr<st_Module>>& cache, const std::string& path) {
  auto found = cache.find(path);
  if (found != cache.end()) return found->second.get();
  auto m = std::make_unique<st_Module>();
  m->dwfl = dwfl_begin(&kCallbacks);
  if (m->dwfl) {
    dwfl_report_begin(m->dwfl);
    // Position independent modules are placed at 0, so a module offset is their address.
    m->module = dwfl_report_elf(m->dwfl, path.c_str(), path.c_str(), -1, 0, false);
    dwfl_report_end(m->dwfl, nullptr, nullptr);
    if (m->module) dwfl_module_info(m->module, nullptr, &m->low, nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  if (!m->module) std::fprintf(stderr, "Warning: quillane-symbolize: no symbols for '%s'\n", path.c_str());
  st_Module* result = m.get();
  cache[path] = std::move(m);
  return result;
}

std::string Demangle(const char* name) {
  int status = 0;
  char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  if (status != 0 || !text) return name;
  std::string result(text);
  std::free(text);
  return result;
}

// The frame's parts; false for lines that are not call-stack lines or were done already.
struct st_Frame {
  std::string head;    // address and stack pointer with their blanks
  std::string tail;    // "[module+offset]"
  std::string module;
  unsigned long long offset = 0;
};

bool ParseFrame(const std::string& line, st_Frame& out) {
  if (line.size() < 40 || line.back() != ']') return false;
  const size_t open = line.rfind("  [");
  const size_t plus = line.rfind('+');
  if (open == std::string::npos || plus == std::string::npos || plus < open) return false;
  if (line.find(" line ") != std::string::npos) return false;  // named already
  // The address and stack pointer columns: 16 hexadecimal digits each.
  if (line.find_first_not_of("0123456789ABCDEF") != 16 || line.compare(16, 2, "  ") != 0) return false;
  out.head = line.substr(0, 36);
  out.tail = line.substr(open + 2);
  out.module = line.substr(open + 3, plus - open - 3);
  char* end = nullptr;
  out.offset = std::strtoull(line.c_str() + plus + 1, &end, 16);
  return end && *end == ']' && !out.module.empty() && out.module[0] == '/';
}

std::string Symbolize(std::map<std::string, std::unique_ptr<st_Module>>& cache, const st_Frame& frame,
                      bool returnAddress) {
  st_Module* m = OpenModule(cache, frame.module);
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
  text = Demangle(name) + number;
  if (Dwfl_Line* line = dwfl_module_getsrc(m->module, at)) {
    int lineNumber = 0;
    if (const char* file = dwfl_lineinfo(line, nullptr, &lineNumber, nullptr, nullptr, nullptr))
      text += "  " + std::string(file) + " line " + std::to_string(lineNumber);
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillane-symbolize CRASH-REPORT\n");
    return 2;
  }
  const std::string path = argv[1];
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "ERROR: quillane-symbolize: cannot read '%s'\n", path.c_str());
    return 1;
  }
  std::stringstream whole;
  whole << in.rdbuf();
  const std::string report = whole.str();

  std::map<std::string, std::unique_ptr<st_Module>> cache;
  std::string result;
  int frames = 0, named = 0;
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
    if (ParseFrame(line, frame)) {
      const std::string text = Symbolize(cache, frame, frames > 0);
      ++frames;
      if (!text.empty()) {
        line = frame.head + text + "  " + frame.tail;
        ++named;
      }
    }
    result += line + ending;
  }

  const std::string temp = path + ".tmp";
  std::FILE* out = std::fopen(temp.c_str(), "wb");
  if (!out) {
    std::fprintf(stderr, "ERROR: quillane-symbolize: cannot write '%s'\n", temp.c_str());
    return 1;
  }
  const bool written = std::fwrite(result.data(), 1, result.size(), out) == result.size() && std::fflush(out) == 0 &&
                       fsync(fileno(out)) == 0;
  std::fclose(out);
  if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    std::fprintf(stderr, "ERROR: quillane-symbolize: cannot replace '%s'\n", path.c_str());
    return 1;
  }
  std::fprintf(stderr, "quillane-symbolize: %d of %d frames named in %s\n", named, frames, path.c_str());
  return 0;
}
