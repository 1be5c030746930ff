// The layouts file the GUI tests read: the game's own.
#pragma once

#include <string>

namespace guitest {

inline std::string DataFile() { return std::string(QUILLANE_DATA_DIR) + "/GUI.xml"; }

}  // namespace guitest
