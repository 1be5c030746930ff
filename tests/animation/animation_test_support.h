// Helpers of the animation tests: skeletons and clips built by hand, Ogre XML texts, records
// written to bytes and read back, and float comparisons of poses.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "../base/test_support.h"
#include "../mesh/mesh_test_support.h"
#include "base/File.h"
#include "graphics/mesh/Skeleton.h"

namespace animtest {

using base::cl_Animation;
using base::cl_AnimationTrack;
using base::cl_Pose;
using base::cl_Skeleton;
using base::Matrix4;
using base::Quaternion;
using V3 = base::tVector3<float>;
using Key = cl_AnimationTrack::st_Key;

// A chain of n bones, bone i the child of bone i − 1, each at (1, 0, 0) from its parent, named
// "b0", "b1", ...; the binding pose is computed.
inline void BuildChain(cl_Skeleton& s, int n) {
  s.Create(n);
  for (int i = 0; i < n; ++i) {
    s[i].name = ("b" + std::to_string(i)).c_str();
    s[i].position = V3(i == 0 ? 0.0f : 1.0f, 0.0f, 0.0f);
    if (i > 0) {
      s[i].parent = i - 1;
      s[i - 1].children.push_back(i);
    }
  }
  s.CalcBindingPose();
}

inline Key MakeKey(float time, V3 t, V3 s = V3(1, 1, 1), Quaternion q = Quaternion()) {
  Key k;
  k.time = time;
  k.translation = t;
  k.scale = s;
  k.rotation = q;
  return k;
}

// A keyed clip: one track per entry of keys (a track's key list each).
inline cl_Animation* MakeClip(const char* name, float length, const std::vector<std::vector<Key>>& keys) {
  auto* a = new cl_Animation;
  a->name = name;
  a->length = length;
  for (const auto& k : keys) {
    auto* t = new cl_AnimationTrack;
    t->keys = k;
    a->tracks.push_back(t);
  }
  return a;
}

inline void ExpectNear(const V3& a, const V3& b, float eps = 1e-5f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

// Rotations compared as rotations (q and −q are the same).
inline void ExpectSameRotation(const Quaternion& a, const Quaternion& b, float eps = 1e-5f) {
  EXPECT_TRUE(a.is_equal(b, eps)) << a.x << " " << a.y << " " << a.z << " " << a.w << " vs " << b.x << " " << b.y
                                  << " " << b.z << " " << b.w;
}

inline void ExpectMatrixNear(const Matrix4& a, const Matrix4& b, float eps = 1e-5f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

inline void ExpectEntryNear(const cl_Pose::st_BonePose& a, const cl_Pose::st_BonePose& b, float eps = 1e-5f) {
  EXPECT_NEAR(a.weight, b.weight, eps);
  ExpectNear(a.translation, b.translation, eps);
  ExpectNear(a.scale, b.scale, eps);
  ExpectSameRotation(a.rotation, b.rotation, eps);
}

using meshtest::WriteToBytes;

inline std::string SkeletonBytes(cl_Skeleton& s) {
  return WriteToBytes([&](base::File* f) { s.Write(f); });
}

// Reads bytes as a skeleton record; false when the file's error flag is set afterwards.
inline bool ReadSkeleton(const std::string& bytes, cl_Skeleton& s) {
  base::File f;
  f.open_memory(bytes.data(), static_cast<int>(bytes.size()), "skeleton.bin");
  s.Read(&f);
  return !f.has_error();
}

// XML written with single quotes for readability.
inline std::string Quoted(std::string text) {
  for (char& ch : text) {
    if (ch == '\'') ch = '"';
  }
  return text;
}

// ---- Ogre XML skeleton texts

// A skeleton file: bones as given, a hierarchy and animations as given.
inline std::string SkeletonXml(const std::string& bones, const std::string& hierarchy, const std::string& animations) {
  return Quoted("<skeleton><bones>" + bones + "</bones><bonehierarchy>" + hierarchy + "</bonehierarchy>" +
                animations + "</skeleton>");
}

inline std::string Bone(int id, const std::string& name, const std::string& position = "x='1' y='0' z='0'",
                 const std::string& angle = "0", const std::string& axis = "x='0' y='0' z='1'") {
  return "<bone id='" + std::to_string(id) + "' name='" + name + "'><position " + position + "/><rotation angle='" +
         angle + "'><axis " + axis + "/></rotation></bone>";
}

inline std::string Parent(const std::string& bone, const std::string& parent) {
  return "<boneparent bone='" + bone + "' parent='" + parent + "'/>";
}

inline const std::string kKey0 = "<keyframe time='0'><translate x='0' y='0' z='0'/><rotate angle='0'><axis x='1' y='0' z='0'/></rotate></keyframe>";
inline const std::string kKey1 = "<keyframe time='1'><translate x='0' y='0' z='4'/><rotate angle='1.5707964'><axis x='0' y='1' z='0'/></rotate><scale x='2' y='2' z='2'/></keyframe>";

inline std::string Track(const std::string& bone, const std::string& keys) {
  return "<track bone='" + bone + "'><keyframes>" + keys + "</keyframes></track>";
}

inline std::string Clip(const std::string& name, const std::string& tracks, const std::string& length = "1") {
  return "<animation name='" + name + "' length='" + length + "'><tracks>" + tracks + "</tracks></animation>";
}

}  // namespace animtest
