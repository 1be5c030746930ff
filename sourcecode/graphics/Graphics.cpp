#include "graphics/Graphics.h"

#include "base/resource/ResourceMgr.h"
#include "base/text/Vocable.h"
#include "graphics/Texture.h"
#include "graphics/gfx.h"
#include "win32dx9/DynamicBuffer.h"
#include "win32dx9/Services.h"

namespace gfx {

namespace {

void SelectBackBuffer() { SetRenderTarget(nullptr); }

}  // namespace

void RegisterResourceTypes(base::i_ResourceMgr* manager) {
  base::i_ResourceType* textures = new base::tResourceType<cl_Texture>;
  if (manager) {
    manager->AddResourceType(base::vocable::find_or_add("Texture"), textures);
  } else {
    base::sys::AddResourceType("Texture", textures);  // deletes it without a manager
  }
}

void RegisterGraphics() {
  win32dx9::st_GraphicsServices& graphics = win32dx9::GraphicsServices();
  graphics.CreateRecorders = win32dx9::CreateRecorders;
  graphics.DestroyRecorders = win32dx9::DestroyRecorders;
  graphics.ResetRecorders = win32dx9::DynamicBatch::ResetAll;
  graphics.SelectBackBuffer = SelectBackBuffer;
  graphics.SetGamma = SetGamma;
  win32dx9::PlatformServices().RegisterResourceTypes = RegisterResourceTypes;
}

}  // namespace gfx
