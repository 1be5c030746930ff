// base::cl_Mesh: the engine's editable polygon mesh, the common target of the mesh importers and
// the source of the model builder and the navigation mesh. Vertices, faces of three or more
// corners, an optional edge list, regions (named face groups with a material description) and a
// bounding box. As a resource it is built from a description element through the importer of
// its file's extension, and carries a binary record.
#pragma once

#include "base/data/Variant.h"
#include "base/math/Matrix4.h"
#include "base/math/Vector.h"
#include "base/resource/Resource.h"
#include "base/String.h"
#include "graphics/mesh/Geometry.h"
#include "graphics/mesh/InlineList.h"

namespace base {

class cl_Mesh : public i_Resource {
 public:
  struct st_Face;
  struct st_Edge;
  struct st_Region;

  // A fixed underlying type: a mode read from a file may hold any other number, which is kept.
  enum en_VertexUsage : int {
    VERTEX_SPLIT = 0,   // every corner has a vertex of its own carrying its uv and normal
    VERTEX_MERGED = 1,  // corners share a vertex where position, normal and uv coincide
    VERTEX_SHARED = 2,  // vertices are positions only; uvs and normals live in the face corners
  };

  // flags bits
  static constexpr unsigned FLAG_VERTEX_FACES = 0x1;  // every vertex's face list is current
  static constexpr unsigned FLAG_AABB = 0x100;        // the bounding box is current

  // Field order is the record's order (ORDER MESHRECORD).
  struct st_Vertex {
    int index = 0;  // position in the mesh's vertex list
    int mark = 0;   // work word of SplitVertices and CalcConnectivity
    int tag = 0;    // carried through copies and the record, not interpreted
    tVector3<float> position;
    tVector3<float> normal;
    tVector3<float> reserved[2];  // kept for the layout; neither used nor stored
    tVector2<float> uv;
    tInlineList<st_Face*, 10> faces;  // faces using this vertex (FindVertexFaces), once per use
    tInlineList<unsigned char, 4> boneIndices;
    tInlineList<float, 4> boneWeights;  // weight k belongs to boneIndices[k]

    void AddBone(unsigned char bone, float weight);
  };

  struct st_Face {
    int index = 0;  // position in the mesh's face list
    int word1 = 0;  // the three words are stored, not interpreted (CalcConnectivity clears word2)
    int word2 = 0;
    int word3 = 0;
    tVector3<float> centre;
    tVector3<float> normal;  // not normalised: twice the area of the first corner triangle
    tInlineList<st_Vertex*, 4> vertices;  // corners in winding order
    tInlineList<st_Face*, 6> neighbours;  // faces sharing at least two vertices
    tInlineList<st_Edge*, 4> edges;
    tInlineList<tVector2<float>, 4> cornerUVs;      // one per corner in shared mode
    tInlineList<tVector3<float>, 4> cornerNormals;  // one per corner in shared mode
    st_Region* region = nullptr;

    // centre := mean corner position, normal := the first corner triangle's normal; faces with
    // fewer than three corners keep both.
    void CalcCenterAndNormal();
  };

  struct st_Edge {
    int index = 0;
    int word0 = 0;  // unused
    int word1 = 0;
    tVector3<float> centre;  // midpoint of the two vertices
    tVector3<float> normal;  // unit sum of the adjacent face normals
    st_Vertex* vertexA = nullptr;
    st_Vertex* vertexB = nullptr;
    tInlineList<st_Face*, 4> faces;
  };

  struct st_Region {
    tString<BaseString> label;  // submesh or surface name
    int value0 = 0;             // the three values are stored, not interpreted
    int value1 = 1;
    int index = -1;  // position in the mesh's region list once added
    int value2 = -1;
    tInlineList<unsigned, 8> members;  // not used by the mesh
    Variant material;                  // the region's "Material" element, void until set
  };

  cl_Mesh() = default;
  ~cl_Mesh() override;
  cl_Mesh(const cl_Mesh&) = delete;
  cl_Mesh& operator=(const cl_Mesh&) = delete;

  // ---- resource (MeshResource.cpp, MeshRecord.cpp)
  // Imports the element's "file" through the importer of its extension, then InitMaterials.
  bool Init(StaticVariantIterator element) override;
  // The mesh record. A damaged record leaves an empty mesh, one "ERROR:" line with the offset
  // and the file's error flag set.
  void Read(File* file) override;
  void Write(File* file) override;
  // Copies the element's "Material" children into the regions: in order, resynchronised by a
  // "label" naming a region or an "index". Always true.
  bool InitMaterials(StaticVariantIterator element);
  // Appends one "Material" element per region, its "label" set to the region's, to out.
  void ListMaterials(Variant& out) const;

  // ---- building
  st_Vertex* AddVertex(const tVector3<float>& position, const tVector3<float>& normal, const tVector2<float>& uv);
  st_Face* AddTriangle(st_Vertex* a, st_Vertex* b, st_Vertex* c);
  // A face with count corners in winding order (count may be below 3 for an importer's points).
  st_Face* AddFace(st_Vertex* const* corners, int count);
  st_Region* FindOrAddRegion(const char* label);  // exact, case-sensitive match
  st_Region* FindRegion(const char* label) const;  // null when none
  st_Region* GetRegionByIndex(int index) const;    // first region whose index field matches
  st_Edge* AddOrFindEdge(st_Vertex* a, st_Vertex* b);  // a-b in either order
  st_Edge* AddEdge(st_Vertex* a, st_Vertex* b);        // a new edge a-b, last in the list
  // Destroys every vertex, face, edge and region and resets the state to construction values
  // (the label stays).
  void Clear();

  // ---- topology (MeshTopology.cpp)
  void FindVertexFaces();
  // Face centres and normals, neighbours, and area-weighted unit vertex normals.
  void CalcConnectivity();
  // Adds the edges of every face; degenerate corner pairs are reported and skipped.
  void BuildEdgeList();
  // Gives every face corner a vertex of its own, carrying the corner's uv and normal when the
  // face holds corner data.
  void SplitVertices();
  // Folds each vertex into an earlier one within epsilon in position, normal and uv (each a
  // Euclidean distance). Same result as MergeVerticesAllPairs, found through a position grid.
  void MergeVertices(float epsilon);
  // The all-pairs reference: later vertices fold into vertices[i] in turn, the last vertex
  // taking each freed slot.
  void MergeVerticesAllPairs(float epsilon);
  void SetVertexSharing(en_VertexUsage mode);

  // ---- transforms (MeshTransform.cpp)
  void CalcAABB();  // an empty mesh keeps its box and flag
  void TransformVertices(const Matrix4& m);  // positions only
  // Every corner moves towards (factor < 1) or away from its face's centre, once per use.
  void ScaleFaces(float factor);
  void Flip();  // reverses every face's corner order (corner data untouched)

  // Record fields, public for the importers, the model builder and the navigation mesh.
  tString<BaseString> label;
  unsigned flags = 0;
  int vertexUsage = VERTEX_SPLIT;  // en_VertexUsage; other values are kept as they are
  tPointerArray<st_Face> faces;
  tPointerArray<st_Vertex> vertices;
  tPointerArray<st_Edge> edges;
  tPointerArray<st_Region> regions;
  tVector3<float> aabbMin;
  tVector3<float> aabbMax;
};

// The nearest hit at t >= 0 of the ray with the mesh's faces (fanned from corner 0); point is
// origin + direction · t, or origin − direction when nothing is hit (result false).
bool MeshPickNearest(tVector3<float>& point, cl_Mesh* mesh, const Ray3& ray);

// The mesh filed under label, or null (an empty pool entry is left for a new label).
cl_Mesh* GetMesh(const char* label);

// Registers the "Mesh" resource type (a second load of a label replaces the mesh) with every
// resource manager created afterwards. Call once before start-up.
void RegisterMeshResourceType();

}  // namespace base
