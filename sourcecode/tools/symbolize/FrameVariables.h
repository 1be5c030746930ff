// The variables of a crash: each frame's parameters and locals, and the program's globals, as
// the report lists them ("\tParameter 'depth' int = 3"), read from the crash dump with the
// DWARF data of the modules.
#pragma once

#include <string>

#include "CrashImage.h"
#include "DwarfModules.h"

namespace symbolize {

// The lines of frame index's parameters and locals, each ending in "\r\n"; empty when its
// module has no debugging data there.
std::string FrameVariables(cl_ModuleCache& modules, const cl_CrashImage& image, size_t index);

// The lines of the named global variables of the module that holds the dump's data regions (the
// program), each ending in "\r\n".
std::string GlobalVariables(cl_ModuleCache& modules, const cl_CrashImage& image);

}  // namespace symbolize
