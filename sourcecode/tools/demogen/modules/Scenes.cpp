// The demo scenes' pictures (Scenes/<scene>/*.tga) from the scene tables: the painted background,
// the layers of props the characters walk behind, the sky of the open-air quay, the strips (the
// desk lamp's flicker, the glints on the water), the special-effect layers (a blurred background,
// the masks over shadows and reflections), and the light picture that lights a character by
// where it stands. On request (demogen --projects) each scene's ProjectFile.xml with the layers,
// nav meshes, lights, locators and the hotspot outlines (the props' outlines on the image).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/math/Noise.h"
#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"
#include "core/ScenePictures.h"
#include "core/SceneTables.h"

namespace demogen {

namespace {

struct st_Layer {
  const char* group;
  std::string label, file;
  float x, y, w, h;
  int ysort;
  std::vector<std::pair<const char*, std::string>> extra;  // further attributes
};

struct st_Painted {
  std::vector<st_Layer> layers;
  std::vector<std::pair<std::string, std::vector<tV2>>> hotspots;
};

std::string Folder(const st_DemoScene& s) { return std::string("Scenes/") + s.name + "/"; }

base::cl_Bitmap32 Canvas(const st_DemoScene& s) {
  base::cl_Bitmap32 canvas;
  canvas.Create(s.width, s.height);  // clear
  return canvas;
}

st_Layer FullLayer(const char* group, const std::string& label, const std::string& file, const st_DemoScene& s) {
  return {group, label, file, 0.0f, 0.0f, static_cast<float>(s.width), static_cast<float>(s.height), 0, {}};
}

// ---- hotspot outlines

float Cross(const tV2& o, const tV2& a, const tV2& b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

std::vector<tV2> ConvexHull(std::vector<tV2> p) {
  std::sort(p.begin(), p.end(), [](const tV2& a, const tV2& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  std::vector<tV2> hull(2 * p.size());
  size_t k = 0;
  for (size_t i = 0; i < p.size(); ++i) {
    while (k >= 2 && Cross(hull[k - 2], hull[k - 1], p[i]) <= 0) --k;
    hull[k++] = p[i];
  }
  for (size_t i = p.size() - 1, t = k + 1; i > 0; --i) {
    while (k >= t && Cross(hull[k - 2], hull[k - 1], p[i - 1]) <= 0) --k;
    hull[k++] = p[i - 1];
  }
  hull.resize(k > 1 ? k - 1 : k);
  return hull;
}

std::vector<tV2> HotspotOutline(const cl_SceneRender& render, const st_SceneHotspot& h) {
  std::vector<tV2> points;
  if (!h.points.empty()) {
    for (const tV3& p : h.points) points.push_back(render.Project(p));
    return points;
  }
  for (const char* part : h.parts)
    for (const st_SceneSolid* s : render.Scene().Part(part))
      for (int i = 0; i < 8; ++i) {
        const tV2 p =
            render.Project(tV3(i & 1 ? s->hi.x : s->lo.x, i & 2 ? s->hi.y : s->lo.y, i & 4 ? s->hi.z : s->lo.z));
        for (const tV2 grow : {tV2(-h.pad, -h.pad), tV2(h.pad, -h.pad), tV2(h.pad, h.pad), tV2(-h.pad, h.pad)})
          points.push_back(p + grow);
      }
  return ConvexHull(points);
}

// ---- pictures painted from the rendered scene

// The background softened, shown in place of the layers while the story blurs the room.
base::cl_Bitmap32 Blurred(const base::cl_Bitmap32& picture, int radius) {
  base::cl_Bitmap32 out = picture;
  for (int pass = 0; pass < 2; ++pass) {
    const base::cl_Bitmap32 in = out;
    for (int y = 0; y < in.Height(); ++y)
      for (int x = 0; x < in.Width(); ++x) {
        int sum[4] = {0, 0, 0, 0}, n = 0;
        for (int d = -radius; d <= radius; ++d) {
          const int sx = pass == 0 ? std::clamp(x + d, 0, in.Width() - 1) : x,
                    sy = pass == 1 ? std::clamp(y + d, 0, in.Height() - 1) : y;
          const base::Color32 c = in.Point(sx, sy);
          sum[0] += c.r, sum[1] += c.g, sum[2] += c.b, sum[3] += c.a, ++n;
        }
        *out.Pixel(x, y) =
            base::Color32(static_cast<unsigned char>(sum[0] / n), static_cast<unsigned char>(sum[1] / n),
                          static_cast<unsigned char>(sum[2] / n), static_cast<unsigned char>(sum[3] / n));
      }
  }
  return out;
}

// Over everything but the floor, the background again: a shadow or reflection stays on the floor.
base::cl_Bitmap32 FloorMask(const st_ScenePictures& p, float floorCover) {
  base::cl_Bitmap32 mask = p.background;
  for (int y = 0; y < mask.Height(); ++y)
    for (int x = 0; x < mask.Width(); ++x)
      if (p.ShowsFloor(x, y))
        mask.Pixel(x, y)->a = static_cast<unsigned char>(std::lround(floorCover * mask.Point(x, y).a));
  return mask;
}

// What a character standing on each floor point is lit by: the scene's light a metre up, seen
// from above and from the camera's side.
base::cl_Bitmap32 LightPicture(const cl_SceneRender& render) {
  const st_DemoScene& s = render.Scene();
  base::cl_Bitmap32 picture = Canvas(s);
  const tV3 eye(s.camera.position[0], s.camera.position[1], s.camera.position[2]);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      tV3 origin, direction;
      render.EyeRay(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, origin, direction);
      // Rows above the horizon take the far floor's light.
      const float t = direction.y < -0.02f ? -origin.y / direction.y : -origin.y / -0.02f;
      const tV3 p = origin + direction * t + tV3(0.0f, 100.0f, 0.0f);
      const tV3 toCamera = tV3(eye.x - p.x, 0.0f, eye.z - p.z).normal();
      const st_Rgb light = render.LightAt(p, tV3(0.0f, 1.0f, 0.0f)) * 0.5f + render.LightAt(p, toCamera) * 0.5f;
      auto channel = [](float v) {
        return static_cast<uint32_t>(std::lround(std::pow(std::clamp(v * 0.8f, 0.0f, 1.0f), 1.0f / 2.2f) * 255.0f));
      };
      *picture.Pixel(x, y) =
          base::Color32(0xFF000000u | channel(light.r) << 16 | channel(light.g) << 8 | channel(light.b));
    }
  return picture;
}

// Strip frames: scene-sized, clear outside what they show.
template <typename tPaint>
bool WriteStrip(cl_Output& out, const st_DemoScene& s, const char* name, int frames, tPaint paint) {
  bool ok = true;
  for (int n = 0; n < frames; ++n) {
    base::cl_Bitmap32 canvas = Canvas(s);
    paint(canvas, n);
    ok &=
        out.WriteTga(Folder(s) + "TextureStrips/" + name + "/" + name + "_" + std::to_string(n) + ".tga", canvas, true);
  }
  return ok;
}

void Glow(base::cl_Bitmap32& canvas, tV2 at, float radius, uint32_t rgb, float strength) {
  cl_Painter painter(canvas);
  for (int y = static_cast<int>(at.y - radius); y <= static_cast<int>(at.y + radius); ++y)
    for (int x = static_cast<int>(at.x - radius); x <= static_cast<int>(at.x + radius); ++x) {
      const float d = std::hypot(static_cast<float>(x) + 0.5f - at.x, static_cast<float>(y) + 0.5f - at.y) / radius;
      if (d < 1.0f) painter.Blend(x, y, 0xFF000000u | rgb, strength * (1.0f - d) * (1.0f - d));
    }
}

// ---- the scenes' own extras

void PaintOfficeExtras(cl_Output& out, const st_DemoScene& s, const st_ScenePictures& p, st_Painted& painted,
                       bool& ok) {
  // The desk lamp's bulb flickers a little; the strip sorts with the desk and is drawn over it.
  const tV2 bulb = p.render->Project(tV3(80.0f, 108.0f, -88.0f));
  ok &= WriteStrip(out, s, "lamp", 4, [&](base::cl_Bitmap32& c, int n) {
    static const float kStrength[4] = {0.32f, 0.4f, 0.28f, 0.36f};
    Glow(c, bulb, 34.0f + 3.0f * static_cast<float>(n), 0xFFD890, kStrength[n]);
  });
  st_Layer lamp = FullLayer("StageElements", "lamp", "lamp.tst", s);
  for (const st_PaintedLayer& l : p.layers)
    if (std::strcmp(l.table->label, "desk") == 0) lamp.ysort = l.ysort;
  lamp.extra = {{"playmode", "1"}, {"frame_step", "0.1"}, {"LOD_level", "0"}, {"LOD_show_first_frame", "1"}};
  painted.layers.push_back(lamp);

  // A dark vignette at the picture's edges, as an old photograph.
  base::cl_Bitmap32 frame = Canvas(s);
  cl_Painter vignette(frame);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const float d = static_cast<float>(std::min(std::min(x, s.width - 1 - x), std::min(y, s.height - 1 - y)));
      if (d < 48.0f) vignette.Blend(x, y, 0xFF0A0604u, 0.55f * (1.0f - d / 48.0f) * (1.0f - d / 48.0f));
    }
  ok &= out.WriteTga(Folder(s) + "frame.tga", frame, true);
  painted.layers.push_back(FullLayer("ForegroundElements", "frame", "frame.tga", s));
  ok &= out.WriteTga(Folder(s) + "blur.tga", Blurred(p.View(), 6), false);
  painted.layers.push_back(FullLayer("SpecialFX", "blur", "blur.tga", s));
  ok &= out.WriteTga(Folder(s) + "shadowmask.tga", FloorMask(p, 0.0f), true);
  painted.layers.push_back(FullLayer("SpecialFX", "shadowmask", "shadowmask.tga", s));

  // A picture in no project: the scene editor's road adds it and crops it to the crate.
  base::cl_Bitmap32 crate = Canvas(s);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 112; ++x) {
      const bool edge = x < 6 || y < 6 || x >= 106 || y >= 90 || std::abs(x - y * 112 / 96) < 4;
      *crate.Pixel(s.width / 2 + x, s.height - 200 + y) = base::Color32(edge ? 0xFF5A3A1C : 0xFF9C6B3A);
    }
  ok &= out.WriteTga(Folder(s) + "crate.tga", crate, true);
}

void PaintQuayExtras(cl_Output& out, const st_DemoScene& s, const st_ScenePictures& p, st_Painted& painted, bool& ok) {
  ok &= out.WriteTga(Folder(s) + "sky.tga", p.sky, true);
  st_Layer sky = FullLayer("HeavenElements", "sky", "sky.tga", s);
  sky.h = static_cast<float>(p.skyRows);
  sky.extra = {{"scroll", "1"}, {"scroll_step", "0.2"}};
  painted.layers.insert(painted.layers.begin(), sky);

  // The harbour lamp's light, shown once the lamp burns.
  // The centre of the lantern's glass (the scene table's lamp).
  const tV2 head = p.render->Project(tV3(140.0f, 352.0f, -20.0f));
  base::cl_Bitmap32 glow = Canvas(s);
  Glow(glow, head, 56.0f, 0xFFE6A0, 0.9f);
  cl_Painter(glow).Disc(head.x, head.y, 9.0f, 0xFFFFF4D0);
  ok &= out.WriteTga(Folder(s) + "lamp_glow.tga", glow, true);
  st_Layer glowLayer = FullLayer("StageElements", "lamp_glow", "lamp_glow.tga", s);
  // The box around the light, cut to the picture: the lantern stands near its top.
  glowLayer.x = std::floor(head.x - 60.0f), glowLayer.y = std::max(0.0f, std::floor(head.y - 60.0f));
  glowLayer.w = 120.0f, glowLayer.h = std::floor(head.y + 60.0f) - glowLayer.y;
  // Sorted a line in front of the lamp post, so the light falls over the lantern and someone
  // passing in front of the post still hides it.
  for (const st_PaintedLayer& l : p.layers)
    if (std::strcmp(l.table->label, "lamppost") == 0) glowLayer.ysort = l.ysort + 1;
  painted.layers.push_back(glowLayer);

  // Glints on the water, moving along the swell.
  ok &= WriteStrip(out, s, "waves", 4, [&](base::cl_Bitmap32& c, int n) {
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) {
        if (!p.Shows(x, y, en_Material::Water)) continue;
        const float v = WaterGlint(x, y, static_cast<float>(n) * 0.9f);
        if (v > 0.0f) *c.Pixel(x, y) = base::Color32(static_cast<uint32_t>(v * 110.0f) << 24 | 0xC8D8E8u);
      }
  });
  st_Layer waves = FullLayer("StageElements", "waves", "waves.tst", s);
  waves.extra = {{"playmode", "1"}, {"frame_step", "0.15"}, {"LOD_level", "0"}, {"LOD_show_first_frame", "0"}};
  // The glints lie on the open water, behind everyone: a sort line in the sky meets no floor, and
  // such a layer is drawn first (the default line, the picture's bottom, would put it in front).
  waves.ysort = 1;
  painted.layers.push_back(waves);
}

void PaintStageExtras(cl_Output& out, const st_DemoScene& s, const st_ScenePictures& p, st_Painted& painted, bool& ok) {
  // The polished deck shows the dancers' reflections faintly.
  ok &= out.WriteTga(Folder(s) + "mirrormask.tga", FloorMask(p, 0.7f), true);
  painted.layers.push_back(FullLayer("SpecialFX", "mirrormask", "mirrormask.tga", s));
}

st_Painted PaintScene(cl_Output& out, const st_DemoScene& s, bool& ok) {
  const st_ScenePictures& p = PaintedScene(s);
  st_Painted painted;
  ok &= out.WriteTga(Folder(s) + "background.tga", p.background, s.outside == en_Outside::Transparent);
  painted.layers.push_back(FullLayer("BackgroundElements", "background", "background.tga", s));
  for (const st_PaintedLayer& l : p.layers) {
    const std::string file = std::string(l.table->label) + ".tga";
    ok &= out.WriteTga(Folder(s) + file, l.picture, true);
    painted.layers.push_back({l.table->group,
                              l.table->label,
                              file,
                              static_cast<float>(l.x0),
                              static_cast<float>(l.y0),
                              static_cast<float>(l.x1 - l.x0),
                              static_cast<float>(l.y1 - l.y0),
                              l.ysort,
                              {}});
  }
  const std::string name = s.name;
  if (name == "Office") PaintOfficeExtras(out, s, p, painted, ok);
  if (name == "Quay") PaintQuayExtras(out, s, p, painted, ok);
  if (name == "Stage") PaintStageExtras(out, s, p, painted, ok);
  std::string light = "light_" + name + ".tga";
  std::transform(light.begin(), light.end(), light.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  ok &= out.WriteTga(Folder(s) + light, LightPicture(*p.render), false);
  for (const st_SceneHotspot& h : s.hotspots) painted.hotspots.push_back({h.label, HotspotOutline(*p.render, h)});
  return painted;
}

// ---- ProjectFile.xml

std::string Num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
  return buffer;
}

void Set(base::Variant& e, const char* name, const std::string& value) { e.attribute(name)->set_string(value.c_str()); }

base::Variant& Child(base::Variant& group, const char* tag) { return group.add_element(tag); }

base::Variant ProjectOf(const st_DemoScene& s, const st_Painted& painted) {
  base::Variant root;
  root.set_element("Project");
  Set(root, "name", s.name), Set(root, "w", std::to_string(s.width)), Set(root, "h", std::to_string(s.height));
  Set(root, "character_scale", "1");
  static const char* const kGroups[] = {"HeavenElements", "BackgroundElements", "StageElements", "ForegroundElements", "SpecialFX",
                                        "Objects3D",      "NavMeshes",          "Lights",        "Locators",           "HotSpots"};
  for (const char* g : kGroups) root.add_element(g);
  for (const st_Layer& l : painted.layers) {
    base::Variant& e = Child(*root.get_element(l.group), "Layer");
    Set(e, "label", l.label), Set(e, "file", l.file);
    Set(e, "x", Num(l.x)), Set(e, "y", Num(l.y)), Set(e, "w", Num(l.w)), Set(e, "h", Num(l.h));
    if (l.ysort) Set(e, "ysort", std::to_string(l.ysort));
    for (const auto& [name, value] : l.extra) Set(e, name, value);
  }
  base::Variant& nav = *root.get_element("NavMeshes");
  // Labelled, as every light below: the scene editor's tree selects elements by their label.
  for (const st_SceneFloor& f : s.floors) {
    base::Variant& mesh = Child(nav, "NavMesh");
    Set(mesh, "label", std::strcmp(f.file, "pier.lwo") == 0 ? "pier" : "floor"), Set(mesh, "file", f.file);
  }
  // Characters take their light from the light picture where they stand, a soft key light from
  // above the camera for their shape, and a blob of shadow at their feet.
  base::Variant& lights = *root.get_element("Lights");
  if (s.exposure != 1.0f) Set(lights, "exposure", Num(s.exposure));
  std::string light = std::string("light_") + s.name + ".tga";
  std::transform(light.begin(), light.end(), light.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  base::Variant& ambient = Child(lights, "Light");
  Set(ambient, "label", "ambient"), Set(ambient, "type", "ambient"), Set(ambient, "file", light);
  base::Variant& key = Child(lights, "Light");
  Set(key, "label", "directional"), Set(key, "type", "directional"), Set(key, "nx", "0.3"), Set(key, "ny", "-0.6"), Set(key, "nz", "-0.75");
  Set(key, "color_r", "96"), Set(key, "color_g", "90"), Set(key, "color_b", "84"), Set(key, "color_a", "255");
  base::Variant& shadow = Child(lights, "Light");
  Set(shadow, "label", "blobbshadow"), Set(shadow, "type", "blobbshadow");
  base::Variant& locators = *root.get_element("Locators");
  for (const st_SceneLocator& l : s.locators) {
    base::Variant& e = Child(locators, "Locator");
    Set(e, "label", l.label), Set(e, "x", Num(l.at.x)), Set(e, "y", "0"), Set(e, "z", Num(l.at.y));
    Set(e, "yaw", Num(LocatorYaw(l)));
    for (const tV2& p : l.area) {
      base::Variant& point = Child(e, "Point");
      Set(point, "x", Num(p.x)), Set(point, "y", "0"), Set(point, "z", Num(p.y));
    }
  }
  base::Variant& hotspots = *root.get_element("HotSpots");
  for (const auto& [label, outline] : painted.hotspots) {
    base::Variant& e = Child(hotspots, "HotSpot");
    Set(e, "label", label);
    for (const tV2& p : outline) {
      base::Variant& point = Child(e, "Point");
      Set(point, "x", std::to_string(static_cast<int>(std::lround(p.x)))), Set(point, "y", std::to_string(static_cast<int>(std::lround(p.y))));
    }
  }
  return root;
}

}  // namespace

bool MakeScenes(cl_Output& out) {
  bool ok = true;
  for (const st_DemoScene& s : DemoScenes()) PaintScene(out, s, ok);
  return ok;
}

bool WriteSceneProjects(const std::string& dataDir) {
  // The painting is repeated into a scratch output: the outlines and layer boxes come from it.
  bool ok = true;
  cl_Output scratch(dataDir);
  for (const st_DemoScene& s : DemoScenes()) {
    const st_Painted painted = PaintScene(scratch, s, ok);
    const std::string path = dataDir + "/Scenes/" + s.name + "/ProjectFile.xml";
    ok &= base::xml::write_file(ProjectOf(s, painted), path.c_str());
  }
  return ok;
}

}  // namespace demogen
