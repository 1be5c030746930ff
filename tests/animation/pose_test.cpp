#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "animation_test_support.h"

namespace {

using namespace animtest;
using base::cl_SkeletonSubset;
using Entry = cl_Pose::st_BonePose;

Entry MakeEntry(float w, V3 t, V3 s, Quaternion q) {
  Entry e;
  e.weight = w;
  e.translation = t;
  e.scale = s;
  e.rotation = q;
  return e;
}

Quaternion AxisAngle(V3 axis, float angle) {
  Quaternion q;
  q.set_axis_angle(axis.normal(), angle);
  return q;
}

// The skin matrix as the seven products read, in double precision, for comparison with the
// cached float form.
struct st_Double4 {
  double m[16];
  explicit st_Double4(const Matrix4& f) {
    for (int i = 0; i < 16; ++i) m[i] = f.m[i];
  }
  st_Double4 operator*(const st_Double4& b) const {
    st_Double4 r(Matrix4{});
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) {
        double sum = 0.0;
        for (int k = 0; k < 4; ++k) sum += m[i * 4 + k] * b.m[k * 4 + j];
        r.m[i * 4 + j] = sum;
      }
    return r;
  }
};

st_Double4 Translation(const V3& t) {
  Matrix4 m;
  m.translation(t);
  return st_Double4(m);
}

st_Double4 ReferenceSkin(const base::cl_Bone& b, const Entry& e, const Matrix4& parent) {
  Matrix4 scale;
  scale.scaling(e.scale);
  return Translation(-b.absPosition) * st_Double4(b.absRotation.inverse()) * st_Double4(scale) *
         st_Double4(e.rotation.get_matrix()) * Translation(e.translation) * st_Double4(b.absRotation) *
         Translation(b.absPosition) * st_Double4(parent);
}

void RandomBinding(cl_Skeleton& s, std::mt19937& rng) {
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (int i = 0; i < s.size(); ++i) {
    s[i].position = V3(u(rng), u(rng), u(rng));
    s[i].rotation = AxisAngle(V3(u(rng), u(rng), u(rng) + 2.0f), u(rng) * 3.0f).get_matrix();
  }
  s.CalcBindingPose();
}

void RandomPose(cl_Pose& p, std::mt19937& rng) {
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  for (int i = 0; i < p.count; ++i) {
    p[i] = MakeEntry(1.0f, V3(u(rng), u(rng), u(rng)), V3(1 + 0.5f * u(rng), 1 + 0.5f * u(rng), 1 + 0.5f * u(rng)),
                     AxisAngle(V3(u(rng), u(rng), 2.0f), u(rng) * 3.0f));
  }
}

TEST(SetPose, IdentityPoseGivesIdentityMatricesWhateverTheBinding) {
  std::mt19937 rng(7);
  cl_Skeleton s;
  BuildChain(s, 5);
  RandomBinding(s, rng);
  cl_Pose pose(5);
  s.SetPose(&pose);
  for (int i = 0; i < 5; ++i) ExpectMatrixNear(s[i].skinMatrix, Matrix4(), 1e-5f);
}

TEST(SetPose, TranslatedRootAtTheOriginGivesThatTranslation) {
  cl_Skeleton s;
  BuildChain(s, 2);
  cl_Pose pose(2);
  pose[0].translation = V3(1, 2, 3);
  s.SetPose(&pose);
  Matrix4 expected;
  expected.translation(1, 2, 3);
  ExpectMatrixNear(s[0].skinMatrix, expected);
  ExpectMatrixNear(s[1].skinMatrix, expected);  // the child is carried along
}

TEST(SetPose, RotatedRootCarriesTheChildsBindingPoint) {
  // Root at the origin turned a quarter about z: the child's binding point (1, 0, 0) goes to
  // (0, 1, 0) in the row-vector convention.
  cl_Skeleton s;
  BuildChain(s, 2);
  cl_Pose pose(2);
  pose[0].rotation = AxisAngle(V3(0, 0, 1), 1.5707964f);
  s.SetPose(&pose);
  ExpectNear(s[1].skinMatrix * s[1].absPosition, pose[0].rotation.rotate(V3(1, 0, 0)));
  ExpectNear(s[0].skinMatrix * V3(0, 0, 0), V3(0, 0, 0));
}

TEST(SetPose, MatchesTheSevenProductsOverRandomBindingsAndPoses) {
  std::mt19937 rng(11);
  cl_Skeleton s;
  BuildChain(s, 6);
  // A second root with a child, to cover forests.
  s.Create(2);
  s[7].parent = 6;
  s[6].children.push_back(7);
  s[6].name = "r2";
  cl_Pose pose(8);
  float worst = 0.0f;
  for (int round = 0; round < 200; ++round) {
    // New bindings after a first SetPose must not be served from stale per-bone constants.
    RandomBinding(s, rng);
    RandomPose(pose, rng);
    s.SetPose(&pose);
    for (int i = 0; i < s.size(); ++i) {
      const int parent = s[i].parent;
      const st_Double4 expected = ReferenceSkin(s[i], pose[i], parent < 0 ? Matrix4() : s[parent].skinMatrix);
      for (int k = 0; k < 16; ++k) {
        const double scale = std::fmax(1.0, std::fabs(expected.m[k]));
        worst = std::fmax(worst, static_cast<float>(std::fabs(s[i].skinMatrix.m[k] - expected.m[k]) / scale));
      }
    }
  }
  // The cached per-bone constants change the rounding, not the result. Relative to the element (or
  // absolute below 1) the seven products in float stray up to about 1.6e-6 from the double
  // result over such inputs; the cached form must do no worse.
  EXPECT_LE(worst, 2e-6f);
}

TEST(SetPose, UnreachableBonesKeepTheirMatrixAndMissingEntriesAreIdentity) {
  cl_Skeleton s;
  BuildChain(s, 3);
  s.Create(1);
  s[3].parent = 3 - 3;  // claims a parent that does not list it: never visited
  Matrix4 marker;
  marker.translation(9, 9, 9);
  s[3].skinMatrix = marker;
  cl_Pose pose(1);  // fewer entries than bones
  pose[0].translation = V3(0, 1, 0);
  s.SetPose(&pose);
  EXPECT_EQ(s[3].skinMatrix, marker);
  Matrix4 expected;
  expected.translation(0, 1, 0);
  ExpectMatrixNear(s[2].skinMatrix, expected);
}

TEST(PoseBlend, WeightedCrossFadeAndSubsetBlendIncludingSelfAliasing) {
  const Quaternion qa = AxisAngle(V3(0, 1, 0), 0.2f), qb = AxisAngle(V3(0, 1, 0), 1.0f);
  const Entry a = MakeEntry(1.0f, V3(0, 0, 0), V3(1, 1, 1), qa);
  const Entry b = MakeEntry(3.0f, V3(4, 0, 8), V3(3, 1, 1), qb);
  const Entry at75 = MakeEntry(4.0f, V3(3, 0, 6), V3(2.5f, 1, 1), qa.slerp(qb, 0.75f));

  cl_Pose pa(2), pb(2), out(2);
  pa[0] = pa[1] = a;
  pb[0] = pb[1] = b;
  out.Blend(&pa, &pb);
  ExpectEntryNear(out[0], at75);
  pa.Blend(&pa, &pb);  // the result written over its own input
  ExpectEntryNear(pa[1], at75);

  pa[0] = a;
  out.Blend(&pa, &pb, 0.0f);
  ExpectEntryNear(out[0], MakeEntry(1.0f, a.translation, a.scale, a.rotation));
  out.Blend(&pa, &pb, 1.0f);
  ExpectEntryNear(out[0], MakeEntry(1.0f, b.translation, b.scale, b.rotation));
  out.Blend(&pa, static_cast<cl_Pose*>(nullptr), 0.5f);  // null poses change nothing
  ExpectEntryNear(out[0], MakeEntry(1.0f, b.translation, b.scale, b.rotation));

  struct Case {
    const char* name;
    float subsetWeight;
    float f;
    bool changed;
  };
  const Case cases[] = {{"zero weight", 0.0f, 1.0f, false},
                        {"negative f", 1.0f, -0.5f, false},
                        {"NaN f", 1.0f, std::nanf(""), false},
                        {"full weight copies", 1.0f, 1.0f, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    cl_Pose p(3);
    p[1] = a;
    cl_SkeletonSubset subset;
    subset.Set(1, c.subsetWeight);
    subset.Set(7, 1.0f);  // outside the pose: ignored
    p.Blend(&pb, &subset, c.f);
    ExpectEntryNear(p[1], c.changed ? MakeEntry(1.0f, b.translation, b.scale, b.rotation) : a);
    ExpectEntryNear(p[0], Entry());
  }
}

TEST(PoseAdd, LayersScaleAsFactorOrSummandAndAliasSafely) {
  const Quaternion q = AxisAngle(V3(1, 0, 0), 0.6f);
  cl_Pose base(2), layer(2);
  base[0] = base[1] = MakeEntry(0.5f, V3(1, 1, 1), V3(1.5f, 1, 1), q);
  layer[0] = layer[1] = MakeEntry(9.0f, V3(2, 0, 0), V3(2, 2, 2), q);

  cl_Pose p(2);
  p[0] = base[0];
  p.Add(&layer, nullptr, 0.0f);
  ExpectEntryNear(p[0], base[0]);

  p.Add(&layer, nullptr, 1.0f);  // null subset: every entry of the layer
  ExpectEntryNear(p[0], MakeEntry(0.5f, V3(3, 1, 1), V3(3, 2, 2), q * q));
  ExpectEntryNear(p[1], MakeEntry(1.0f, V3(2, 0, 0), V3(2, 2, 2), q));

  cl_Pose f(2);
  f[0] = base[0];
  f.FunStuff_Add(&layer, nullptr, 1.0f);
  ExpectEntryNear(f[0], MakeEntry(0.5f, V3(3, 1, 1), V3(3.5f, 3, 3), q * q));

  // Half a layer: half the translation, the scale factor faded in from 1, half the rotation.
  cl_Pose h(2);
  h[0] = base[0];
  cl_SkeletonSubset only0;
  only0.Set(0, 0.0f);  // subset weights are not used by Add
  h.Add(&layer, &only0, 0.5f);
  ExpectEntryNear(h[0], MakeEntry(0.5f, V3(2, 1, 1), V3(2.25f, 1.5f, 1.5f), q * AxisAngle(V3(1, 0, 0), 0.3f)));
  ExpectEntryNear(h[1], Entry());

  cl_Pose self(1);
  self[0] = base[0];
  self.Add(&self, nullptr, 1.0f);
  ExpectEntryNear(self[0], MakeEntry(0.5f, V3(2, 2, 2), V3(2.25f, 1, 1), q * q));
}

TEST(PoseBlendList, FoldsByWeightIntoThisPoseEvenWhenItIsListed) {
  cl_Pose a(1), b(1), c(1), out(3);
  a[0] = MakeEntry(1.0f, V3(0, 0, 0), V3(1, 1, 1), Quaternion());
  b[0] = MakeEntry(1.0f, V3(2, 0, 0), V3(1, 1, 1), Quaternion());
  c[0] = MakeEntry(2.0f, V3(4, 0, 0), V3(1, 1, 1), Quaternion());
  base::list<cl_Pose*> poses{&a, &b, &c};
  out.Blend(poses);
  EXPECT_EQ(out.GetNumBones(), 1);
  ExpectEntryNear(out[0], MakeEntry(4.0f, V3(2.5f, 0, 0), V3(1, 1, 1), Quaternion()));

  base::list<cl_Pose*> withSelf{&a, &a};
  a.Blend(withSelf);
  ExpectEntryNear(a[0], MakeEntry(2.0f, V3(0, 0, 0), V3(1, 1, 1), Quaternion()));
  out.Blend(base::list<cl_Pose*>());  // an empty list changes nothing
  EXPECT_EQ(out.GetNumBones(), 1);
}

TEST(PoseWeights, SetSizeKeepsEntriesAndRecursiveWeightsFollowTheBranch) {
  cl_Pose p(3);
  p[2].translation = V3(5, 6, 7);
  p.SetSize(1);
  p.SetSize(3);
  ExpectNear(p[2].translation, V3(5, 6, 7));
  p.SetSize(6);
  ExpectEntryNear(p[5], Entry());
  ExpectNear(p[2].translation, V3(5, 6, 7));

  cl_Skeleton s;
  BuildChain(s, 4);
  s.Create(1);  // bone 4: a second child of bone 1
  s[4].parent = 1;
  s[1].children.push_back(4);
  cl_Pose w(5);
  w.SetWeights(0.0f);
  w.SetWeightsRecursive(3, &s, 0.5f);  // a leaf: only itself
  EXPECT_FLOAT_EQ(w[3].weight, 0.5f);
  EXPECT_FLOAT_EQ(w[2].weight, 0.0f);
  w.SetWeightsRecursive(1, &s, 1.0f);
  const float expected[] = {0.0f, 1.0f, 1.0f, 1.0f, 1.0f};
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(w[i].weight, expected[i]) << i;
}

}  // namespace
