#include "quillane/world/WorldServices.h"

namespace quillane {

st_WorldServices& WorldServices() {
  static st_WorldServices services;
  return services;
}

}  // namespace quillane
