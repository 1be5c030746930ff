// A scene layer: one flat picture of the painted scene (sky, background, stage, foreground or
// special effect), holding either a still image cut from a scene-sized bitmap or an animated
// texture strip. The scene owns its layers; a layer reads the scene's size, scroll, zoom, its
// first background layer and its protocol. cl_HeavenLayer is a sky layer that can scroll.
#pragma once

#include <list>
#include <string>

#include "base/File.h"
#include "base/Imaging.h"
#include "base/String.h"
#include "base/data/Variant.h"
#include "base/math/Limit.h"

namespace gfx {
class cl_Image;
class cl_TextureStrip;
}  // namespace gfx

namespace quillane {

class cl_Scene;

class cl_Layer {
 public:
  explicit cl_Layer(cl_Scene* scene) : m_scene(scene) {}
  virtual ~cl_Layer();
  cl_Layer(const cl_Layer&) = delete;
  cl_Layer& operator=(const cl_Layer&) = delete;

  // Builds the layer from its description element. False only for a strip under lazy loading
  // with Editor_LazyCompile on (the caller drops the layer); a missing file or picture still
  // gives true, and the layer then draws nothing.
  virtual bool Load(const base::Variant& description, bool lazy, bool compressAllowed);
  // Draws at the view origin; the last two values are not used by layers.
  virtual void Render(float originX, float originY, float unused1, float unused2);
  // The same, a picture layer leaving out what lies wholly outside the screen rectangle within.
  void RenderWithin(float originX, float originY, const base::tRectf& within);
  // The layer record; false (logged, file failed) on a damaged record.
  virtual bool Read(base::File& file);
  // Also appends the layer's line to the scene's protocol.
  virtual bool Write(base::File& file);
  virtual void Update(float dt);  // fade, then the strip

  void UpdateFade(float dt);

  // The stage's level of detail of a strip layer (0 = shown only at full detail) and whether
  // the lower levels show the strip's first frame as a still.
  int GetLodLevel() const { return m_lodLevel; }
  bool GetLodShowFirstFrame() const { return m_lodShowFirstFrame; }
  void SetLod(int level, bool showFirstFrame) { m_lodLevel = level, m_lodShowFirstFrame = showFirstFrame; }

  // The still version of a strip layer: first frame as image, no strip, path without extension.
  // Used while the level-2 stage section is written; RestoreFromStill undoes it.
  void MakeStill();
  void RestoreFromStill();

  void SetScene(cl_Scene* scene) { m_scene = scene; }
  cl_Scene* GetScene() const { return m_scene; }
  const base::tString<base::BaseString>& GetLabel() const { return m_label; }
  const base::tString<base::BaseString>& GetFile() const { return m_file; }
  // The picture file the description names that Load could not read (a strip's: its first
  // frame) and why ("is missing", "cannot be read"); both empty when the layer has its picture.
  const std::string& GetUnreadFile() const { return m_unreadFile; }
  const std::string& GetUnreadCause() const { return m_unreadCause; }
  const base::Variant& GetDescription() const { return m_description; }
  int GetYSort() const { return m_ysort; }
  // The stage's sort line; the scene's description is the caller's to update (the layer's copy
  // of it is what it was built from).
  void SetYSort(int ysort) { m_ysort = ysort; }
  float GetX() const { return m_x; }
  float GetY() const { return m_y; }
  float GetW() const { return m_w; }
  float GetH() const { return m_h; }
  const float* GetViewRect() const { return m_viewRect; }
  void SetViewRect(float l, float t, float r, float b) { m_viewRect[0] = l, m_viewRect[1] = t, m_viewRect[2] = r, m_viewRect[3] = b; }
  gfx::cl_TextureStrip* GetStrip() const { return m_strip; }
  gfx::cl_Image* GetImage() const { return m_image; }
  const base::cl_Bitmap32& GetBitmap() const { return m_bitmap; }

  // Fade state, set directly by the script bindings (SetLayerState).
  float m_targetAlpha = 1.0f;
  float m_alpha = 1.0f;
  float m_fadeDuration = -1.0f;  // not positive: no fade running

 protected:
  // The "(ts)" marker, record size and picture size line of the protocol.
  void AppendProtocolLine(int recordBytes);
  void DrawDebugFrame(float left, float top, float right, float bottom, float originY, float s);
  void Draw(float originX, float originY, const base::tRectf* within);  // within: null for all
  bool LoadStrip(const base::Variant& description, bool lazy);
  void LoadBitmap(bool lazy, bool compressAllowed, int useBackgroundPixels);
  void SetUnread(const char* file, const std::string& cause) { m_unreadFile = file, m_unreadCause = cause; }
  void ReleasePictures();

  base::Variant m_description;  // a copy of the element loaded from
  cl_Scene* m_scene;
  base::cl_Bitmap32 m_bitmap;
  gfx::cl_TextureStrip* m_strip = nullptr;
  int m_ysort = 0;
  base::tString<base::BaseString> m_label;
  base::tString<base::BaseString> m_file;
  std::string m_unreadFile, m_unreadCause;
  float m_x = 0.0f, m_y = 0.0f, m_w = 0.0f, m_h = 0.0f;
  float m_viewRect[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  gfx::cl_Image* m_image = nullptr;
  int m_lodLevel = 0;
  bool m_lodShowFirstFrame = false;

  // Saved by MakeStill.
  struct st_Still {
    bool active = false;
    gfx::cl_TextureStrip* strip = nullptr;
    gfx::cl_Image* image = nullptr;
    float offset[2] = {0.0f, 0.0f};
    base::tString<base::BaseString> file;
  } m_still;
};

class cl_HeavenLayer final : public cl_Layer {
 public:
  explicit cl_HeavenLayer(cl_Scene* scene) : cl_Layer(scene) {}

  bool Load(const base::Variant& description, bool lazy, bool compressAllowed) override;
  void Render(float originX, float originY, float unused1, float unused2) override;
  bool Read(base::File& file) override;
  bool Write(base::File& file) override;
  void Update(float dt) override;  // the scroll only: sky layers run neither fades nor strips

  bool IsScrolling() const { return m_scroll; }
  float GetScrollOffset() const { return m_scrollOffset; }
  float GetScrollStep() const { return m_scrollStep; }
  void SetScroll(bool on, float step) { m_scroll = on, m_scrollStep = step; }

 private:
  float ImageSpan() const;

  float m_scrollOffset = 0.0f;  // screen pixels
  float m_scrollStep = 0.1f;
  bool m_scroll = false;
};

// i32 count, then each layer's record in list order.
template <class T>
bool WriteLayerList(base::File& file, const std::list<T*>& layers) {
  const int count = static_cast<int>(layers.size());
  bool ok = file.write(&count, 4);
  for (T* layer : layers) ok = layer->Write(file) && ok;
  return ok;
}

// The one strip whose detail follows the scene level: "shadow" of "Scenes/BerlinStreet/
// shadow.tst" shows its first frame only below full detail.
void ApplyShadowStripLOD(gfx::cl_TextureStrip* strip, const char* label, const char* file);

}  // namespace quillane
