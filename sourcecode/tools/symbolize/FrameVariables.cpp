#include "FrameVariables.h"

#include <dwarf.h>
#include <elfutils/libdw.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "DwarfLocation.h"
#include "DwarfValue.h"

namespace symbolize {

namespace {

using platform::os::CrashDumpFrame;

constexpr size_t kMaxSymbolText = 2048;  // a variable's text, members included, is cut there
// The bytes read of one variable: what the text can show of a large array or structure.
constexpr size_t kMaxValueBytes = 64 * 1024;

bool TypeOf(Dwarf_Die* die, Dwarf_Die& out) {
  Dwarf_Attribute attr;
  return dwarf_attr_integrate(die, DW_AT_type, &attr) && dwarf_formref_die(&attr, &out);
}

// A constant the compiler kept instead of a location.
bool ConstBytes(Dwarf_Attribute* attr, size_t size, std::vector<uint8_t>& out) {
  Dwarf_Block block;
  if (dwarf_formblock(attr, &block) == 0) {
    if (block.length < size) return false;
    out.assign(block.data, block.data + size);
    return true;
  }
  Dwarf_Word value = 0;
  if (size > 8 || dwarf_formudata(attr, &value) != 0) return false;
  out.resize(size);
  std::memcpy(out.data(), &value, size);
  return true;
}

// "<kind>'name' type = value", with the members of structures on the lines after it.
std::string VariableText(const char* kind, Dwarf_Die* var, const std::string& name, Dwarf_Addr pc,
                         const cl_CrashImage& image, const st_FrameState& state) {
  Dwarf_Die type;
  const bool typed = TypeOf(var, type);
  std::string text = std::string(kind) + "'" + name + "' " + TypeName(typed ? &type : nullptr);
  size_t size = 0;
  if (!typed || !TypeSize(&type, size)) return text;
  size = std::min(size, kMaxValueBytes);
  std::vector<uint8_t> bytes;
  std::string why = "optimized out";
  Dwarf_Attribute attr;
  bool known = false;
  // The location is the concrete entry's own: an inlined variable's origin has none.
  if (dwarf_attr(var, DW_AT_const_value, &attr)) {
    known = ConstBytes(&attr, size, bytes);
    why = "not available";
  } else if (dwarf_attr(var, DW_AT_location, &attr)) {
    Dwarf_Op* ops = nullptr;
    size_t count = 0;
    const int found = dwarf_getlocation_addr(&attr, pc, &ops, &count, 1);
    known = ReadLocation(&attr, found > 0 ? ops : nullptr, found > 0 ? count : 0, size, image, state, bytes, why);
  }
  if (!known) return text + " (" + why + ")";
  AppendValue(&type, bytes, image, 0, text);
  if (text.size() > kMaxSymbolText) text.resize(kMaxSymbolText);
  return text;
}

// The frame's canonical frame address from the module's call frame information.
bool FrameAddress(const st_Module& m, Dwarf_Addr link, const cl_CrashImage& image, const st_FrameState& state,
                  uint64_t& out) {
  for (int table = 0; table < 2; ++table) {
    Dwarf_Addr bias = 0;
    Dwarf_CFI* cfi = table == 0 ? dwfl_module_eh_cfi(m.module, &bias) : dwfl_module_dwarf_cfi(m.module, &bias);
    Dwarf_Frame* frame = nullptr;
    if (!cfi || dwarf_cfi_addrframe(cfi, link - bias, &frame) != 0) continue;
    Dwarf_Op* ops = nullptr;
    size_t count = 0;
    const bool ok = dwarf_frame_cfa(frame, &ops, &count) == 0 && EvaluateAddress(ops, count, image, state, out);
    std::free(frame);
    if (ok) return true;
  }
  return false;
}

// Names the implementation reserves ("__ioinit", "_Unwind_…") are not the program's.
bool Reserved(const char* name) { return name[0] == '_' && (name[1] == '_' || (name[1] >= 'A' && name[1] <= 'Z')); }

void ListGlobals(Dwarf_Die* scope, const std::string& prefix, const cl_CrashImage& image, const st_FrameState& state,
                 std::set<uint64_t>& seen, std::string& out) {
  Dwarf_Die child;
  if (dwarf_child(scope, &child) != 0) return;
  do {
    const int tag = dwarf_tag(&child);
    const char* name = dwarf_diename(&child);
    if (tag == DW_TAG_namespace) {
      // The standard library's own state is not the program's.
      const std::string space = name ? name : "(anonymous namespace)";
      if (space != "std" && !(name && Reserved(name)))
        ListGlobals(&child, prefix + space + "::", image, state, seen, out);
      continue;
    }
    if (tag != DW_TAG_variable || !name || Reserved(name)) continue;
    // A definition in memory: declarations have no location, thread-locals no fixed address.
    Dwarf_Attribute attr;
    Dwarf_Op* ops = nullptr;
    size_t count = 0;
    if (!dwarf_attr(&child, DW_AT_location, &attr) || dwarf_getlocation(&attr, &ops, &count) != 0 || count == 0 ||
        ops[0].atom != DW_OP_addr)
      continue;
    if (!seen.insert(ops[0].number).second) continue;  // an inline variable is defined in every unit
    out += "\t" + VariableText("", &child, prefix + name, 0, image, state) + "\r\n";
  } while (dwarf_siblingof(&child, &child) == 0);
}

}  // namespace

std::string FrameVariables(cl_ModuleCache& modules, const cl_CrashImage& image, size_t index) {
  const std::vector<CrashDumpFrame>& frames = image.Dump().frames;
  if (index >= frames.size()) return {};
  const CrashDumpFrame& frame = frames[index];
  const uint64_t ip = frame.registers[platform::os::kCrashRegisterIp];
  // A return address points after its call; the call itself lies in the variables' ranges.
  const uint64_t pc = index > 0 && ip > 0 ? ip - 1 : ip;
  std::string path;
  uint64_t base = 0;
  if (!image.ModuleOf(pc, path, base)) return {};
  const st_Module* m = modules.Open(path);
  if (!m || !m->module) return {};
  const Dwarf_Addr link = m->LinkAddress(pc, base);
  Dwarf_Addr bias = 0;
  Dwarf_Die* unit = dwfl_module_addrdie(m->module, link, &bias);
  if (!unit) return {};
  const Dwarf_Addr at = link - bias;
  Dwarf_Die* scopes = nullptr;
  const int count = dwarf_getscopes(unit, at, &scopes);
  int function = 0;
  while (function < count && dwarf_tag(&scopes[function]) != DW_TAG_subprogram) ++function;

  std::string out;
  if (function < count) {
    st_FrameState state;
    state.frame = &frame;
    state.loadBias = bias + base - m->low;
    state.hasCfa = FrameAddress(*m, link, image, state, state.cfa);
    if (!state.hasCfa && index + 1 < frames.size()) {
      // The caller's stack pointer is where this frame's call began.
      state.cfa = frames[index + 1].registers[platform::os::kCrashRegisterSp];
      state.hasCfa = true;
    }
    Dwarf_Attribute frameBase;
    Dwarf_Op* ops = nullptr;
    size_t opCount = 0;
    if (dwarf_attr_integrate(&scopes[function], DW_AT_frame_base, &frameBase) &&
        dwarf_getlocation_addr(&frameBase, at, &ops, &opCount, 1) == 1)
      state.hasFrameBase = EvaluateAddress(ops, opCount, image, state, state.frameBase);
    // From the function outward in: its parameters, then the locals of each block holding the
    // crash point, inlined calls included.
    for (int s = function; s >= 0; --s) {
      Dwarf_Die child;
      if (dwarf_child(&scopes[s], &child) != 0) continue;
      do {
        const int tag = dwarf_tag(&child);
        const char* name = dwarf_diename(&child);
        if ((tag != DW_TAG_formal_parameter && tag != DW_TAG_variable) || !name) continue;
        out += "\t" +
               VariableText(tag == DW_TAG_formal_parameter ? "Parameter " : "Local ", &child, name, at, image, state) +
               "\r\n";
      } while (dwarf_siblingof(&child, &child) == 0);
    }
  }
  std::free(scopes);
  return out;
}

std::string GlobalVariables(cl_ModuleCache& modules, const cl_CrashImage& image) {
  const auto& regions = image.Dump().regions;
  std::string path;
  uint64_t base = 0;
  if (regions.empty() || !image.ModuleOf(regions[0].address, path, base)) return {};
  const st_Module* m = modules.Open(path);
  if (!m || !m->module) return {};
  std::set<uint64_t> seen;
  std::string out;
  Dwarf_Addr bias = 0;
  for (Dwarf_Die* unit = dwfl_module_nextcu(m->module, nullptr, &bias); unit;
       unit = dwfl_module_nextcu(m->module, unit, &bias)) {
    st_FrameState state;
    state.loadBias = bias + base - m->low;
    ListGlobals(unit, "", image, state, seen, out);
  }
  return out;
}

}  // namespace symbolize
