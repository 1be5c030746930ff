#include "DwarfModules.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>

namespace symbolize {

namespace {

const Dwfl_Callbacks kCallbacks = {
    dwfl_build_id_find_elf,
    dwfl_standard_find_debuginfo,
    dwfl_offline_section_address,
    nullptr,
};

}  // namespace

st_Module::~st_Module() {
  if (dwfl) dwfl_end(dwfl);
}

st_Module* cl_ModuleCache::Open(const std::string& path) {
  auto found = m_modules.find(path);
  if (found != m_modules.end()) return found->second.get();
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
  m_modules[path] = std::move(m);
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

}  // namespace symbolize
