// Pose storage and the blend operations characters mix their channels with.
#include "graphics/mesh/Pose.h"

#include <cstring>
#include <iterator>

#include "graphics/mesh/Animation.h"
#include "graphics/mesh/Skeleton.h"

namespace base {

namespace {

using Entry = cl_Pose::st_BonePose;

tVector3<float> Lerp(const tVector3<float>& a, const tVector3<float>& b, float f) { return a + (b - a) * f; }

int Min(int a, int b) { return a < b ? a : b; }

// Every formula works on copies of its inputs, so the output entry may be one of them.
Entry Mix(Entry a, Entry b, float f, float weight) {
  Entry r;
  r.weight = weight;
  r.translation = Lerp(a.translation, b.translation, f);
  r.scale = Lerp(a.scale, b.scale, f);
  r.rotation = a.rotation.slerp(b.rotation, f);
  return r;
}

}  // namespace

cl_Pose::cl_Pose(int n) { SetSize(n); }

cl_Pose::~cl_Pose() { delete[] bones; }

void cl_Pose::SetSize(int n) {
  if (n < 0) n = 0;
  if (n > capacity) {
    // Entries kept past a shrink come along too, so shrinking and growing back keeps them.
    Entry* grown = new Entry[static_cast<size_t>(n)];
    if (capacity > 0) std::memcpy(static_cast<void*>(grown), bones, sizeof(Entry) * static_cast<size_t>(capacity));
    delete[] bones;
    bones = grown;
    capacity = n;
  }
  count = n;
}

void cl_Pose::Set(const cl_Animation* clip, float time) {
  if (clip) clip->_SetPose(this, time);
}

void cl_Pose::SetWeights(float w) {
  for (int i = 0; i < count; ++i) bones[i].weight = w;
}

void cl_Pose::SetWeight(int bone, float w) {
  if (bone >= 0 && bone < count) bones[bone].weight = w;
}

void cl_Pose::SetWeightsRecursive(int bone, const cl_Skeleton* skeleton, float w) {
  if (!skeleton || bone < 0 || bone >= skeleton->size()) return;
  SetWeight(bone, w);
  for (int c : skeleton->bones[static_cast<size_t>(bone)]->children) SetWeightsRecursive(c, skeleton, w);
}

void cl_Pose::Blend(const cl_Pose* a, const cl_Pose* b) {
  if (!a || !b) return;
  const int n = Min(Min(a->count, b->count), count);
  for (int i = 0; i < n; ++i) {
    const float wa = a->bones[i].weight, wb = b->bones[i].weight;
    const float sum = wa + wb;
    bones[i] = Mix(a->bones[i], b->bones[i], wb / sum, sum);
  }
}

void cl_Pose::Blend(const cl_Pose* a, const cl_Pose* b, float f) {
  if (!a || !b) return;
  const int n = Min(Min(a->count, b->count), count);
  for (int i = 0; i < n; ++i) bones[i] = Mix(a->bones[i], b->bones[i], f, 1.0f);
}

void cl_Pose::Blend(const cl_Pose* other, const cl_SkeletonSubset* subset, float f) {
  if (!other || !subset) return;
  const int n = Min(other->count, count);
  for (int k = 0; k < subset->size(); ++k) {
    const int bone = subset->bones[static_cast<size_t>(k)];
    const float w = subset->weights[static_cast<size_t>(k)] * f;
    if (!(w > 0.0f) || bone < 0 || bone >= n) continue;
    bones[bone] = Mix(bones[bone], other->bones[bone], w, 1.0f);
  }
}

template <bool kAddScale>
void cl_Pose::AddLayer(const cl_Pose* other, const cl_SkeletonSubset* subset, float f) {
  if (!other) return;
  const int n = Min(other->count, count);
  const int visits = subset ? subset->size() : other->count;
  const Quaternion identity;
  for (int k = 0; k < visits; ++k) {
    const int bone = subset ? subset->bones[static_cast<size_t>(k)] : k;
    if (bone < 0 || bone >= n) continue;
    const Entry o = other->bones[bone];
    Entry& e = bones[bone];
    e.translation += o.translation * f;
    if (kAddScale) {
      e.scale += o.scale * f;
    } else {
      e.scale.x *= 1.0f + (o.scale.x - 1.0f) * f;
      e.scale.y *= 1.0f + (o.scale.y - 1.0f) * f;
      e.scale.z *= 1.0f + (o.scale.z - 1.0f) * f;
    }
    e.rotation = e.rotation * identity.slerp(o.rotation, f);
  }
}

void cl_Pose::Add(const cl_Pose* other, const cl_SkeletonSubset* subset, float f) { AddLayer<false>(other, subset, f); }

void cl_Pose::FunStuff_Add(const cl_Pose* other, const cl_SkeletonSubset* subset, float f) {
  AddLayer<true>(other, subset, f);
}

void cl_Pose::Blend(const list<cl_Pose*>& poses) {
  if (poses.empty() || !poses.front()) return;
  // A working copy, since this pose may be one of the list.
  cl_Pose result(poses.front()->count);
  for (int i = 0; i < result.count; ++i) result.bones[i] = poses.front()->bones[i];
  for (auto it = std::next(poses.begin()); it != poses.end(); ++it) result.Blend(&result, *it);
  SetSize(result.count);
  for (int i = 0; i < result.count; ++i) bones[i] = result.bones[i];
}

}  // namespace base
