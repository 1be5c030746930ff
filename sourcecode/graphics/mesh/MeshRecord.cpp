// The mesh record: label, flags, vertex usage, vertices, faces, regions and the bounding box,
// little-endian, no magic or version (ORDER MESHRECORD). Edges are rebuilt, not stored. The
// reader checks every count against the bytes left and every reference against its list.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/File.h"
#include "graphics/mesh/Mesh.h"
#include "graphics/mesh/RecordReader.h"

namespace base {

namespace {

// Smallest encodings, for the count checks: a vertex without bones, a face without corners, a
// region with an empty label and an empty tree record.
constexpr int kMinVertexBytes = 3 * 4 + 8 * 4 + 4 + 4;
constexpr int kMinFaceBytes = 4 * 4 + 6 * 4 + 4 + 4 + 4 + 4;
constexpr int kMinRegionBytes = 4 + 4 * 4 + 8;
constexpr int kMaxBones = 255;

void WriteVector(File* f, const float* v, int n) { f->write(v, 4 * n); }

}  // namespace

void cl_Mesh::Write(File* file) {
  if (!file) return;
  label.Write(file);
  file->write(&flags, 4);
  file->write_int(vertexUsage);

  file->write_int(vertices.size());
  for (const st_Vertex* v : vertices) {
    file->write_int(v->index);
    file->write_int(v->mark);
    file->write_int(v->tag);
    WriteVector(file, &v->position.x, 3);
    WriteVector(file, &v->normal.x, 3);
    WriteVector(file, &v->uv.x, 2);
    file->write_int(v->boneIndices.size());
    for (int k = 0; k < v->boneIndices.size(); ++k) file->write(&v->boneIndices[k], 1);
    file->write_int(v->boneWeights.size());
    for (int k = 0; k < v->boneWeights.size(); ++k) file->write(&v->boneWeights[k], 4);
  }

  file->write_int(faces.size());
  for (const st_Face* f : faces) {
    file->write_int(f->index);
    file->write_int(f->word1);
    file->write_int(f->word2);
    file->write_int(f->word3);
    WriteVector(file, &f->centre.x, 3);
    WriteVector(file, &f->normal.x, 3);
    file->write_int(f->vertices.size());
    for (int k = 0; k < f->vertices.size(); ++k) file->write_int(f->vertices[k]->index);
    file->write_int(f->cornerUVs.size());
    for (int k = 0; k < f->cornerUVs.size(); ++k) WriteVector(file, &f->cornerUVs[k].x, 2);
    file->write_int(f->cornerNormals.size());
    for (int k = 0; k < f->cornerNormals.size(); ++k) WriteVector(file, &f->cornerNormals[k].x, 3);
    file->write_int(f->region ? f->region->index : -1);
  }

  file->write_int(regions.size());
  for (const st_Region* r : regions) {
    r->label.Write(file);
    file->write_int(r->index);
    file->write_int(r->value1);
    file->write_int(r->value0);
    file->write_int(r->value2);
    r->material.Write(file);
  }

  WriteVector(file, &aabbMin.x, 3);
  WriteVector(file, &aabbMax.x, 3);
}

void cl_Mesh::Read(File* file) {
  Clear();
  label.clear();
  if (!file) return;
  cl_RecordReader in(file, "mesh record");
  if (file->get_status() != File::STATUS_READ) {
    in.Fail("file not open for reading");
    return;
  }

  in.String(label);
  in.Unsigned(flags);
  in.Int(vertexUsage);

  int vertexCount = 0;
  in.Count(vertexCount, kMinVertexBytes, "mesh vertex list");
  vertices.reserve(vertexCount);
  for (int i = 0; in.ok() && i < vertexCount; ++i) {
    st_Vertex* v = new st_Vertex;
    vertices.push_back(v);
    // The fixed fields in one read: index, mark, tag, position, normal, uv.
    uint32_t words[11];
    if (in.Bytes(words, sizeof words)) {
      std::memcpy(&v->index, &words[0], 4);
      std::memcpy(&v->mark, &words[1], 4);
      std::memcpy(&v->tag, &words[2], 4);
      std::memcpy(&v->position.x, &words[3], 12);
      std::memcpy(&v->normal.x, &words[6], 12);
      std::memcpy(&v->uv.x, &words[9], 8);
    }
    int bones = 0;
    const int bonesAt = in.Offset();
    if (in.Count(bones, 1, "mesh vertex bone list") && bones > kMaxBones)
      in.Fail("vertex %d has %d bones at offset %d (at most %d)", i, bones, bonesAt, kMaxBones);
    for (int k = 0; in.ok() && k < bones; ++k) {
      unsigned char bone = 0;
      if (in.ok() && !file->read(&bone, 1)) in.Fail("bone list cut short at offset %d", in.Offset());
      v->boneIndices.push_back(bone);
    }
    int weights = 0;
    const int weightsAt = in.Offset();
    if (in.Count(weights, 4, "mesh vertex weight list") && weights != bones)
      in.Fail("vertex %d has %d weights for %d bones at offset %d", i, weights, bones, weightsAt);
    for (int k = 0; in.ok() && k < weights; ++k) {
      float w = 0.0f;
      in.Floats(&w, 1);
      v->boneWeights.push_back(w);
    }
  }

  // Corner and region references stay numbers until every list is read.
  std::vector<int> regionOf;
  std::vector<int> cornerIndices;
  int faceCount = 0;
  in.Count(faceCount, kMinFaceBytes, "mesh face list");
  faces.reserve(faceCount);
  if (in.ok()) regionOf.reserve(static_cast<size_t>(faceCount));
  for (int i = 0; in.ok() && i < faceCount; ++i) {
    st_Face* f = new st_Face;
    faces.push_back(f);
    // The fixed fields in one read: index, the three words, centre, normal.
    uint32_t words[10];
    if (in.Bytes(words, sizeof words)) {
      std::memcpy(&f->index, &words[0], 4);
      std::memcpy(&f->word1, &words[1], 4);
      std::memcpy(&f->word2, &words[2], 4);
      std::memcpy(&f->word3, &words[3], 4);
      std::memcpy(&f->centre.x, &words[4], 12);
      std::memcpy(&f->normal.x, &words[7], 12);
    }
    int corners = 0;
    in.Count(corners, 4, "mesh face corner list");
    f->vertices.reserve(corners);
    // The corner list in one read (its count is checked against the bytes left).
    const int cornersAt = in.Offset();
    cornerIndices.resize(static_cast<size_t>(std::max(corners, 0)));
    if (corners > 0) in.Bytes(cornerIndices.data(), 4 * corners);
    for (int k = 0; in.ok() && k < corners; ++k) {
      const int vi = cornerIndices[static_cast<size_t>(k)];
      if (vi < 0 || vi >= vertices.size())
        in.Fail("face %d corner %d names vertex %d of %d at offset %d", i, k, vi, vertices.size(), cornersAt + 4 * k);
      else
        f->vertices.push_back(vertices[vi]);
    }
    int uvs = 0;
    in.Count(uvs, 8, "mesh face corner uv list");
    for (int k = 0; in.ok() && k < uvs; ++k) {
      tVector2<float> uv;
      if (in.Floats(&uv.x, 2)) f->cornerUVs.push_back(uv);
    }
    int normals = 0;
    in.Count(normals, 12, "mesh face corner normal list");
    for (int k = 0; in.ok() && k < normals; ++k) {
      tVector3<float> n;
      if (in.Floats(&n.x, 3)) f->cornerNormals.push_back(n);
    }
    int region = -1;
    in.Int(region);
    regionOf.push_back(region);
  }
  const int regionRefsEnd = in.Offset();

  int regionCount = 0;
  in.Count(regionCount, kMinRegionBytes, "mesh region list");
  regions.reserve(regionCount);
  for (int i = 0; in.ok() && i < regionCount; ++i) {
    st_Region* r = new st_Region;
    regions.push_back(r);
    in.String(r->label);
    in.Int(r->index);
    in.Int(r->value1);
    in.Int(r->value0);
    in.Int(r->value2);
    in.Tree(r->material);
  }

  in.Floats(&aabbMin.x, 3);
  in.Floats(&aabbMax.x, 3);

  for (int i = 0; in.ok() && i < faces.size(); ++i) {
    const int r = regionOf[static_cast<size_t>(i)];
    if (r < -1 || r >= regions.size())
      in.Fail("face %d names region %d of %d (face list ends at offset %d)", i, r, regions.size(), regionRefsEnd);
    else
      faces[i]->region = r < 0 ? nullptr : regions[r];
  }

  if (!in.ok()) {
    Clear();
    label.clear();
  }
}

}  // namespace base
