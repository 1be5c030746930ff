#include "graphics/Graphics.h"

#include "base/resource/ResourceMgr.h"
#include "base/text/Vocable.h"
#include "graphics/Texture.h"
#include "graphics/font/DXFont.h"
#include "graphics/font/TextureFont.h"
#include "graphics/image/Image.h"
#include "graphics/image/TextureStrip.h"
#include "graphics/gfx.h"
#include "win32dx9/DynamicBuffer.h"
#include "win32dx9/Services.h"

namespace gfx {

namespace {

void SelectBackBuffer() { SetRenderTarget(nullptr); }

void AddType(base::i_ResourceMgr* manager, const char* name, base::i_ResourceType* type) {
  if (manager) {
    manager->AddResourceType(base::vocable::find_or_add(name), type);
  } else {
    base::sys::AddResourceType(name, type);  // deletes it without a manager
  }
}

}  // namespace

void RegisterResourceTypes(base::i_ResourceMgr* manager) {
  AddType(manager, "Texture", new base::tResourceType<cl_Texture>);
  AddType(manager, "Image", new base::tResourceType<cl_Image>);
  AddType(manager, "TextureStrip", new base::tResourceType<cl_TextureStrip>);
  AddType(manager, "TextureFont", new base::tResourceType<cl_TextureFont>);
  AddType(manager, "DXFont", new base::tResourceType<cl_DXFont>);
}

void RegisterGraphics() {
  win32dx9::st_GraphicsServices& graphics = win32dx9::GraphicsServices();
  graphics.CreateRecorders = win32dx9::CreateRecorders;
  graphics.DestroyRecorders = win32dx9::DestroyRecorders;
  graphics.ResetRecorders = win32dx9::DynamicBatch::ResetAll;
  graphics.SelectBackBuffer = SelectBackBuffer;
  graphics.SetGamma = SetGamma;
  win32dx9::PlatformServices().RegisterResourceTypes = RegisterResourceTypes;
  win32dx9::PlatformServices().RegisterBitmapLoaders = RegisterBitmapLoaders;
}

}  // namespace gfx
