#include "quillane/scene/SceneElements.h"

#include <algorithm>
#include <cmath>

#include "base/File.h"
#include "base/FileTools.h"
#include "base/data/Variant.h"
#include "base/resource/MultiFileFormatLoader.h"
#include "base/system.h"
#include "quillane/scene/SceneRecord.h"

namespace quillane {

namespace {

float FloatAttribute(const base::Variant& e, const char* name, float fallback) {
  float v = fallback;
  e.get_attribute_float(name, v);
  return SaneFloat(v);
}

// Area and outline points: every child element is one point.
void ReadPoints(const base::Variant& element, const char* xName, const char* yName, base::Polygon2& out) {
  out.points.clear();
  for (int i = 0; i < element.size(); ++i) {
    const base::Variant& child = element[i];
    if (!child.is_element()) continue;
    out.points.emplace_back(FloatAttribute(child, xName, 0.0f), FloatAttribute(child, yName, 0.0f));
  }
}

bool ReadPolygon(base::File& file, base::Polygon2& out, const char* record) {
  out.points.clear();
  int count = 0;
  if (!ReadCount(file, count, 8, record)) return false;
  out.points.resize(static_cast<size_t>(count));
  for (auto& p : out.points) {
    float xy[2];
    if (!ReadF32s(file, xy, 2, record)) {
      out.points.clear();
      return false;
    }
    p = base::tVector2<float>(xy[0], xy[1]);
  }
  return true;
}

}  // namespace

// ---- Locators

void cl_SceneLocator::ReadFromDescription(const base::Variant& element) {
  element.get_attribute_string("label", name);
  locator.SetPos(base::tVector3<float>(FloatAttribute(element, "x", 0.0f), FloatAttribute(element, "y", 0.0f),
                                       FloatAttribute(element, "z", 0.0f)));
  base::Quaternion q;
  q.set_yaw_pitch_roll(base::tVector3<float>(FloatAttribute(element, "yaw", 0.0f),
                                             FloatAttribute(element, "pitch", 0.0f),
                                             FloatAttribute(element, "roll", 0.0f)));
  locator.SetOrientation(q);
  ReadPoints(element, "x", "z", areaPolygon);
}

bool cl_SceneLocator::Write(base::File& file) const {
  const base::Quaternion& q = locator.GetOrientation();
  const base::tVector3<float>& p = locator.GetPos();
  const uint32_t reserved = 0;
  const float block[7] = {q.x, q.y, q.z, q.w, p.x, p.y, p.z};
  return name.Write(file) && file.write(&reserved, 4) && file.write(block, sizeof block) && areaPolygon.Write(&file);
}

bool cl_SceneLocator::Read(base::File& file) {
  uint32_t reserved = 0;
  float block[7];
  if (!ReadSceneString(file, name, "locator name") || !ReadU32(file, reserved, "locator block") ||
      !ReadF32s(file, block, 7, "locator block"))
    return false;
  base::Quaternion q;
  q.x = block[0], q.y = block[1], q.z = block[2], q.w = block[3];
  locator.SetOrientation(q);
  locator.SetPos(base::tVector3<float>(block[4], block[5], block[6]));
  return ReadPolygon(file, areaPolygon, "locator area");
}

// ---- Hotspots

void cl_SceneHotspot::ReadFromDescription(const base::Variant& element) {
  element.get_attribute_string("label", label);
  ReadPoints(element, "x", "y", outline);
}

bool cl_SceneHotspot::Write(base::File& file) const { return label.Write(file) && outline.Write(&file); }

bool cl_SceneHotspot::Read(base::File& file) {
  labelOffset[0] = labelOffset[1] = 0.0f;
  return ReadSceneString(file, label, "hotspot label") && ReadPolygon(file, outline, "hotspot outline");
}

// ---- Lights

en_SceneLightKind LightKindFromWord(const char* word) {
  // ORDER LIGHTKIND
  static const char* const kWords[] = {"directional", "point", "blobbshadow", "projectionshadow"};
  const base::tString<base::BaseString> w(word);
  for (int i = 0; i < 4; ++i)
    if (w == kWords[i]) return static_cast<en_SceneLightKind>(i + 1);
  return LIGHT_AMBIENT;
}

void cl_SceneLight::ReadFromDescription(const base::Variant& element, const char* scenePath, float sceneWidth,
                                        float sceneHeight) {
  base::tString<base::BaseString> type;
  element.get_attribute_string("type", type);
  kind = LightKindFromWord(type.c_str());
  label.clear();
  element.get_attribute_string("label", label);
  vector = base::tVector3<float>(FloatAttribute(element, "nx", 0.0f), FloatAttribute(element, "ny", 0.0f),
                                 FloatAttribute(element, "nz", 0.0f));
  if (kind != LIGHT_POINT) {
    // A zero vector stays zero rather than becoming NaN.
    const float length = std::sqrt(vector.x * vector.x + vector.y * vector.y + vector.z * vector.z);
    if (length > 0.0f) vector = base::tVector3<float>(vector.x / length, vector.y / length, vector.z / length);
  }
  range = FloatAttribute(element, "range", 0.0f);
  int r, g, b, a;
  if (element.get_attribute_int("color_r", r) && element.get_attribute_int("color_g", g) &&
      element.get_attribute_int("color_b", b) && element.get_attribute_int("color_a", a))
    colour = (static_cast<uint32_t>(a & 0xFF) << 24) | (static_cast<uint32_t>(r & 0xFF) << 16) |
             (static_cast<uint32_t>(g & 0xFF) << 8) | static_cast<uint32_t>(b & 0xFF);
  intensity = FloatAttribute(element, "intensity", 1.0f);
  colourImage.Release();
  base::tString<base::BaseString> file;
  if (!element.get_attribute_string("file", file) || file.empty()) return;
  base::tString<base::BaseString> path(scenePath);
  path += file;
  base::cl_Bitmap32 picture;
  if (!base::FileExists(path) ||
      !base::tMultiFileFormatLoader<base::cl_Bitmap32>::LoadFileMultiFormat(path.c_str(), &picture)) {
    base::sys::Output("Warning: light picture %s not found\n", path.c_str());
    return;
  }
  // The loader pads pictures to powers of two; the colours cover the scene image only.
  const int w = TruncToInt(sceneWidth), h = TruncToInt(sceneHeight);
  if (w > 0 && h > 0 && w <= picture.Width() && h <= picture.Height() && (w < picture.Width() || h < picture.Height())) {
    base::cl_Bitmap32 cut;
    cut.CreateFromRegion(picture, 0, 0, w, h);
    picture = std::move(cut);
  }
  colourImage = picture;
  for (int i = 0; i < 3; ++i) colourImage.MakeHalfsize();
}

bool cl_SceneLight::Write(base::File& file) const {
  const uint32_t reserved[2] = {0, 0};
  const bool hasPixels = !colourImage.IsEmpty() && colourImage.Width() > 0 && colourImage.Height() > 0;
  const uint32_t header[4] = {hasPixels ? static_cast<uint32_t>(colourImage.Width()) : 0u,
                              hasPixels ? static_cast<uint32_t>(colourImage.Height()) : 0u,
                              static_cast<uint32_t>(colourImage.OriginX()), static_cast<uint32_t>(colourImage.OriginY())};
  bool ok = name.Write(file) && file.write(&range, 4) && file.write(reserved, 8) && file.write(&vector.x, 4) &&
            file.write(&vector.y, 4) && file.write(&vector.z, 4) && file.write(&kind, 4) &&
            file.write(&intensity, 4) && file.write(header, 16);
  if (ok && hasPixels)
    ok = file.write(colourImage.GetPixels(), colourImage.Width() * colourImage.Height() * 3);
  return ok && file.write(&colour, 4);
}

bool cl_SceneLight::Read(base::File& file) {
  owner = nullptr;
  colourImage.Release();
  uint32_t reserved[2];
  float v[3];
  int32_t k = 0;
  uint32_t header[4];
  if (!ReadSceneString(file, name, "light name") || !ReadF32(file, range, "light range") ||
      !ReadU32(file, reserved[0], "light record") || !ReadU32(file, reserved[1], "light record") ||
      !ReadF32s(file, v, 3, "light vector") || !ReadI32(file, k, "light kind") ||
      !ReadF32(file, intensity, "light intensity"))
    return false;
  for (uint32_t& h : header)
    if (!ReadU32(file, h, "light picture header")) return false;
  vector = base::tVector3<float>(v[0], v[1], v[2]);
  kind = k;
  if (header[0] != 0 && header[1] != 0) {
    if (header[0] > static_cast<uint32_t>(kMaxSceneBitmapSide) || header[1] > static_cast<uint32_t>(kMaxSceneBitmapSide))
      return FailRecord(file, "light picture size");
    const int w = static_cast<int>(header[0]), h = static_cast<int>(header[1]);
    if (static_cast<int64_t>(w) * h * 3 > file.get_remaining()) return FailRecord(file, "light picture");
    colourImage.Create(w, h);
    if (!file.read(colourImage.GetPixels(), w * h * 3)) {
      colourImage.Release();
      return FailRecord(file, "light picture");
    }
    colourImage.SetOrigin(static_cast<int>(header[2]), static_cast<int>(header[3]));
  }
  return ReadU32(file, colour, "light colour");
}

uint32_t cl_SceneLight::SampleColour(float u, float v) const {
  // A light without a picture would be sampled outside it: it lights in its own colour.
  if (colourImage.IsEmpty() || colourImage.Width() < 2 || colourImage.Height() < 2) return colour | 0xFF000000u;
  u = u >= 0.0f ? std::min(u, 1.0f) : 0.0f;  // NaN counts as 0
  v = v >= 0.0f ? std::min(v, 1.0f) : 0.0f;
  const base::Color24 c = colourImage.SubPixelPoint(static_cast<float>(colourImage.Width() - 2) * u,
                                                    static_cast<float>(colourImage.Height() - 2) * v);
  return 0xFF000000u | (static_cast<uint32_t>(c.r) << 16) | (static_cast<uint32_t>(c.g) << 8) |
         static_cast<uint32_t>(c.b);
}

}  // namespace quillane
