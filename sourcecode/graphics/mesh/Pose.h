// base::cl_Pose: one local transform (translation, scale, rotation) with a weight per bone; what
// a clip samples into, what characters mix their animation channels in, and what the skeleton
// turns into skin matrices. Every operation works in place and may be given this pose itself as
// an argument: an entry's inputs are read before it is written.
#pragma once

#include "base/data/VariantTools.h"
#include "base/math/Quaternion.h"
#include "base/math/Vector.h"

namespace base {

class cl_Animation;
class cl_Skeleton;
struct cl_SkeletonSubset;

class cl_Pose {
 public:
  struct st_BonePose {
    float weight = 1.0f;
    tVector3<float> translation;
    tVector3<float> scale{1.0f, 1.0f, 1.0f};
    Quaternion rotation;
  };

  explicit cl_Pose(int n = 0);
  ~cl_Pose();
  cl_Pose(const cl_Pose&) = delete;
  cl_Pose& operator=(const cl_Pose&) = delete;

  // Grows to exactly n when n exceeds the capacity (entries kept); shrinking keeps the array and
  // its entries. Entries never set before are the identity transform with weight 1.
  void SetSize(int n);
  int GetNumBones() const { return count; }
  st_BonePose& operator[](int i) { return bones[i]; }  // i below count
  const st_BonePose& operator[](int i) const { return bones[i]; }

  // Samples clip at time (nothing for a null clip); weights stay.
  void Set(const cl_Animation* clip, float time);
  void SetWeights(float w);
  void SetWeight(int bone, float w);  // nothing for a bone outside the pose
  // Bone and every bone below it in the skeleton get weight w.
  void SetWeightsRecursive(int bone, const cl_Skeleton* skeleton, float w);

  // Weighted blend: f = b.weight / (a.weight + b.weight), weight := the sum.
  void Blend(const cl_Pose* a, const cl_Pose* b);
  // Cross-fade from a (f = 0) to b (f = 1); weight := 1.
  void Blend(const cl_Pose* a, const cl_Pose* b, float f);
  // Blends other into the subset's bones by weight · f where that is above 0; weight := 1.
  void Blend(const cl_Pose* other, const cl_SkeletonSubset* subset, float f);
  // Additive layer over the subset's bones (every entry of other for a null subset):
  // translation += t·f, scale ×= 1 + (s − 1)·f, rotation := rotation × slerp(I, r, f).
  void Add(const cl_Pose* other, const cl_SkeletonSubset* subset, float f);
  // As Add, but scale += s·f.
  void FunStuff_Add(const cl_Pose* other, const cl_SkeletonSubset* subset, float f);
  // The first pose's entries with each further pose folded in by the weighted Blend; nothing for
  // an empty list.
  void Blend(const list<cl_Pose*>& poses);

  // ORDER POSEFIELDS: count, capacity, bones.
  int count = 0;
  int capacity = 0;
  st_BonePose* bones = nullptr;

 private:
  template <bool kAddScale>
  void AddLayer(const cl_Pose* other, const cl_SkeletonSubset* subset, float f);
};

static_assert(sizeof(cl_Pose::st_BonePose) == 44, "a pose entry is 44 bytes");

}  // namespace base
