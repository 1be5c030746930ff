// What the models add to the demo data: the figures' textures (a 256² body sheet and a 128² hair
// sheet whose alpha alternates above and below one half, so both alpha passes of the skinned draw
// have texels), the body sheets of the actors that wear a figure in another coat, the round soft
// spot of the characters' blob shadows ("blobb") and the editors' static "axis" model, three
// coloured bars as an Ogre XML mesh.
#include <algorithm>
#include <cstdint>
#include <string>

#include "base/Imaging.h"
#include "core/Modules.h"
#include "core/Output.h"

namespace demogen {

namespace {

base::cl_Bitmap32 Sheet(int size, uint32_t (*texel)(int x, int y, int size)) {
  base::cl_Bitmap32 image;
  image.Create(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) image.GetPixels()[y * size + x] = base::Color32(static_cast<unsigned long>(texel(x, y, size)));
  return image;
}

// The face's swatches along the sheet's top edge (ORDER SWATCHES: AddFace in Figure.cpp): eye
// white, pupil, mouth, brow; 0 outside them.
uint32_t FaceSwatch(int x, int y, int size) {
  if (y >= size / 24 || x >= size / 4) return 0;
  static const uint32_t kSwatches[4] = {0xFFEDE6DAu, 0xFF1E1812u, 0xFF7A3028u, 0xFF3A2618u};
  return kSwatches[x * 16 / size];
}

// Warm skin above, a coat below, with a faint weave so the lighting shows on the cloth.
uint32_t BodySheetTexel(int x, int y, int size, uint32_t coat, uint32_t weaveCoat) {
  if (const uint32_t swatch = FaceSwatch(x, y, size)) return swatch;
  const bool weave = ((x / 4) + (y / 4)) % 2 == 0;
  if (y < size / 3) return 0xFFD8A888u;
  return weave ? coat : weaveCoat;
}

uint32_t BodyTexel(int x, int y, int size) { return BodySheetTexel(x, y, size, 0xFF34405Au, 0xFF2C3850u); }

// The actors built on the two figures differ in their coats only (characters/characters.xml).
struct st_Variant {
  const char* label;
  uint32_t (*texel)(int x, int y, int size);
};
const st_Variant kVariants[] = {
    {"quillane", [](int x, int y, int s) { return BodySheetTexel(x, y, s, 0xFF7A2E2Au, 0xFF6A2624u); }},
    {"odo", [](int x, int y, int s) { return BodySheetTexel(x, y, s, 0xFF4A4A40u, 0xFF3E3E36u); }},
    {"pell", [](int x, int y, int s) { return BodySheetTexel(x, y, s, 0xFF2E5A3Au, 0xFF264E32u); }},
    {"mina", [](int x, int y, int s) { return BodySheetTexel(x, y, s, 0xFF8A7A3Au, 0xFF7A6A32u); }},
    {"Quillane_EveningDress", [](int x, int y, int s) { return BodySheetTexel(x, y, s, 0xFF1A1A2Eu, 0xFF141426u); }},
    {"Quillane_DancingDress", [](int x, int y, int s) { return BodySheetTexel(x, y, s, 0xFFB0306Au, 0xFF9C285Eu); }},
};

// Black, darkest (alpha 160) in the middle and fading to nothing at the rim.
uint32_t BlobTexel(int x, int y, int size) {
  const float h = 0.5f * static_cast<float>(size);
  const float dx = (static_cast<float>(x) + 0.5f - h) / h, dy = (static_cast<float>(y) + 0.5f - h) / h;
  const float fade = std::max(0.0f, 1.0f - (dx * dx + dy * dy));
  return static_cast<uint32_t>(160.0f * fade * fade) << 24;
}

// Strands: opaque cores (alpha 230) and thin blended fringes (alpha 90).
uint32_t HairTexel(int x, int, int) { return (x % 6) < 4 ? 0xE65A3A22u : 0x5A7A5236u; }

std::string Num(float v) {
  std::string s = std::to_string(v);
  while (s.size() > 1 && s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

// A bar from the origin along one axis: a box of 8 corners, 12 triangles, one submesh.
std::string AxisBar(const char* name, int axis) {
  const float length = 100.0f, half = 2.0f;
  std::string x = std::string("\t\t<submesh material=\"") + name +
                  "\" usesharedvertices=\"false\" use32bitindexes=\"false\" operationtype=\"triangle_list\">\n"
                  "\t\t\t<faces count=\"12\">\n";
  static const int kFaces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                    {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
  for (const auto& f : kFaces)
    x += "\t\t\t\t<face v1=\"" + std::to_string(f[0]) + "\" v2=\"" + std::to_string(f[1]) + "\" v3=\"" +
         std::to_string(f[2]) + "\"/>\n";
  x += "\t\t\t</faces>\n\t\t\t<geometry vertexcount=\"8\">\n\t\t\t\t<vertexbuffer positions=\"true\" normals=\"true\">\n";
  for (int i = 0; i < 8; ++i) {
    float p[3];
    for (int a = 0, bit = 0; a < 3; ++a) {
      const bool high = (i >> bit++) & 1;
      p[a] = a == axis ? (high ? length : 0.0f) : (high ? half : -half);
    }
    // Corner normals point away from the bar's axis.
    float n[3] = {p[0], p[1], p[2]};
    n[axis] = 0.0f;
    x += "\t\t\t\t\t<vertex><position x=\"" + Num(p[0]) + "\" y=\"" + Num(p[1]) + "\" z=\"" + Num(p[2]) +
         "\"/><normal x=\"" + Num(n[0] / half * 0.7071f) + "\" y=\"" + Num(n[1] / half * 0.7071f) + "\" z=\"" +
         Num(n[2] / half * 0.7071f) + "\"/></vertex>\n";
  }
  return x + "\t\t\t\t</vertexbuffer>\n\t\t\t</geometry>\n\t\t</submesh>\n";
}

}  // namespace

bool MakeModels(cl_Output& out) {
  bool ok = true;
  for (const char* label : {"male", "female"}) {
    const std::string dir = std::string("characters/") + label + "/" + label;
    ok = out.WriteTga(dir + "_body.tga", Sheet(256, BodyTexel), false) && ok;
    ok = out.WriteTga(dir + "_hair.tga", Sheet(128, HairTexel), true) && ok;
  }
  for (const st_Variant& v : kVariants) {
    const std::string dir = std::string("characters/") + v.label + "/" + v.label;
    ok = out.WriteTga(dir + "_body.tga", Sheet(256, v.texel), false) && ok;
  }
  ok = out.WriteTga("characters/blobb.tga", Sheet(64, BlobTexel), true) && ok;
  const std::string axis = "<mesh>\n\t<submeshes>\n" + AxisBar("axis_x", 0) + AxisBar("axis_y", 1) +
                           AxisBar("axis_z", 2) + "\t</submeshes>\n</mesh>\n";
  return out.WriteText("editor/axis.xml", axis) && ok;
}

}  // namespace demogen
