#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "lwo_test_support.h"

namespace {

using namespace lwotest;
using base::LwoId;
using base::LwoLayer;
using base::LwoObject;
using base::LwoSurface;
using base::LwoTexture;

std::vector<std::string> SurfaceNames(const LwoObject& o) {
  std::vector<std::string> names;
  for (const LwoSurface* s = o.surfaces.first; s; s = s->next) names.push_back(s->name);
  return names;
}

const LwoSurface* Surface(const LwoObject& o, const char* name) {
  for (const LwoSurface* s = o.surfaces.first; s; s = s->next) {
    if (s->name == name) return s;
  }
  return nullptr;
}

TEST(LwoRead, CurrentFormObjectReadsBackAsWritten) {
  testsupport::LogCapture log;
  const ReadResult r = ReadBytes(FullObject());
  ASSERT_TRUE(r.object) << (log.get().empty() ? "" : log.get().back());
  const LwoObject& o = *r.object;
  EXPECT_TRUE(log.get().empty());

  ASSERT_EQ(o.layerCount(), 2);
  const LwoLayer& l0 = *o.layers.first;
  EXPECT_EQ(l0.name, "base");
  EXPECT_FLOAT_EQ(l0.pivot[0], 0.5f);
  ASSERT_EQ(l0.points.count(), 5);
  EXPECT_FLOAT_EQ(l0.points.points[3].pos[1], 3);
  ASSERT_EQ(l0.polygons.count(), 3);
  EXPECT_EQ(l0.polygons.vertexCount(), 10);
  EXPECT_EQ(l0.polygons.polygons[2].type, LwoId("FACE"));
  EXPECT_EQ(l0.polygons.polygons[2].vertexCount, 4);
  EXPECT_EQ(l0.polygons.polygons[2].vertices[0].point, 4);
  EXPECT_EQ(l0.polygons.polygons[2].smoothingGroup, 1);
  // The bounding box of the file is kept.
  EXPECT_FLOAT_EQ(l0.bbox[0], -5);
  EXPECT_FLOAT_EQ(l0.bbox[5], 5);

  const LwoLayer& l1 = *l0.next;
  EXPECT_EQ(l1.name, "second");
  EXPECT_EQ(l1.index, 1);
  EXPECT_EQ(l1.points.count(), 3);
  EXPECT_EQ(l1.polygons.count(), 1);
  // Without "BBOX" the box is measured.
  const float box[6] = {7, 7, 7, 8, 8, 7};
  for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(l1.bbox[i], box[i]) << i;

  // Point-to-polygon lists and polygon normals.
  const auto& listed = l0.points.points[2].polygons;
  EXPECT_EQ(std::vector<int>(listed.begin(), listed.end()), (std::vector<int>{0, 1, 2}));
  EXPECT_FLOAT_EQ(l0.polygons.polygons[0].normal[2], 1.0f);

  // Vertex maps: two per point, two per polygon, referenced from points and corners.
  ASSERT_EQ(l0.vmapCount(), 4);
  EXPECT_EQ(l0.vmaps.first->type, LwoId("TXUV"));
  EXPECT_EQ(l0.vmaps.first->entryCount, 3);
  ASSERT_EQ(l0.points.points[0].vmapRefs.size(), 2u);
  EXPECT_FLOAT_EQ(l0.points.points[0].vmapRefs[0].vmap->value(0)[1], 0.75f);
  EXPECT_EQ(l0.points.points[0].vmapRefs[1].vmap->type, LwoId("WGHT"));
  const auto& corner = l0.polygons.polygons[1].vertices[0];  // polygon 1, point 0
  ASSERT_EQ(corner.vmapRefs.size(), 2u);
  EXPECT_EQ(corner.vmapRefs[0].vmap->type, LwoId("WGHT"));
  EXPECT_FLOAT_EQ(corner.vmapRefs[1].vmap->value(corner.vmapRefs[1].entry)[0], 0.5f);
  // An entry naming a point its polygon does not use is ignored.
  for (int k = 0; k < 3; ++k) {
    for (const auto& ref : l0.polygons.polygons[0].vertices[k].vmapRefs) EXPECT_NE(ref.vmap->type, LwoId("TXUV"));
  }

  // Surfaces: the two of the file, then the default one for the tag "Rope".
  EXPECT_EQ(SurfaceNames(o), (std::vector<std::string>{"Wood", "Metal", "Rope"}));
  EXPECT_EQ(l0.polygons.polygons[1].surface, Surface(o, "Rope"));
  EXPECT_EQ(l1.polygons.polygons[0].surface, Surface(o, "Wood"));
  const LwoSurface& wood = *Surface(o, "Wood");
  EXPECT_FLOAT_EQ(wood.color.rgb[2], 0.125f);
  EXPECT_FLOAT_EQ(wood.diffuse.value, 0.75f);
  EXPECT_EQ(wood.diffuse.envelope, 1);
  EXPECT_FLOAT_EQ(wood.smoothingAngle, 1.5f);
  EXPECT_EQ(wood.sides, 3);
  const LwoSurface& metal = *Surface(o, "Metal");
  EXPECT_EQ(metal.sourceName, "Wood");
  EXPECT_FLOAT_EQ(metal.glossiness.value, 0.9f);
  EXPECT_EQ(metal.line.enabled, 1);

  // Clip and envelope.
  ASSERT_EQ(o.clipCount(), 1);
  const base::LwoClip& clip = *o.clips.first;
  EXPECT_EQ(clip.type, LwoId("STIL"));
  EXPECT_EQ(clip.still.name, "images/wood.tga");
  EXPECT_FLOAT_EQ(clip.duration, 10);
  EXPECT_FLOAT_EQ(clip.frameRate, 24);
  EXPECT_FLOAT_EQ(clip.gamma.value, 2.2f);
  EXPECT_FLOAT_EQ(clip.contrast.value, 1.0f);
  ASSERT_EQ(clip.imageFilters.count, 1);
  EXPECT_EQ(clip.imageFilters.first->name, "Blur");
  EXPECT_EQ(clip.imageFilters.first->data, (std::vector<unsigned char>{42}));

  ASSERT_EQ(o.envelopeCount(), 1);
  const base::LwoEnvelope& env = *o.envelopes.first;
  EXPECT_EQ(env.name, "Position.X");
  EXPECT_EQ(env.postBehavior, 4);
  ASSERT_EQ(env.keyCount(), 3);
  const base::LwoKey* k0 = env.keys.first;
  EXPECT_FLOAT_EQ(k0->time, 0);
  EXPECT_EQ(k0->shape, LwoId("BEZ2"));
  EXPECT_FLOAT_EQ(k0->params[3], 4);
  EXPECT_FLOAT_EQ(k0->next->time, 0.5f);
  const base::LwoKey* k2 = env.keys.last;
  EXPECT_FLOAT_EQ(k2->value, 5);
  EXPECT_EQ(k2->shape, LwoId("TCB "));
  EXPECT_FLOAT_EQ(k2->continuity, 0.2f);
}

TEST(LwoRead, TextureBlocksKeptPerChannelInOrdinalOrder) {
  const ReadResult r = ReadBytes(FullObject());
  ASSERT_TRUE(r.object);
  const LwoSurface& wood = *Surface(*r.object, "Wood");

  // Colour: the block ordered 0x70 comes before the one ordered 0x80.
  ASSERT_EQ(wood.color.textures.count, 2);
  const LwoTexture& first = *wood.color.textures.first;
  EXPECT_EQ(first.order, "\x70");
  EXPECT_EQ(first.imageMap.clip, 2);
  const LwoTexture& image = *first.next;
  EXPECT_EQ(image.type, LwoId("IMAP"));
  EXPECT_EQ(image.opacityType, 1);
  EXPECT_FLOAT_EQ(image.opacity.value, 0.5f);
  EXPECT_FLOAT_EQ(image.tmap.size.value[2], 4);
  EXPECT_FLOAT_EQ(first.tmap.size.value[0], 1);  // default
  EXPECT_EQ(image.tmap.coordinateSystem, 1);
  EXPECT_EQ(image.imageMap.projection, 5);
  EXPECT_EQ(image.imageMap.vmapName, "uv");
  EXPECT_EQ(image.imageMap.wrapHeight, 2);

  ASSERT_EQ(wood.diffuse.textures.count, 1);
  const LwoTexture& proc = *wood.diffuse.textures.first;
  EXPECT_EQ(proc.enabled, 0);
  EXPECT_FLOAT_EQ(proc.procedural.values[1], 0.2f);
  EXPECT_FLOAT_EQ(proc.procedural.values[2], 0.0f);
  EXPECT_EQ(proc.procedural.name, "Turbulence");
  EXPECT_EQ(proc.procedural.data, (std::vector<unsigned char>{7, 9}));

  ASSERT_EQ(wood.bump.textures.count, 1);
  const base::LwoGradient& grad = wood.bump.textures.first->gradient;
  EXPECT_EQ(grad.paramName, "Slope");
  EXPECT_FLOAT_EQ(grad.start, -1);
  ASSERT_EQ(grad.keys.size(), 2u);
  EXPECT_FLOAT_EQ(grad.keys[1].value, 1);
  EXPECT_FLOAT_EQ(grad.keys[1].output[2], 0);
  EXPECT_EQ(grad.interpolation, (std::vector<int>{1, 2}));

  ASSERT_EQ(wood.shaderCount(), 1);
  EXPECT_EQ(wood.shaders.first->name, "Halftone");
  EXPECT_EQ(wood.shaders.first->enabled, 1);

  // The block of an unknown channel is dropped; no other list holds it.
  int kept = 0;
  for (const auto* list : {&wood.luminosity.textures, &wood.specularity.textures, &wood.glossiness.textures,
                           &wood.reflection.value.textures, &wood.transparency.value.textures,
                           &wood.refractiveIndex.textures, &wood.translucency.textures}) {
    kept += list->count;
  }
  EXPECT_EQ(kept, 0);
}

TEST(LwoRead, DefaultSurfacesForTagsWithoutSurface) {
  IffWriter w;
  w.Chunk("FORM").Id("LWO2");
  Tags(w, {"A", "B", "C"});
  Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  Faces(w, {{0, 1, 2}, {0, 1, 2}, {0, 1, 2}});
  PolygonTags(w, "SURF", {{0, 2}, {1, 0}, {2, 2}});
  w.Chunk("SURF").S0("B").S0("").End();
  const ReadResult r = ReadBytes(w.End().bytes());
  ASSERT_TRUE(r.object);
  // Made when first met, each once; "B" stays the file's.
  EXPECT_EQ(SurfaceNames(*r.object), (std::vector<std::string>{"B", "C", "A"}));
  const LwoSurface& c = *Surface(*r.object, "C");
  EXPECT_FLOAT_EQ(c.color.rgb[1], 0.78431f);
  EXPECT_FLOAT_EQ(c.diffuse.value, 1.0f);
  EXPECT_FLOAT_EQ(c.glossiness.value, 0.4f);
  EXPECT_FLOAT_EQ(c.bump.value, 1.0f);
  EXPECT_FLOAT_EQ(c.refractiveIndex.value, 1.0f);
  EXPECT_EQ(c.sides, 1);
  EXPECT_EQ(r.object->layers.first->polygons.polygons[1].surface, Surface(*r.object, "A"));
  // No "LAYR": the one layer the object starts with.
  EXPECT_EQ(r.object->layerCount(), 1);
}

TEST(LwoRead, OddChunkSizesArePadded) {
  IffWriter w;
  w.Chunk("FORM").Id("LWO2");
  w.Chunk("TAGS").Raw(std::string("Wood\0", 5)).End();  // 5 bytes, 6 in the file
  Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  w.Chunk("ZZZZ").U1(9).End();  // unknown, odd, skipped with its pad
  Faces(w, {{0, 1, 2}});
  const std::string bytes = w.End().bytes();
  ASSERT_EQ(bytes.size(), 12u + 14 + 44 + 10 + 20);
  const ReadResult r = ReadBytes(bytes);
  ASSERT_TRUE(r.object);
  EXPECT_EQ(r.object->tags.names, (std::vector<std::string>{"Wood"}));
  EXPECT_EQ(r.object->layers.first->points.count(), 3);
  EXPECT_EQ(r.object->layers.first->polygons.count(), 1);
}

// Two triangles sharing the edge from point 0 to point 1; the second is tilted so that the
// normals differ by degrees. The corner normal at point 0 of the first triangle.
struct Hinge {
  float degrees;
  float smoothingAngle;
  bool separateGroups;
};

std::array<float, 3> HingeCornerNormal(const Hinge& h) {
  const float a = h.degrees * 3.14159265f / 180.0f;
  IffWriter w;
  w.Chunk("FORM").Id("LWO2");
  Tags(w, {"Default", "group"});
  Points(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -std::cos(a), std::sin(a)}});
  Faces(w, {{0, 1, 2}, {1, 0, 3}});
  if (h.separateGroups) PolygonTags(w, "SMGP", {{1, 1}});
  w.Chunk("SURF").S0("Default").S0("").Sub("SMAN").F4(h.smoothingAngle).End().End();
  const ReadResult r = ReadBytes(w.End().bytes());
  EXPECT_TRUE(r.object);
  if (!r.object) return {};
  const auto& v = r.object->layers.first->polygons.polygons[0].vertices[0];
  EXPECT_EQ(v.point, 0);
  return {v.normal[0], v.normal[1], v.normal[2]};
}

TEST(LwoRead, VertexNormalsSmoothWithinAngleAndGroup) {
  const float half80 = 40.0f * 3.14159265f / 180.0f;  // the average of two normals 80° apart
  const float half89 = 44.5f * 3.14159265f / 180.0f;
  struct Case {
    const char* name;
    Hinge hinge;
    std::array<float, 3> normal;
  };
  const Case cases[] = {
      {"80 degrees within 1.5", {80, 1.5f, false}, {0, std::sin(half80), std::cos(half80)}},
      {"89 degrees beyond 1.5", {89, 1.5f, false}, {0, 0, 1}},
      {"89 degrees within the older form's 1.56207", {89, 1.56207f, false}, {0, std::sin(half89), std::cos(half89)}},
      {"angle 0 keeps the face normal", {10, 0, false}, {0, 0, 1}},
      {"other smoothing group never mixes", {10, 1.5f, true}, {0, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto n = HingeCornerNormal(c.hinge);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(n[i], c.normal[i], 1e-5f) << i;
  }
}

TEST(LwoRead, OlderFormObjectWithDetailPolygonsAndConvertedSurface) {
  const ReadResult r = ReadBytes(OldObject());
  ASSERT_TRUE(r.object);
  const LwoObject& o = *r.object;
  EXPECT_EQ(o.layerCount(), 1);
  const LwoLayer& l = *o.layers.first;
  ASSERT_EQ(l.polygons.count(), 3);
  EXPECT_EQ(l.polygons.polygons[0].vertexCount, 4);
  EXPECT_EQ(l.polygons.polygons[1].vertexCount, 3);  // the detail polygon
  EXPECT_EQ(l.polygons.polygons[1].type, LwoId("FACE"));
  EXPECT_EQ(SurfaceNames(o), (std::vector<std::string>{"Hull", "Deck"}));
  EXPECT_EQ(l.polygons.polygons[0].surface->name, "Hull");
  EXPECT_EQ(l.polygons.polygons[1].surface->name, "Deck");
  EXPECT_EQ(l.polygons.polygons[2].surface->name, "Deck");

  const LwoSurface& hull = *o.surfaces.first;
  EXPECT_FLOAT_EQ(hull.color.rgb[0], 1.0f);
  EXPECT_FLOAT_EQ(hull.color.rgb[2], 0.2f);
  EXPECT_FLOAT_EQ(hull.diffuse.value, 0.5f);
  EXPECT_NEAR(hull.glossiness.value, 0.2f, 1e-5f);
  EXPECT_FLOAT_EQ(hull.smoothingAngle, 1.56207f);

  // Image names became clips: the reflection image, then the texture's.
  ASSERT_EQ(o.clipCount(), 2);
  EXPECT_EQ(hull.reflection.clip, 1);
  EXPECT_EQ(o.clips.last->still.name, "planks.tga");

  ASSERT_EQ(hull.color.textures.count, 1);
  const LwoTexture& t = *hull.color.textures.first;
  EXPECT_EQ(t.type, LwoId("IMAP"));
  EXPECT_EQ(t.imageMap.projection, 0);
  EXPECT_EQ(t.imageMap.clip, 2);
  EXPECT_EQ(t.imageMap.axis, 1);
  EXPECT_EQ(t.negative, 1);
  EXPECT_FLOAT_EQ(t.tmap.size.value[1], 2);
  ASSERT_EQ(hull.bump.textures.count, 1);
  EXPECT_EQ(hull.bump.textures.first->type, LwoId("PROC"));
  EXPECT_FLOAT_EQ(hull.bump.textures.first->procedural.values[0], 0.25f);
  ASSERT_EQ(hull.shaderCount(), 1);
  EXPECT_EQ(hull.shaders.first->data, (std::vector<unsigned char>{1, 2}));

  // The velocity made three linear envelopes from the centre, the first one the centre's.
  ASSERT_EQ(o.envelopeCount(), 3);
  EXPECT_EQ(t.tmap.center.envelope, 1);
  const char* names[3] = {"Position.X", "Position.Y", "Position.Z"};
  int i = 0;
  for (const base::LwoEnvelope* e = o.envelopes.first; e; e = e->next, ++i) {
    EXPECT_EQ(e->name, names[i]);
    EXPECT_EQ(e->preBehavior, 5);
    EXPECT_EQ(e->postBehavior, 5);
    ASSERT_EQ(e->keyCount(), 2);
    EXPECT_FLOAT_EQ(e->keys.last->time, 1);
  }
  EXPECT_FLOAT_EQ(o.envelopes.first->keys.first->value, 1);
  EXPECT_FLOAT_EQ(o.envelopes.first->keys.last->value, 16);
}

TEST(LwoRead, FileAndMemoryGiveTheSameObject) {
  testsupport::TempDir dir;
  dir.write("full.lwo", FullObject());
  unsigned id = 0;
  int pos = -1;
  ObjectPtr fromFile(base::LwoReadObject(dir.path("full.lwo").c_str(), &id, &pos));
  ASSERT_TRUE(fromFile);
  const ReadResult fromMemory = ReadBytes(FullObject());
  EXPECT_EQ(SurfaceNames(*fromFile), SurfaceNames(*fromMemory.object));
  EXPECT_EQ(fromFile->layers.last->points.count(), 3);
  EXPECT_EQ(fromFile->layers.first->polygons.vertexCount(), fromMemory.object->layers.first->polygons.vertexCount());

  // A damaged file reports the same place either way.
  std::string bad = FullObject().substr(0, 200);
  dir.write("bad.lwo", bad);
  testsupport::LogCapture log;
  EXPECT_FALSE(ObjectPtr(base::LwoReadObject(dir.path("bad.lwo").c_str(), &id, &pos)));
  const ReadResult badMemory = ReadBytes(bad);
  EXPECT_EQ(id, badMemory.failId);
  EXPECT_EQ(pos, badMemory.failPos);
  EXPECT_TRUE(log.contains("bad.lwo"));

  // A missing file leaves the fault outputs alone.
  id = 7;
  pos = 7;
  EXPECT_FALSE(ObjectPtr(base::LwoReadObject(dir.path("none.lwo").c_str(), &id, &pos)));
  EXPECT_EQ(id, 7u);
  EXPECT_EQ(pos, 7);
}

}  // namespace

namespace {

// Writes the test objects as the fuzz target's seed corpus:
//   test_lwo --gtest_also_run_disabled_tests --gtest_filter='*WriteFuzzSeeds' with
//   QUILLANE_LWO_SEEDS set to fuzz/corpus/lwo_reader.
TEST(LwoRead, DISABLED_WriteFuzzSeeds) {
  const char* dir = std::getenv("QUILLANE_LWO_SEEDS");
  ASSERT_TRUE(dir);
  const std::pair<const char*, std::string> seeds[] = {
      {"full.lwo", lwotest::FullObject()},
      {"old.lwo", lwotest::OldObject()},
      {"hinge.lwo", lwotest::SimpleObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -0.2f, 1}}, {{0, 1, 2}, {1, 0, 3}}, 1.5f)},
      {"empty_polygon.lwo", lwotest::SimpleObject({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {}, {2, 1, 0}})},
      {"nan_point.lwo", lwotest::SimpleObject({{0, 0, 0}, {std::nanf(""), 0, 0}, {0, 1, 0}}, {{0, 1, 2}})},
  };
  for (const auto& [name, bytes] : seeds) {
    std::ofstream(std::string(dir) + "/" + name, std::ios::binary) << bytes;
  }
}

}  // namespace
