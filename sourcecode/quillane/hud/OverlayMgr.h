// Overlays: short-lived pictures and texts the scene scripts lay over the game screen, each
// fading in, holding and fading out on its own clock: a full-screen image, a title line under
// the scene, a score change with its icon climbing the screen, and a dust effect. The session
// owns one cl_OverlayMgr, advances it (not while paused), draws layer 0 right after the
// interface bar and layer 1 on top of everything, and clears it when a game is loaded.
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/Imaging.h"
#include "base/String.h"
#include "graphics/Texture.h"

namespace gfx {
class cl_Image;
}  // namespace gfx

class cl_Overlay {
 public:
  virtual ~cl_Overlay() = default;
  virtual void Update(float dt);  // the clock advances
  virtual bool IsExpired() const;  // past fade in + hold + fade out
  // Rising over the fade in, 1 while held, falling over the fade out (phases of 0 are skipped).
  virtual float GetAlpha() const;
  virtual bool IsBusy() const { return false; }  // the player waits while it shows
  virtual void Render() = 0;

  float GetTotalTime() const { return m_fadeIn + m_hold + m_fadeOut; }
  void End() { m_elapsed = GetTotalTime() + 1.0f; }  // expires at the next look

  base::tString<base::BaseString> m_name;  // the type it was made for; RemoveOverlay matches it
  base::tString<base::BaseString> m_text;  // file name, text key or score value
  float m_fadeIn = 0.0f, m_hold = 0.0f, m_fadeOut = 0.0f;
  float m_elapsed = 0.0f;
  int m_layer = 0;
};

// "image": the picture file over the game viewport, scaled with the GUI; layer 1, busy.
class cl_ImageOverlay : public cl_Overlay {
 public:
  explicit cl_ImageOverlay(const char* file);
  ~cl_ImageOverlay() override;
  bool IsBusy() const override { return true; }
  void Render() override;

 private:
  gfx::cl_Image* m_image = nullptr;  // owned; null when the file cannot be read
};

// "text": a localised line in a rounded frame under the scene ("scene_undertitle"). Ends at once
// while the player is not free and on the first frame after a scene load.
class cl_TextOverlay : public cl_Overlay {
 public:
  explicit cl_TextOverlay(uint32_t colour) : m_colour(colour) {}
  void Render() override;
  uint32_t GetColour() const { return m_colour; }  // alpha in the top byte, then red, green, blue

 private:
  base::tString<base::BaseUnicodeString> m_wide;
  bool m_localized = false;
  uint32_t m_colour;
};

// "skill", "wealth", "spycraft": the signed value beside its icon, climbing from the screen's
// centre to its top over the overlay's life, with the score sound at its first drawing.
class cl_ScoreOverlay : public cl_Overlay {
 public:
  cl_ScoreOverlay(const char* type, const char* value);
  void Update(float dt) override;
  void Render() override;

  const base::tString<base::BaseUnicodeString>& GetText() const { return m_wide; }
  float GetY() const { return m_y; }

 private:
  gfx::cl_Image* m_icon = nullptr;  // a resource, not owned
  base::tString<base::BaseUnicodeString> m_wide;
  float m_x = 0.0f, m_y = 0.0f, m_rise = 0.0f;
  bool m_soundPending = true;
};

// Dust motes drifting over the game viewport where the mask picture, stretched over it, is not
// black. A missing or unreadable mask gives no motes.
class cl_DustEffect : public cl_Overlay {
 public:
  static constexpr int kMaxParticles = 10000;
  static constexpr int kSpawnTries = 10;
  struct st_Particle {
    float x, y, vx, vy, ax, ay, life, lifeSpeed, brightness, size;
  };

  // count is kept within 0 … kMaxParticles; the mask is a BMP file.
  cl_DustEffect(const char* maskFile, int count);
  void Update(float dt) override;
  bool IsExpired() const override { return false; }  // lasts until removed
  float GetAlpha() const override { return 1.0f; }
  void Render() override;

  const std::vector<st_Particle>& GetParticles() const { return m_particles; }
  // The motes the last Render drew: place, scale and grey (in the colour) of each.
  const std::vector<gfx::st_Sprite>& GetSprites() const { return m_sprites; }
  // True when the window point lies on a non-black mask pixel.
  bool InMask(float x, float y) const;

 private:
  void Spawn(st_Particle& p);
  void CollectSprites();  // the visible motes, for one draw

  std::vector<st_Particle> m_particles;
  std::vector<gfx::st_Sprite> m_sprites;
  base::cl_Bitmap32 m_mask;
};

class cl_OverlayMgr {
 public:
  cl_OverlayMgr() = default;
  ~cl_OverlayMgr() { Clear(); }
  cl_OverlayMgr(const cl_OverlayMgr&) = delete;
  cl_OverlayMgr& operator=(const cl_OverlayMgr&) = delete;

  // "image" (exactly) or "text", "skill", "wealth", "spycraft" (any case); appended with the
  // three times (negative ones count as 0). Null, nothing made, for any other type.
  cl_Overlay* CreateOverlay(const char* type, const char* text, float fadeIn, float hold, float fadeOut,
                            uint32_t colour);
  // A dust effect with the texture "helper/dust.tga" and the mask file; appended.
  cl_DustEffect* AddDustEffect(const char* maskFile, int count);
  void Update(float dt);             // every overlay, then the expired ones go
  void RemoveOverlay(const char* name);  // every overlay of that type name (exact)
  bool IsBusy() const;
  void RenderLayer(int layer);       // in creation order
  void Clear();

  size_t GetCount() const { return m_overlays.size(); }
  cl_Overlay* GetOverlay(size_t i) const { return i < m_overlays.size() ? m_overlays[i].get() : nullptr; }

 private:
  std::vector<std::unique_ptr<cl_Overlay>> m_overlays;
};
