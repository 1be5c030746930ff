// The mesh record: label, flags, vertex usage, vertices, faces, regions and the bounding box,
// little-endian, no magic or version (ORDER MESHRECORD). Edges are rebuilt, not stored. The
// reader checks every count against the bytes left and every reference against its list.
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
    in.Int(v->index);
    in.Int(v->mark);
    in.Int(v->tag);
    in.Floats(&v->position.x, 3);
    in.Floats(&v->normal.x, 3);
    in.Floats(&v->uv.x, 2);
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
  int faceCount = 0;
  in.Count(faceCount, kMinFaceBytes, "mesh face list");
  faces.reserve(faceCount);
  if (in.ok()) regionOf.reserve(static_cast<size_t>(faceCount));
  for (int i = 0; in.ok() && i < faceCount; ++i) {
    st_Face* f = new st_Face;
    faces.push_back(f);
    in.Int(f->index);
    in.Int(f->word1);
    in.Int(f->word2);
    in.Int(f->word3);
    in.Floats(&f->centre.x, 3);
    in.Floats(&f->normal.x, 3);
    int corners = 0;
    in.Count(corners, 4, "mesh face corner list");
    f->vertices.reserve(corners);
    for (int k = 0; in.ok() && k < corners; ++k) {
      const int at = in.Offset();
      int vi = 0;
      if (in.Int(vi) && (vi < 0 || vi >= vertices.size()))
        in.Fail("face %d corner %d names vertex %d of %d at offset %d", i, k, vi, vertices.size(), at);
      if (in.ok()) f->vertices.push_back(vertices[vi]);
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
