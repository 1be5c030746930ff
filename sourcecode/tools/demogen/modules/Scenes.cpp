// The demo scenes' pictures (Scenes/<scene>/*.tga): layers painted by projecting the scene
// tables' floor and boxes through the engine's camera, strip frames under TextureStrips/, light
// colour pictures; and, on request (demogen --projects), each scene's ProjectFile.xml with the
// layers, hotspot outlines (the props' projected outlines), locators and lights.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "core/Modules.h"
#include "core/Output.h"
#include "core/Painter.h"
#include "core/SceneTables.h"

namespace demogen {

namespace {

using V2 = base::tVector2<float>;
using V3 = base::tVector3<float>;

struct st_Layer {
  const char* group;
  std::string label, file;
  float x, y, w, h;
  int ysort;
  std::vector<std::pair<const char*, std::string>> extra;  // further attributes
};

struct st_Painted {
  std::vector<st_Layer> layers;
  std::vector<std::pair<std::string, std::vector<V2>>> hotspots;
};

float Cross(const V2& o, const V2& a, const V2& b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

std::vector<V2> ConvexHull(std::vector<V2> p) {
  std::sort(p.begin(), p.end(), [](const V2& a, const V2& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  std::vector<V2> hull(2 * p.size());
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

// Even-odd fill of a polygon (any shape) at pixel centres.
void FillPolygon(base::cl_Bitmap32& canvas, const std::vector<V2>& poly, uint32_t colour) {
  cl_Painter painter(canvas);
  float minY = 1e9f, maxY = -1e9f;
  for (const V2& p : poly) minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  const int y0 = std::max(0, static_cast<int>(std::floor(minY))), y1 = std::min(canvas.Height() - 1, static_cast<int>(std::ceil(maxY)));
  for (int y = y0; y <= y1; ++y) {
    const float cy = static_cast<float>(y) + 0.5f;
    std::vector<float> xs;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
      const V2 &a = poly[i], &b = poly[j];
      if ((a.y > cy) != (b.y > cy)) xs.push_back(a.x + (cy - a.y) / (b.y - a.y) * (b.x - a.x));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t k = 0; k + 1 < xs.size(); k += 2)
      for (int x = std::max(0, static_cast<int>(std::lround(xs[k]))); x < std::min(canvas.Width(), static_cast<int>(std::lround(xs[k + 1]))); ++x)
        painter.Blend(x, y, colour, 1.0f);
  }
}

struct st_Projector {
  const st_DemoScene& scene;
  base::cl_Camera camera;
  V2 operator()(float x, float y, float z) const { return DemoSceneProject(scene, camera, V3(x, y, z)); }
};

std::vector<V2> BoxOutline(const st_Projector& at, const st_SceneBox& b) {
  std::vector<V2> corners;
  for (float y : {0.0f, b.height})
    for (float x : {b.x0, b.x1})
      for (float z : {b.z0, b.z1}) corners.push_back(at(x, y, z));
  return ConvexHull(corners);
}

// Sides in a darker shade, then the front face and the lighter top.
void PaintBox(base::cl_Bitmap32& canvas, const st_Projector& at, const st_SceneBox& b) {
  FillPolygon(canvas, BoxOutline(at, b), Mix(b.colour, 0xFF000000, 0.35f));
  FillPolygon(canvas, {at(b.x0, 0, b.z1), at(b.x1, 0, b.z1), at(b.x1, b.height, b.z1), at(b.x0, b.height, b.z1)}, b.colour);
  FillPolygon(canvas, {at(b.x0, b.height, b.z0), at(b.x1, b.height, b.z0), at(b.x1, b.height, b.z1), at(b.x0, b.height, b.z1)},
              Mix(b.colour, 0xFFFFFFFF, 0.25f));
}

base::cl_Bitmap32 Canvas(const st_DemoScene& s, uint32_t colour = 0x00000000) {
  base::cl_Bitmap32 canvas;
  canvas.Create(s.width, s.height);
  cl_Painter(canvas).Fill(colour);
  return canvas;
}

const st_SceneBox* Box(const st_DemoScene& s, const char* name) {
  for (const st_SceneBox& b : s.boxes)
    if (std::string(b.name) == name) return &b;
  return nullptr;
}

// A stage or foreground layer holding one prop, its rectangle the prop's outline box.
st_Layer PropLayer(cl_Output& out, const st_DemoScene& s, const st_Projector& at, const st_SceneBox& b,
                   const char* group, bool& ok) {
  base::cl_Bitmap32 canvas = Canvas(s);
  PaintBox(canvas, at, b);
  const std::string file = std::string(b.name) + ".tga";
  ok &= out.WriteTga(std::string("Scenes/") + s.name + "/" + file, canvas, true);
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (const V2& p : BoxOutline(at, b)) x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  x0 = std::max(0.0f, std::floor(x0)), y0 = std::max(0.0f, std::floor(y0));
  x1 = std::min(static_cast<float>(s.width), std::ceil(x1)), y1 = std::min(static_cast<float>(s.height), std::ceil(y1));
  const int ysort = static_cast<int>(std::max(at(b.x0, 0, b.z1).y, at(b.x1, 0, b.z1).y));
  return {group, b.name, file, x0, y0, x1 - x0, y1 - y0, ysort, {}};
}

st_Layer FullLayer(const char* group, const std::string& label, const std::string& file, const st_DemoScene& s) {
  return {group, label, file, 0.0f, 0.0f, static_cast<float>(s.width), static_cast<float>(s.height), 0, {}};
}

// Background: wall gradient, floor, the props not drawn as layers, and the reference dots.
// Rows above skyRows stay transparent, for a sky layer behind.
bool PaintBackground(cl_Output& out, const st_DemoScene& s, const st_Projector& at, const std::vector<std::string>& onLayers,
                     uint32_t wallTop, uint32_t wallBottom, uint32_t floorColour, int skyRows = 0) {
  base::cl_Bitmap32 canvas = Canvas(s);
  cl_Painter painter(canvas);
  painter.VerticalGradient(wallTop, wallBottom);
  for (int y = 0; y < std::min(skyRows, s.height); ++y)
    for (int x = 0; x < s.width; ++x) *canvas.Pixel(x, y) = base::Color32(0x00000000);
  const float* f = s.floor;
  FillPolygon(canvas, {at(f[0], 0, f[1]), at(f[2], 0, f[1]), at(f[2], 0, f[3]), at(f[0], 0, f[3])}, floorColour);
  FillPolygon(canvas, {at(f[0], 0, f[1]), at(f[2], 0, f[1]), at(f[2], 260, f[1]), at(f[0], 260, f[1])}, Mix(wallTop, floorColour, 0.5f));
  for (const st_SceneBox& b : s.boxes)
    if (std::find(onLayers.begin(), onLayers.end(), b.name) == onLayers.end()) PaintBox(canvas, at, b);
  for (const V3& r : s.references) {
    const V2 p = at(r.x, r.y, r.z);
    const int cx = static_cast<int>(std::floor(p.x)), cy = static_cast<int>(std::floor(p.y));
    for (int y = cy - 1; y <= cy + 1; ++y)
      for (int x = cx - 1; x <= cx + 1; ++x)
        if (x >= 0 && y >= 0 && x < s.width && y < s.height) *canvas.Pixel(x, y) = base::Color32(kReferenceMarker);
  }
  return out.WriteTga(std::string("Scenes/") + s.name + "/background.tga", canvas, skyRows > 0);
}

bool PaintLight(cl_Output& out, const st_DemoScene& s, const char* file, uint32_t left, uint32_t right) {
  base::cl_Bitmap32 canvas = Canvas(s);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      *canvas.Pixel(x, y) = base::Color32(Mix(left, right, static_cast<float>(x) / static_cast<float>(s.width - 1)));
  return out.WriteTga(std::string("Scenes/") + s.name + "/" + file, canvas, false);
}

// Strip frames: scene-sized, transparent outside what they show.
bool PaintStrip(cl_Output& out, const st_DemoScene& s, const char* name, int frames,
                void (*paint)(base::cl_Bitmap32&, int frame, const st_DemoScene&)) {
  bool ok = true;
  for (int n = 0; n < frames; ++n) {
    base::cl_Bitmap32 canvas = Canvas(s);
    paint(canvas, n, s);
    ok &= out.WriteTga(std::string("Scenes/") + s.name + "/TextureStrips/" + name + "/" + name + "_" + std::to_string(n) + ".tga",
                       canvas, true);
  }
  return ok;
}

std::vector<V2> Rect(float x0, float y0, float x1, float y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

st_Painted PaintOffice(cl_Output& out, const st_DemoScene& s, bool& ok) {
  const st_Projector at{s, DemoSceneCamera(s)};
  st_Painted p;
  ok &= PaintBackground(out, s, at, {"desk"}, 0xFF6E6358, 0xFF4A4038, 0xFF8C7256);
  p.layers.push_back(FullLayer("BackgroundElements", "background", "background.tga", s));
  p.layers.push_back(PropLayer(out, s, at, *Box(s, "desk"), "StageElements", ok));
  const V2 lampAt = at(60.0f, 110.0f, 0.0f);
  static V2 lampCentre;
  lampCentre = lampAt;
  ok &= PaintStrip(out, s, "lamp", 4, [](base::cl_Bitmap32& c, int n, const st_DemoScene&) {
    cl_Painter(c).Disc(lampCentre.x, lampCentre.y, 10.0f + 3.0f * static_cast<float>(n), 0xE0FFD070);
  });
  st_Layer lamp = FullLayer("StageElements", "lamp", "lamp.tst", s);
  lamp.extra = {{"playmode", "1"}, {"frame_step", "0.1"}, {"LOD_level", "0"}, {"LOD_show_first_frame", "1"}};
  p.layers.push_back(lamp);
  base::cl_Bitmap32 frame = Canvas(s);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if (x < 24 || y < 24 || x >= s.width - 24 || y >= s.height - 24) *frame.Pixel(x, y) = base::Color32(0xFF2A1E14);
  ok &= out.WriteTga("Scenes/Office/frame.tga", frame, true);
  p.layers.push_back(FullLayer("ForegroundElements", "frame", "frame.tga", s));
  base::cl_Bitmap32 blur = Canvas(s);
  cl_Painter(blur).Disc(200.0f, 160.0f, 90.0f, 0x30FFFFFF);
  ok &= out.WriteTga("Scenes/Office/blur.tga", blur, true);
  p.layers.push_back(FullLayer("SpecialFX", "blur", "blur.tga", s));
  base::cl_Bitmap32 mask = Canvas(s);
  for (int y = s.height - 120; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) *mask.Pixel(x, y) = base::Color32(Mix(0x00000000, 0x80000000, (y - s.height + 120) / 120.0f));
  ok &= out.WriteTga("Scenes/Office/shadowmask.tga", mask, true);
  p.layers.push_back(FullLayer("SpecialFX", "shadowmask", "shadowmask.tga", s));
  ok &= PaintLight(out, s, "light_office.tga", 0xFFFFD8A0, 0xFF90A8D0);

  p.hotspots.push_back({"shelf", BoxOutline(at, *Box(s, "shelf"))});
  p.hotspots.push_back({"drawer", BoxOutline(at, *Box(s, "desk"))});
  p.hotspots.push_back({"telegram", BoxOutline(at, {"telegram", -40.0f, -20.0f, 0.0f, 20.0f, 84.0f, 0})});
  // An L along the wall: the one concave outline of the demo.
  p.hotspots.push_back({"junction", {{120, 120}, {200, 120}, {200, 150}, {150, 150}, {150, 220}, {120, 220}}});
  const V2 d0 = at(-350.0f, 200.0f, -250.0f), d1 = at(-250.0f, 0.0f, -250.0f);
  p.hotspots.push_back({"door", Rect(d0.x, d0.y, d1.x, d1.y)});
  return p;
}

st_Painted PaintQuay(cl_Output& out, const st_DemoScene& s, bool& ok) {
  const st_Projector at{s, DemoSceneCamera(s)};
  st_Painted p;
  base::cl_Bitmap32 sky = Canvas(s);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < s.width; ++x) *sky.Pixel(x, y) = base::Color32(Mix(0xFF1A2850, 0xFF5A6A90, y / 199.0f));
  for (int i = 0; i < 40; ++i) cl_Painter(sky).Disc(static_cast<float>((i * 397) % s.width), static_cast<float>((i * 131) % 180), 1.5f, 0xFFFFFFE0);
  ok &= out.WriteTga("Scenes/Quay/sky.tga", sky, true);
  st_Layer skyLayer = FullLayer("HeavenElements", "sky", "sky.tga", s);
  skyLayer.h = 200.0f;
  skyLayer.extra = {{"scroll", "1"}, {"scroll_step", "0.2"}};
  p.layers.push_back(skyLayer);
  ok &= PaintBackground(out, s, at, {"kiosk", "bollard"}, 0xFF2A3448, 0xFF46505A, 0xFF6A6458, 200);
  // The background leaves the sky's band transparent: the sky layer shows through it.
  p.layers.push_back(FullLayer("BackgroundElements", "background", "background.tga", s));
  p.layers.push_back(PropLayer(out, s, at, *Box(s, "kiosk"), "StageElements", ok));
  base::cl_Bitmap32 glow = Canvas(s);
  const V2 lampTop = at(450.0f, 260.0f, -150.0f);
  cl_Painter(glow).Disc(lampTop.x, lampTop.y, 40.0f, 0x90FFE080);
  ok &= out.WriteTga("Scenes/Quay/lamp_glow.tga", glow, true);
  st_Layer glowLayer = FullLayer("StageElements", "lamp_glow", "lamp_glow.tga", s);
  glowLayer.x = std::max(0.0f, std::floor(lampTop.x - 44.0f)), glowLayer.y = std::max(0.0f, std::floor(lampTop.y - 44.0f));
  glowLayer.w = 88.0f, glowLayer.h = 88.0f;
  p.layers.push_back(glowLayer);
  ok &= PaintStrip(out, s, "waves", 4, [](base::cl_Bitmap32& c, int n, const st_DemoScene& sc) {
    for (int y = sc.height - 60; y < sc.height; ++y)
      for (int x = 0; x < sc.width; ++x)
        if (((x + n * 8 + (y / 6) * 5) / 16) % 3 == 0) *c.Pixel(x, y) = base::Color32(0xA04070B0);
  });
  st_Layer waves = FullLayer("StageElements", "waves", "waves.tst", s);
  waves.extra = {{"playmode", "1"}, {"frame_step", "0.05"}, {"LOD_level", "0"}, {"LOD_show_first_frame", "0"}};
  p.layers.push_back(waves);
  p.layers.push_back(PropLayer(out, s, at, *Box(s, "bollard"), "ForegroundElements", ok));
  ok &= PaintLight(out, s, "light_quay.tga", 0xFF8090C0, 0xFFFFD890);

  p.hotspots.push_back({"lamp", BoxOutline(at, *Box(s, "lamp"))});
  p.hotspots.push_back({"pumps", BoxOutline(at, {"pumps", -600.0f, -200.0f, -500.0f, -120.0f, 100.0f, 0})});
  const V2 g0 = at(550.0f, 120.0f, 200.0f), g1 = at(600.0f, 0.0f, 200.0f);
  p.hotspots.push_back({"gangway", Rect(g0.x, g0.y, g1.x, g1.y)});
  p.hotspots.push_back({"office_door", BoxOutline(at, {"door", -350.0f, -100.0f, -300.0f, -95.0f, 160.0f, 0})});
  return p;
}

st_Painted PaintStage(cl_Output& out, const st_DemoScene& s, bool& ok) {
  const st_Projector at{s, DemoSceneCamera(s)};
  st_Painted p;
  ok &= PaintBackground(out, s, at, {}, 0xFF20202A, 0xFF302838, 0xFF5A4A3A);
  p.layers.push_back(FullLayer("BackgroundElements", "background", "background.tga", s));
  base::cl_Bitmap32 mirror = Canvas(s);
  const float* f = s.floor;
  FillPolygon(mirror, {at(f[0], 0, f[1]), at(f[2], 0, f[1]), at(f[2], 0, f[3]), at(f[0], 0, f[3])}, 0x80808080);
  ok &= out.WriteTga("Scenes/Stage/mirrormask.tga", mirror, true);
  p.layers.push_back(FullLayer("SpecialFX", "mirrormask", "mirrormask.tga", s));
  return p;
}

st_Painted PaintScene(cl_Output& out, const st_DemoScene& s, bool& ok) {
  const std::string name = s.name;
  if (name == "Office") return PaintOffice(out, s, ok);
  if (name == "Quay") return PaintQuay(out, s, ok);
  return PaintStage(out, s, ok);
}

// ---- ProjectFile.xml

std::string Num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
  return buffer;
}

void Set(base::Variant& e, const char* name, const std::string& value) { e.attribute(name)->set_string(value.c_str()); }

base::Variant& Child(base::Variant& group, const char* tag) { return group.add_element(tag); }

void AddLocator(base::Variant& group, const char* label, float x, float z, float yaw, std::vector<V2> area = {}) {
  base::Variant& e = Child(group, "Locator");
  Set(e, "label", label), Set(e, "x", Num(x)), Set(e, "y", "0"), Set(e, "z", Num(z)), Set(e, "yaw", Num(yaw));
  for (const V2& p : area) {
    base::Variant& point = Child(e, "Point");
    Set(point, "x", Num(p.x)), Set(point, "y", "0"), Set(point, "z", Num(p.y));
  }
}

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
  Set(Child(nav, "NavMesh"), "file", "navmesh.xml");
  base::Variant& lights = *root.get_element("Lights");
  base::Variant& locators = *root.get_element("Locators");
  base::Variant& hotspots = *root.get_element("HotSpots");
  const std::string name = s.name;
  if (name == "Office") {
    Set(lights, "exposure", "1.1");
    base::Variant& ambient = Child(lights, "Light");
    Set(ambient, "type", "ambient"), Set(ambient, "file", "light_office.tga");
    base::Variant& sun = Child(lights, "Light");
    Set(sun, "type", "directional"), Set(sun, "nx", "0.3"), Set(sun, "ny", "-1"), Set(sun, "nz", "0.2");
    Set(sun, "color_r", "255"), Set(sun, "color_g", "240"), Set(sun, "color_b", "220"), Set(sun, "color_a", "255");
    AddLocator(locators, "Start", -200.0f, 150.0f, 0.0f);
    AddLocator(locators, "Window", -325.0f, -175.0f, 0.0f, {{-400, -250}, {-250, -250}, {-250, -100}, {-400, -100}});
  } else if (name == "Quay") {
    Set(Child(nav, "NavMesh"), "file", "pier.lwo");
    base::Variant& ambient = Child(lights, "Light");
    Set(ambient, "type", "ambient"), Set(ambient, "file", "light_quay.tga");
    base::Variant& lamp = Child(lights, "Light");
    Set(lamp, "type", "point"), Set(lamp, "nx", "450"), Set(lamp, "ny", "250"), Set(lamp, "nz", "-150"), Set(lamp, "range", "400");
    AddLocator(locators, "Start", -450.0f, 150.0f, 0.0f);
    AddLocator(locators, "PierEnd", 550.0f, 150.0f, 0.0f, {{500, 100}, {600, 100}, {600, 200}, {500, 200}});
    AddLocator(locators, "Kiosk", -300.0f, 50.0f, 0.0f);  // Mina's place, in front of her kiosk
  } else {
    AddLocator(locators, "DanceStartPos", 0.0f, 150.0f, 0.0f);
    for (int i = 0; i < 3; ++i) AddLocator(locators, ("Sit" + std::to_string(i)).c_str(), -250.0f + 250.0f * static_cast<float>(i), -200.0f, 3.14159f);
  }
  for (const auto& [label, outline] : painted.hotspots) {
    base::Variant& e = Child(hotspots, "HotSpot");
    Set(e, "label", label);
    for (const V2& p : outline) {
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
