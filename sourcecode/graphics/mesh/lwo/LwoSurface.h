// The shading records of a LightWave object: surfaces with their texture and shader blocks,
// image clips and envelopes. The mesh importer uses only surface names; the rest is read so that
// a file is understood whole and kept for other users of the object.
#pragma once

#include <string>
#include <vector>

#include "graphics/mesh/lwo/LwoList.h"

namespace base {

// A four-character identifier as the big-endian number the file holds ("SURF").
constexpr unsigned LwoId(const char (&s)[5]) {
  return (unsigned(static_cast<unsigned char>(s[0])) << 24) | (unsigned(static_cast<unsigned char>(s[1])) << 16) |
         (unsigned(static_cast<unsigned char>(s[2])) << 8) | unsigned(static_cast<unsigned char>(s[3]));
}
// The identifier as text for messages ("SURF"); bytes outside printable ASCII become '?'.
std::string LwoIdText(unsigned id);

struct LwoEParam {  // a value with an optional envelope (index, 0 for none)
  float value = 0;
  int envelope = 0;
};

struct LwoVParam {
  float value[3] = {0, 0, 0};
  int envelope = 0;
};

struct LwoTMap {  // where a texture sits on the object
  LwoVParam size{{1, 1, 1}, 0};
  LwoVParam center;
  LwoVParam rotate;
  LwoVParam falloff;
  int falloffType = 0;
  std::string referenceObject;
  int coordinateSystem = 0;
};

struct LwoImageMap {
  int projection = 0;  // 0 planar, 1 cylindrical, 2 spherical, 3 cubic, 4 front, 5 UV
  int axis = 0;
  std::string vmapName;
  int clip = 0;
  int wrapWidth = 0;  // wrap modes
  int wrapHeight = 0;
  LwoEParam wrapAmountWidth;
  LwoEParam wrapAmountHeight;
  int antialiasFlags = 0;
  float antialiasStrength = 0;
  int pixelBlending = 0;
  LwoEParam stick;
  LwoEParam amplitude;
};

struct LwoProcedural {
  int axis = 0;
  float values[3] = {0, 0, 0};
  std::string name;  // the plug-in function
  std::vector<unsigned char> data;
};

struct LwoGradientKey {
  float value = 0;                 // input
  float output[4] = {0, 0, 0, 0};  // output
};

struct LwoGradient {
  std::string paramName;
  std::string itemName;
  float start = 0;
  float end = 0;
  int repeat = 0;
  std::vector<LwoGradientKey> keys;
  std::vector<int> interpolation;  // one code per key
};

struct LwoTexture {
  LwoTexture* next = nullptr;
  LwoTexture* prev = nullptr;
  std::string order;  // ordinal string; a channel's textures are sorted by it, byte-wise
  unsigned type = 0;  // "IMAP", "PROC" or "GRAD"
  unsigned channel = 0;
  LwoEParam opacity{1.0f, 0};
  int opacityType = 0;
  int enabled = 1;
  int negative = 0;
  int axis = 0;
  LwoTMap tmap;
  LwoImageMap imageMap;      // "IMAP"
  LwoProcedural procedural;  // "PROC"
  LwoGradient gradient;      // "GRAD"
};

struct LwoTParam {  // a texturable value
  float value = 0;
  int envelope = 0;
  tLwoList<LwoTexture> textures;
};

struct LwoCParam {  // a texturable colour
  float rgb[3] = {0, 0, 0};
  int envelope = 0;
  tLwoList<LwoTexture> textures;
};

struct LwoRParam {  // reflection and transparency: the value and how it is traced
  LwoTParam value;
  int options = 0;
  int clip = 0;
  float seamAngle = 0;
};

// A plug-in reference: surface shaders, clip image and pixel filters, envelope channel filters.
struct LwoPlugin {
  LwoPlugin* next = nullptr;
  LwoPlugin* prev = nullptr;
  std::string order;  // shaders: ordinal string, sorted by it
  std::string name;
  int flags = 0;
  int enabled = 0;
  std::vector<unsigned char> data;
};
using LwoShader = LwoPlugin;

struct LwoSurface {
  LwoSurface* next = nullptr;
  LwoSurface* prev = nullptr;
  std::string name;
  std::string sourceName;
  LwoCParam color;
  LwoTParam luminosity, diffuse, specularity, glossiness;
  LwoRParam reflection, transparency;
  LwoTParam refractiveIndex, translucency, bump;
  float smoothingAngle = 0;  // radians
  int sides = 1;
  float alpha = 0;
  int alphaMode = 0;
  LwoEParam colorHighlights, colorFilter, additiveTransparency, diffuseSharpness, glow;
  struct {
    int enabled = 0;
    int flags = 0;
    LwoEParam size;
  } line;
  tLwoList<LwoShader> shaders;

  LwoSurface();  // the defaults of a surface the file does not describe
  int shaderCount() const { return shaders.count; }
};

struct LwoClip {
  LwoClip* next = nullptr;
  LwoClip* prev = nullptr;
  int index = 0;
  unsigned type = 0;  // "STIL", "ISEQ", "ANIM", "XREF" or "STCC"
  struct {
    std::string name;
  } still;
  struct {
    int digits = 0, flags = 0, offset = 0, start = 0, end = 0;
    std::string prefix, suffix;
  } sequence;
  struct {
    std::string name, server;
    std::vector<unsigned char> data;
  } anim;
  struct {
    int index = 0;
    std::string string;
  } xref;
  struct {
    int low = 0, high = 0;
    std::string name;
  } cycle;
  float start = 0;
  float duration = 0;
  float frameRate = 0;
  LwoEParam contrast{1.0f, 0};
  LwoEParam brightness{1.0f, 0};
  LwoEParam saturation{1.0f, 0};
  LwoEParam hue;
  LwoEParam gamma{1.0f, 0};
  int negative = 0;
  tLwoList<LwoPlugin> imageFilters;
  tLwoList<LwoPlugin> pixelFilters;
};

struct LwoKey {
  LwoKey* next = nullptr;
  LwoKey* prev = nullptr;
  float value = 0;
  float time = 0;
  unsigned shape = 0;  // "TCB ", "HERM", "BEZI", "BEZ2", "LINE", "STEP"
  float tension = 0, continuity = 0, bias = 0;
  float params[4] = {0, 0, 0, 0};
};

struct LwoEnvelope {
  LwoEnvelope* next = nullptr;
  LwoEnvelope* prev = nullptr;
  int index = 0;
  int type = 0;
  std::string name;
  tLwoList<LwoKey> keys;  // sorted by time
  int preBehavior = 0;
  int postBehavior = 0;
  tLwoList<LwoPlugin> channelFilters;

  int keyCount() const { return keys.count; }
  // Inserts key in time order (after keys of equal time) and takes ownership.
  void InsertKey(LwoKey* key);
};

}  // namespace base
