// The character viewer's demo files: a material script beside each figure's mesh
// ("<label>_material.txt": skin and cloth share the body texture, the hair blends, the last line
// has no line break), the coat figure "characters/mina_coat/" that the actor list does not name
// yet (mesh, skeleton with an idle clip, two textures, material script), and the lip-sync test
// "editor/lipsync_data/": a spoken-sounding line as 16-bit WAV and its phoneme timings
// ("phn start end weight code", milliseconds).
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "base/Imaging.h"
#include "core/Modules.h"
#include "core/Output.h"

namespace demogen {

namespace {

constexpr int kWavRate = 22050;

std::string MaterialScript(const std::string& label) {
  return "// " + label + "'s materials\n"
         "material " + label + "_skin\n{\n\ttechnique\n\t{\n\t\tpass\n\t\t{\n\t\t\ttexture_unit\n\t\t\t{\n"
         "\t\t\t\ttexture " + label + "_body.tga\n\t\t\t}\n\t\t}\n\t}\n}\n"
         "material " + label + "_cloth\n{\n\ttechnique\n\t{\n\t\tpass\n\t\t{\n\t\t\ttexture_unit\n\t\t\t{\n"
         "\t\t\t\ttexture " + label + "_body.tga\n\t\t\t}\n\t\t}\n\t}\n}\n"
         "material " + label + "_hair\n{\n\ttechnique\n\t{\n\t\tpass\n\t\t{\n\t\t\tscene_blend alpha_blend\n"
         "\t\t\ttexture_unit\n\t\t\t{\n\t\t\t\ttexture " + label + "_hair.tga\n\t\t\t}\n\t\t}\n\t}\n}";
}

// ---- the coat: a tapered eight-sided tube from the hip (bone 0) to the shoulders (bone 1) and a
// cap on top, in two submeshes "mina_coat_cloth" and "mina_coat_hair".

struct st_Ring {
  float y, radius;
  int bone;
};

std::string Num(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", static_cast<double>(v));
  return text;
}

std::string Submesh(const char* material, const std::vector<st_Ring>& rings) {
  constexpr int kSides = 8;
  std::string faces, vertices, bones;
  int faceCount = 0;
  for (size_t r = 0; r < rings.size(); ++r) {
    for (int s = 0; s < kSides; ++s) {
      const float a = 2.0f * std::numbers::pi_v<float> * static_cast<float>(s) / kSides;
      const float x = std::sin(a), z = std::cos(a);
      vertices += "\t\t\t\t\t<vertex><position x=\"" + Num(x * rings[r].radius) + "\" y=\"" + Num(rings[r].y) +
                  "\" z=\"" + Num(z * rings[r].radius) + "\"/><normal x=\"" + Num(x) + "\" y=\"0\" z=\"" + Num(z) +
                  "\"/><texcoord u=\"" + Num(static_cast<float>(s) / kSides) + "\" v=\"" +
                  Num(static_cast<float>(r) / static_cast<float>(rings.size() - 1)) + "\"/></vertex>\n";
      bones += "\t\t\t\t<vertexboneassignment vertexindex=\"" + std::to_string(r * kSides + s) + "\" boneindex=\"" +
               std::to_string(rings[r].bone) + "\" weight=\"1\"/>\n";
      if (r + 1 == rings.size()) continue;
      const int a0 = static_cast<int>(r) * kSides + s, a1 = static_cast<int>(r) * kSides + (s + 1) % kSides;
      const int b0 = a0 + kSides, b1 = a1 + kSides;
      faces += "\t\t\t\t<face v1=\"" + std::to_string(a0) + "\" v2=\"" + std::to_string(a1) + "\" v3=\"" +
               std::to_string(b1) + "\"/>\n\t\t\t\t<face v1=\"" + std::to_string(a0) + "\" v2=\"" +
               std::to_string(b1) + "\" v3=\"" + std::to_string(b0) + "\"/>\n";
      faceCount += 2;
    }
  }
  return std::string("\t\t<submesh material=\"") + material +
         "\" usesharedvertices=\"false\" use32bitindexes=\"false\" operationtype=\"triangle_list\">\n"
         "\t\t\t<faces count=\"" + std::to_string(faceCount) + "\">\n" + faces +
         "\t\t\t</faces>\n\t\t\t<geometry vertexcount=\"" + std::to_string(rings.size() * kSides) +
         "\">\n\t\t\t\t<vertexbuffer positions=\"true\" normals=\"true\" texture_coord_dimensions_0=\"2\" "
         "texture_coords=\"1\">\n" + vertices + "\t\t\t\t</vertexbuffer>\n\t\t\t</geometry>\n\t\t\t<boneassignments>\n" +
         bones + "\t\t\t</boneassignments>\n\t\t</submesh>\n";
}

std::string CoatMesh() {
  return "<mesh>\n\t<submeshes>\n" +
         Submesh("mina_coat_cloth", {{20, 24, 0}, {90, 17, 0}, {130, 19, 1}, {145, 7, 1}}) +
         Submesh("mina_coat_hair", {{145, 9, 1}, {160, 11, 1}, {172, 6, 1}}) + "\t</submeshes>\n</mesh>\n";
}

std::string CoatSkeleton() {
  std::string keys;
  for (int k = 0; k <= 4; ++k) {
    const float t = 0.5f * static_cast<float>(k);
    const float angle = 0.05f * std::sin(std::numbers::pi_v<float> * t);
    keys += "\t\t\t\t\t\t<keyframe time=\"" + Num(t) + "\"><translate x=\"0\" y=\"0\" z=\"0\"/><rotate angle=\"" +
            Num(std::fabs(angle)) + "\"><axis x=\"0\" y=\"0\" z=\"" + (angle < 0 ? "-1" : "1") +
            "\"/></rotate></keyframe>\n";
  }
  std::string x = "<skeleton>\n\t<bones>\n"
                  "\t\t<bone id=\"0\" name=\"Coat_Hip\"><position x=\"0\" y=\"90\" z=\"0\"/><rotation angle=\"0\">"
                  "<axis x=\"1\" y=\"0\" z=\"0\"/></rotation></bone>\n"
                  "\t\t<bone id=\"1\" name=\"Coat_Chest\"><position x=\"0\" y=\"40\" z=\"0\"/><rotation angle=\"0\">"
                  "<axis x=\"1\" y=\"0\" z=\"0\"/></rotation></bone>\n"
                  "\t</bones>\n\t<bonehierarchy>\n\t\t<boneparent bone=\"Coat_Chest\" parent=\"Coat_Hip\"/>\n"
                  "\t</bonehierarchy>\n\t<animations>\n\t\t<animation name=\"idle\" length=\"2\">\n\t\t\t<tracks>\n";
  for (const char* bone : {"Coat_Hip", "Coat_Chest"})
    x += std::string("\t\t\t\t<track bone=\"") + bone + "\">\n\t\t\t\t\t<keyframes>\n" + keys +
         "\t\t\t\t\t</keyframes>\n\t\t\t\t</track>\n";
  return x + "\t\t\t</tracks>\n\t\t</animation>\n\t</animations>\n</skeleton>\n";
}

base::cl_Bitmap32 Swatch(base::Color32 a, base::Color32 b, bool fadeAlpha) {
  base::cl_Bitmap32 image;
  image.Create(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      base::Color32 c = ((x / 4 + y / 4) % 2) ? a : b;
      if (fadeAlpha) c.a = static_cast<unsigned char>(255 - y * 4);
      *image.Pixel(x, y) = c;
    }
  return image;
}

// ---- the lip-sync test line: "Excuse me, please." as voiced and unvoiced stretches.

struct st_Phoneme {
  int startMs, endMs, weight;
  const char* code;
  float pitch;  // Hz; 0 for a hiss, below 0 for silence
};

const st_Phoneme kLine[] = {
    {0, 120, 100, "x", -1},      {120, 230, 100, "E", 180},  {230, 320, 70, "k", 0},
    {320, 420, 70, "s", 0},      {420, 560, 100, "UW", 170}, {560, 640, 70, "z", 0},
    {640, 720, 70, "MBP", 150},  {720, 860, 100, "IY", 190}, {860, 960, 100, "x", -1},
    {960, 1040, 70, "MBP", 0},   {1040, 1120, 70, "L", 160}, {1120, 1320, 100, "IY", 200},
    {1320, 1420, 70, "z", 0},    {1420, 1600, 100, "x", -1}};

std::vector<int16_t> Voice() {
  std::vector<int16_t> samples(static_cast<size_t>(kLine[std::size(kLine) - 1].endMs) * kWavRate / 1000);
  uint32_t noise = 12345;
  for (const st_Phoneme& p : kLine) {
    const size_t from = static_cast<size_t>(p.startMs) * kWavRate / 1000;
    const size_t to = std::min(samples.size(), static_cast<size_t>(p.endMs) * kWavRate / 1000);
    for (size_t i = from; i < to; ++i) {
      const float t = static_cast<float>(i) / kWavRate;
      const float edge = std::min(1.0f, std::min(float(i - from), float(to - i)) / 200.0f);
      float v = 0.0f;
      if (p.pitch > 0.0f) {
        for (int h = 1; h <= 6; ++h) v += std::sin(2.0f * std::numbers::pi_v<float> * p.pitch * h * t) / h;
        v *= 0.35f;
      } else if (p.pitch == 0.0f) {
        noise = noise * 1664525u + 1013904223u;
        v = 0.15f * (static_cast<float>(noise >> 16) / 32768.0f - 1.0f);
      }
      samples[i] = static_cast<int16_t>(v * edge * 32767.0f);
    }
  }
  return samples;
}

std::string Wav(const std::vector<int16_t>& samples) {
  auto u32 = [](std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
  };
  auto u16 = [](std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
  };
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  std::string w = "RIFF";
  u32(w, 36 + bytes);
  w += "WAVEfmt ";
  u32(w, 16);
  u16(w, 1);  // PCM
  u16(w, 1);  // mono
  u32(w, kWavRate);
  u32(w, kWavRate * 2);
  u16(w, 2);
  u16(w, 16);
  w += "data";
  u32(w, bytes);
  for (int16_t s : samples) u16(w, static_cast<uint16_t>(s));
  return w;
}

}  // namespace

bool MakeViewerData(cl_Output& out) {
  bool ok = true;
  for (const char* label : {"male", "female"})
    ok = out.WriteText(std::string("characters/") + label + "/" + label + "_material.txt", MaterialScript(label)) && ok;
  ok = out.WriteText("characters/mina_coat/mina_coat_mesh.xml", CoatMesh()) && ok;
  ok = out.WriteText("characters/mina_coat/mina_coat_skeleton.xml", CoatSkeleton()) && ok;
  ok = out.WriteText("characters/mina_coat/mina_coat_material.txt",
                     "material mina_coat_cloth\n{\n\ttexture mina_coat_body.tga\n}\nmaterial mina_coat_hair\n{\n"
                     "\tscene_blend alpha_blend\n\ttexture mina_coat_hair.tga\n}") &&
       ok;
  ok = out.WriteTga("characters/mina_coat/mina_coat_body.tga",
                    Swatch(base::Color32(90, 60, 40), base::Color32(110, 75, 50), false), false) &&
       ok;
  ok = out.WriteTga("characters/mina_coat/mina_coat_hair.tga",
                    Swatch(base::Color32(40, 25, 15), base::Color32(60, 40, 20), true), true) &&
       ok;
  const std::string wav = Wav(Voice());
  ok = out.WriteBytes("editor/lipsync_data/excuse_me_please.wav", wav.data(), wav.size()) && ok;
  std::string phn;
  for (const st_Phoneme& p : kLine)
    phn += "phn " + std::to_string(p.startMs) + " " + std::to_string(p.endMs) + " " + std::to_string(p.weight) + " " +
           p.code + "\n";
  return out.WriteText("editor/lipsync_data/denote_annosoft.txt", phn) && ok;
}

}  // namespace demogen
