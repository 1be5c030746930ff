// The debugging data of the modules a crash report names, each opened once per run through
// elfutils' libdwfl, placed at address 0 so that an offset into the module is its address.
#pragma once

#include <elfutils/libdwfl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace symbolize {

struct st_Module {
  Dwfl* dwfl = nullptr;
  Dwfl_Module* module = nullptr;  // null when the file has no symbols
  Dwarf_Addr low = 0;             // the module's first address as reported
  ~st_Module();
  // The module's own address of a byte loaded at runtime, with the module loaded at base.
  Dwarf_Addr LinkAddress(uint64_t runtime, uint64_t base) const { return low + (runtime - base); }
};

class cl_ModuleCache {
 public:
  // The module of path, opened on first use (a warning on stderr when it has no symbols).
  st_Module* Open(const std::string& path);

 private:
  std::map<std::string, std::unique_ptr<st_Module>> m_modules;
};

// The demangled form of a symbol name, or the name itself.
std::string Demangle(const char* name);

}  // namespace symbolize
