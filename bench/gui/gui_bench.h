// What the two halves of the GUI benchmark share: the generated 1,000-window layout and its list.
#pragma once

#include <string>

namespace base {
class cl_Window;
}

const std::string& BenchLayoutFile();    // written once to the temporary folder
void FillBenchList(base::cl_Window* root);  // the 300 rows of "list", rebuilt at the next render
