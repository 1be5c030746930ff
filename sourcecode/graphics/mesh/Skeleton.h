// base::cl_Skeleton: the skeleton resource. Bones in a hierarchy with their binding transforms
// (a bone's number is its place in the bone vector, used by poses, tracks, subsets and model
// palettes), the clips that drive them and named bone subsets with weights. SetPose turns a pose
// into one skin matrix per bone: binding-pose model space to posed model space.
#pragma once

#include <cstddef>
#include <map>
#include <vector>

#include "base/data/Variant.h"
#include "base/math/Matrix4.h"
#include "base/math/Vector.h"
#include "base/resource/Resource.h"
#include "base/String.h"
#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Pose.h"

namespace base {

class cl_Mesh;

class cl_Bone {
 public:
  // The bone record (skinMatrix is not stored).
  void Write(File* file) const;
  // False (file failed, logged) when cut short or the child count cannot fit.
  bool Read(File* file);

  tString<BaseString> name;
  int parent = -1;            // bone number, -1 for a root
  std::vector<int> children;  // in hierarchy order
  tVector3<float> position;   // binding, relative to the parent
  Matrix4 rotation;           // binding, relative to the parent
  tVector3<float> absPosition;  // binding, model space
  Matrix4 absRotation;          // binding, model space
  Matrix4 skinMatrix;           // last SetPose result

 private:
  friend class cl_Skeleton;
  // SetPose's per-bone constants T(−P)·inverse(A) and A·T(P), rebuilt when the binding changes.
  void UpdateBindingCache();
  bool m_cacheValid = false;
  tVector3<float> m_cachedPosition;
  Matrix4 m_cachedRotation;
  Matrix4 m_toBone;
  Matrix4 m_fromBone;
};

struct cl_SkeletonSubset {
  // Sets bone's weight, appending the bone when it is not in the subset yet.
  void Set(int bone, float weight);
  int size() const { return static_cast<int>(bones.size()); }
  // n, n bone numbers, n weights.
  void Write(File* file) const;
  bool Read(File* file);  // false (file failed, logged) when cut short

  std::vector<int> bones;
  std::vector<float> weights;  // weights[k] belongs to bones[k]
};

class cl_Skeleton : public i_Resource {
 public:
  using AnimationMap = std::map<tString<BaseString>, cl_Animation*>;  // byte-wise name order
  using SubsetMap = std::map<tString<BaseString>, cl_SkeletonSubset*>;

  cl_Skeleton() = default;
  ~cl_Skeleton() override;
  cl_Skeleton(const cl_Skeleton&) = delete;
  cl_Skeleton& operator=(const cl_Skeleton&) = delete;

  // ---- resource (SkeletonResource.cpp, SkeletonRecord.cpp)
  // Imports "file" through the importer registry, then applies the element's UseReposition,
  // AnimationSet, Rename and Subsets children in order, compresses every clip and writes the
  // protocol beside the source. False (logged) only when the source cannot be imported.
  bool Init(StaticVariantIterator element) override;
  // The skeleton record. A damaged record leaves an empty skeleton, one "ERROR:" line and the
  // file's error flag set.
  void Read(File* file) override;
  void Write(File* file) override;
  // Adds the subsets of a subset file, reporting into protocol.
  void ImportSubsets(const tString<BaseString>& fileName, tString<BaseString>& protocol);

  // ---- bones
  // n new default bones; used on an empty skeleton.
  void Create(int n);
  int size() const { return static_cast<int>(bones.size()); }
  int GetNumBones() const { return size(); }
  cl_Bone& operator[](int i) { return *bones[static_cast<size_t>(i)]; }
  cl_Bone* GetBoneByIndex(int i) const { return i < 0 ? nullptr : bones[static_cast<size_t>(i)]; }
  int GetBoneIndex(const char* name) const;  // first exact match, -1 for none
  cl_Bone* GetBone(const char* name) const;
  // Empty when parents and children agree, each bone has at most one parent, every number is in
  // range and no chain is deeper than kMaxBoneDepth (so SetPose ends); otherwise what is wrong.
  tString<BaseString> CheckHierarchy() const;
  // absRotation and absPosition of every bone reachable from a root, from the relative binding.
  void CalcBindingPose();

  // ---- clips and subsets
  cl_Animation* GetAnimation(const tString<BaseString>& name) const;
  cl_SkeletonSubset* GetSubset(const tString<BaseString>& name) const;
  // Files a under its name; false (a deleted) when the name is taken.
  bool AddAnimation(cl_Animation* a);
  // Files s under name; false (s deleted) when the name is taken.
  bool AddSubset(const tString<BaseString>& name, cl_SkeletonSubset* s);
  // Appends one "Animation" element (label, length) per clip in name order.
  void ListAnimations(Variant& out) const;

  // ---- pose
  // Every bone reachable from a root gets its skinMatrix from the pose; bones past the pose's
  // count take the identity transform. Allocates nothing.
  void SetPose(const cl_Pose* pose);

  void DebugDump() const;

  // Deeper hierarchies are refused by the importers and the record reader.
  static constexpr int kMaxBoneDepth = 256;
  // More bones than this are refused by the importer (model palettes address bones as bytes).
  static constexpr int kMaxBones = 1024;

  std::vector<cl_Bone*> bones;  // owned
  AnimationMap animations;      // owned
  SubsetMap subsets;            // owned

 private:
  void SetBonePose(int bone, const cl_Pose* pose, Matrix4 parentMatrix);
  void Clear();
};

// The skeleton filed under label, or null (an empty pool entry is left for a new label).
cl_Skeleton* GetSkeleton(const char* label);

// Registers the "Skeleton" resource type (a second load of a label replaces the skeleton) and the
// Ogre XML importers of meshes and skeletons under "xml". Call once before start-up.
void RegisterSkeletonResourceType();

// Ogre XML importers (OgreMeshXml.cpp, OgreSkeletonXml.cpp). Both add to the object they are
// given; false (logged) when the file cannot be read or, for skeletons, is incomplete.
bool MeshLoadOgreXML(const char* fileName, cl_Mesh* mesh);
bool SkeletonLoadOgreXML(const char* fileName, cl_Skeleton* skeleton);

}  // namespace base
