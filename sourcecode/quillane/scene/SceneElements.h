// The scene's element records besides layers and nav meshes: named locators (a point with an
// orientation, optionally covering a floor area), clickable hotspots (an outline on the scene
// image) and lights (a kind, a vector and a colour picture over the scene). Each is built from
// its description element and written to / read from the compiled scene file.
#pragma once

#include <cstdint>

#include "base/Imaging.h"
#include "base/String.h"
#include "graphics/Camera.h"
#include "graphics/mesh/Geometry.h"

namespace base {
class File;
class Variant;
}  // namespace base

namespace quillane {

class cl_Scene;

class cl_SceneLocator {
 public:
  // "label", "x", "y", "z", "yaw", "pitch", "roll"; each child one area point ("x", "z").
  void ReadFromDescription(const base::Variant& element);
  bool Write(base::File& file) const;
  bool Read(base::File& file);  // false (logged, file failed) on a damaged record

  // The name centred over the projected position, black shadow then white.
  void DrawName(const base::cl_Camera& camera) const;
  // The area as a blue fan on the floor with its open outline (three points or more), then the
  // "axis" model at the locator.
  void DrawDebug() const;

  base::tString<base::BaseString> name;
  base::cl_Locator locator;
  base::Polygon2 areaPolygon;  // (x, z) floor points
};

class cl_SceneHotspot {
 public:
  // "label"; each child one outline point ("x", "y").
  void ReadFromDescription(const base::Variant& element);
  bool Write(base::File& file) const;
  bool Read(base::File& file);

  // The caption at the outline's mean screen point + labelOffset: white when highlight > 0,
  // else grey; as a framed bubble when bubble is set.
  void DrawCaption(const cl_Scene& scene, const char* textKey, float highlight, bool bubble) const;
  // As DrawCaption with a text already localised.
  void DrawCaptionText(const cl_Scene& scene, const char16_t* text, float highlight, bool bubble) const;
  // Outline markers, lines and label in (200, 150, 150), for every hotspot while the hotspot
  // display is on, else only for the selected element.
  void DrawDebug(const cl_Scene& scene) const;

  base::tString<base::BaseString> label;
  base::Polygon2 outline;  // scene pixels
  float labelOffset[2] = {0.0f, 0.0f};
};

// ORDER LIGHTKIND: the description words of LightKindFromWord follow these values.
enum en_SceneLightKind : int32_t {
  LIGHT_AMBIENT = 0,
  LIGHT_DIRECTIONAL = 1,
  LIGHT_POINT = 2,
  LIGHT_BLOBSHADOW = 3,
  LIGHT_PROJECTIONSHADOW = 4,
};
en_SceneLightKind LightKindFromWord(const char* word);

class cl_SceneLight {
 public:
  // "type", "nx", "ny", "nz", "range", "color_r/g/b/a", "intensity", "file" (a picture in
  // scenePath over the scene image of the given size, kept at an eighth of it).
  void ReadFromDescription(const base::Variant& element, const char* scenePath, float sceneWidth, float sceneHeight);
  bool Write(base::File& file) const;
  bool Read(base::File& file);
  // The light's colour at (u, v) of the scene image (each 0..1), alpha 255. Without a colour
  // picture the light's own colour.
  uint32_t SampleColour(float u, float v) const;

  base::tString<base::BaseString> name;
  // The description's label, by which the editors find the live light; not compiled (the
  // compiled record keeps its name).
  base::tString<base::BaseString> label;
  base::tVector3<float> vector;  // a direction, or a point light's position
  float range = 0.0f;
  int32_t kind = LIGHT_AMBIENT;
  base::cl_Bitmap24 colourImage;
  float intensity = 1.0f;
  cl_Scene* owner = nullptr;
  uint32_t colour = 0xFFFFFFFFu;
};

}  // namespace quillane
