#include "resource_support.h"

namespace testsupport {
int cl_Blob::s_inits = 0;
int cl_Blob::s_reads = 0;
int cl_Blob::s_live = 0;
}  // namespace testsupport
