// Bones, lookups, the hierarchy check, the binding pose, skin matrices and bone subsets.
#include "graphics/mesh/Skeleton.h"

#include "base/system.h"

namespace base {

// ---- bones

void cl_Bone::UpdateBindingCache() {
  if (m_cacheValid && m_cachedPosition == absPosition && m_cachedRotation == absRotation) return;
  Matrix4 toOrigin;
  toOrigin.translation(-absPosition);
  Matrix4 back;
  back.translation(absPosition);
  m_toBone = toOrigin * absRotation.inverse();
  m_fromBone = absRotation * back;
  m_cachedPosition = absPosition;
  m_cachedRotation = absRotation;
  m_cacheValid = true;
}

void cl_SkeletonSubset::Set(int bone, float weight) {
  for (size_t k = 0; k < bones.size(); ++k) {
    if (bones[k] == bone) {
      weights[k] = weight;
      return;
    }
  }
  // Subsets are built once and are small: grow to exactly the new count.
  bones.reserve(bones.size() + 1);
  weights.reserve(weights.size() + 1);
  bones.push_back(bone);
  weights.push_back(weight);
}

// ---- skeleton

cl_Skeleton::~cl_Skeleton() { Clear(); }

void cl_Skeleton::Clear() {
  for (cl_Bone* b : bones) delete b;
  bones.clear();
  for (auto& a : animations) delete a.second;
  animations.clear();
  for (auto& s : subsets) delete s.second;
  subsets.clear();
}

void cl_Skeleton::Create(int n) {
  bones.reserve(bones.size() + static_cast<size_t>(n > 0 ? n : 0));
  for (int i = 0; i < n; ++i) bones.push_back(new cl_Bone);
}

int cl_Skeleton::GetBoneIndex(const char* name) const {
  for (size_t i = 0; i < bones.size(); ++i) {
    if (str::compare(bones[i]->name.c_str(), name) == 0) return static_cast<int>(i);
  }
  return -1;
}

cl_Bone* cl_Skeleton::GetBone(const char* name) const {
  const int i = GetBoneIndex(name);
  return i < 0 ? nullptr : bones[static_cast<size_t>(i)];
}

tString<BaseString> cl_Skeleton::CheckHierarchy() const {
  tString<BaseString> why;
  const int n = size();
  std::vector<int> listed(static_cast<size_t>(n), 0);
  for (int b = 0; b < n && why.empty(); ++b) {
    const cl_Bone* bone = bones[static_cast<size_t>(b)];
    if (bone->parent < -1 || bone->parent >= n || bone->parent == b) {
      why.print("bone %d has parent %d of %d bones", b, bone->parent, n);
      break;
    }
    for (int c : bone->children) {
      if (c < 0 || c >= n || bones[static_cast<size_t>(c)]->parent != b) {
        why.print("bone %d lists child %d, which is not its child", b, c);
        break;
      }
      if (++listed[static_cast<size_t>(c)] > 1) {
        why.print("bone %d is listed as a child twice", c);
        break;
      }
    }
  }
  for (int b = 0; b < n && why.empty(); ++b) {
    const int parent = bones[static_cast<size_t>(b)]->parent;
    if (parent >= 0 && listed[static_cast<size_t>(b)] == 0) why.print("bone %d is missing from its parent %d", b, parent);
  }
  // One parent each and parents agreeing with children leaves chains; bound their length, which
  // also rules out cycles.
  for (int b = 0; b < n && why.empty(); ++b) {
    int depth = 0;
    for (int p = bones[static_cast<size_t>(b)]->parent; p >= 0; p = bones[static_cast<size_t>(p)]->parent) {
      if (++depth > kMaxBoneDepth) {
        why.print("bone %d lies deeper than %d bones or in a cycle", b, kMaxBoneDepth);
        break;
      }
    }
  }
  return why;
}

void cl_Skeleton::CalcBindingPose() {
  // Parents before children: visit from the roots with an explicit work list.
  std::vector<int> work;
  for (int i = size() - 1; i >= 0; --i) {
    if (bones[static_cast<size_t>(i)]->parent == -1) work.push_back(i);
  }
  while (!work.empty()) {
    const int b = work.back();
    work.pop_back();
    cl_Bone& bone = *bones[static_cast<size_t>(b)];
    if (bone.parent < 0) {
      bone.absRotation = bone.rotation;
      bone.absPosition = bone.position;
    } else {
      const cl_Bone& p = *bones[static_cast<size_t>(bone.parent)];
      bone.absRotation = bone.rotation * p.absRotation;
      bone.absPosition = p.absPosition + p.absRotation * bone.position;
    }
    for (auto it = bone.children.rbegin(); it != bone.children.rend(); ++it) {
      if (*it >= 0 && *it < size() && *it != b) work.push_back(*it);
    }
  }
}

// ---- clips and subsets

cl_Animation* cl_Skeleton::GetAnimation(const tString<BaseString>& name) const {
  auto it = animations.find(name);
  return it == animations.end() ? nullptr : it->second;
}

cl_SkeletonSubset* cl_Skeleton::GetSubset(const tString<BaseString>& name) const {
  auto it = subsets.find(name);
  return it == subsets.end() ? nullptr : it->second;
}

bool cl_Skeleton::AddAnimation(cl_Animation* a) {
  if (!animations.emplace(a->name, a).second) {
    delete a;
    return false;
  }
  return true;
}

bool cl_Skeleton::AddSubset(const tString<BaseString>& name, cl_SkeletonSubset* s) {
  if (!subsets.emplace(name, s).second) {
    delete s;
    return false;
  }
  return true;
}

void cl_Skeleton::ListAnimations(Variant& out) const {
  for (const auto& a : animations) {
    Variant& e = out.add_element("Animation");
    e.attribute("label")->set_string(a.first.c_str());
    e.attribute("length")->set_float(a.second->length);
  }
}

// ---- pose

void cl_Skeleton::SetPose(const cl_Pose* pose) {
  if (!pose) return;
  const Matrix4 identity;
  for (int i = 0; i < size(); ++i) {
    if (bones[static_cast<size_t>(i)]->parent == -1) SetBonePose(i, pose, identity);
  }
}

// skin = T(−P) · inverse(A) · S(s) · R · T(t) · A · T(P) · parent: into the bone's binding frame,
// posed there, back to model space, then carried along by the parent's motion. The two binding
// factors are cached per bone; S · R · T(t) is written directly.
void cl_Skeleton::SetBonePose(int b, const cl_Pose* pose, Matrix4 parentMatrix) {
  cl_Bone& bone = *bones[static_cast<size_t>(b)];
  bone.UpdateBindingCache();
  Matrix4 local;
  if (b < pose->count) {
    const cl_Pose::st_BonePose& e = pose->bones[b];
    local = e.rotation.get_matrix();
    for (int c = 0; c < 3; ++c) {
      local.m[c] *= e.scale.x;
      local.m[4 + c] *= e.scale.y;
      local.m[8 + c] *= e.scale.z;
    }
    local.set_translation_component(e.translation);
  }
  const Matrix4 m = bone.m_toBone * local * bone.m_fromBone * parentMatrix;
  bone.skinMatrix = m;
  for (int c : bone.children) SetBonePose(c, pose, m);
}

void cl_Skeleton::DebugDump() const {
  for (int i = 0; i < size(); ++i) {
    const cl_Bone& b = *bones[static_cast<size_t>(i)];
    tString<BaseString> line;
    line.print("bone %i: parent=%i children=(", i, b.parent);
    for (int c : b.children) line.print("[%i]", c);
    line.print(" pos=(%.02f,%.02f,%.02f)\n", b.position.x, b.position.y, b.position.z);
    sys::Output("%s", line.c_str());
  }
}

}  // namespace base
