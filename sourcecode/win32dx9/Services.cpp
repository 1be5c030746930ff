#include "win32dx9/Services.h"

namespace win32dx9 {

st_PlatformServices& PlatformServices() {
  static st_PlatformServices services;
  return services;
}

st_SoundServices& SoundServices() {
  static st_SoundServices services;
  return services;
}

st_GraphicsServices& GraphicsServices() {
  static st_GraphicsServices services;
  return services;
}

}  // namespace win32dx9
