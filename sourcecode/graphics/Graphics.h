// Start-up of the graphics library: hands the platform shell the calls it makes into this
// library (vertex recorders around frames and resets, back-buffer selection, gamma), the
// graphic resource types and the bitmap loaders. The program calls RegisterGraphics once,
// before cl_System::StartUp.
#pragma once

namespace base {
class i_ResourceMgr;
}

namespace gfx {

void RegisterGraphics();
// Registers the graphic resource kinds ("Texture", "Image", "TextureStrip", "TextureFont",
// "DXFont") with manager (the process-wide manager when
// null). A kind registered before stays.
void RegisterResourceTypes(base::i_ResourceMgr* manager);

}  // namespace gfx
