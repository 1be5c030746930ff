#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "animation_test_support.h"

namespace {

using namespace animtest;

// Little-endian record bytes written by hand, following the record's tables.
struct Bytes {
  std::string b;
  Bytes& i32(int v) { b.append(reinterpret_cast<const char*>(&v), 4); return *this; }
  Bytes& f32(float v) { b.append(reinterpret_cast<const char*>(&v), 4); return *this; }
  Bytes& u8(int v) { b.push_back(static_cast<char>(v)); return *this; }
  Bytes& str(const std::string& s) { i32(static_cast<int>(s.size())); b += s; return *this; }
  Bytes& floats(int n, float v = 0.0f) { for (int i = 0; i < n; ++i) f32(v); return *this; }
};

// Two bones "root" → "tip", one clip "a" and one subset "s", with the fields a damaged-record case
// changes.
struct HandRecord {
  int boneCount = 2;
  int parents[2] = {-1, 0};
  std::vector<int> children[2] = {{1}, {}};
  int form = 1;
  std::vector<float> times = {0.0f, 1.0f};
  std::vector<int> flags = {cl_Animation::TRANSLATION, 0};
  std::vector<int> offsets = {0, 6};
  int dataCount = 6;
  std::vector<int> keyCounts = {2, 2};  // form 0

  std::string bytes() const {
    Bytes r;
    r.i32(boneCount);
    const char* names[2] = {"root", "tip"};
    for (int i = 0; i < 2; ++i) {
      r.str(names[i]).i32(parents[i]).i32(static_cast<int>(children[i].size()));
      for (int c : children[i]) r.i32(c);
      r.floats(3).f32(1).floats(4).f32(1).floats(4).f32(1).floats(4).f32(1);  // position, identity
      r.floats(3).f32(1).floats(4).f32(1).floats(4).f32(1).floats(4).f32(1);
    }
    r.i32(1).str("a").f32(1.0f).floats(3).u8(form);
    if (form != 0) {
      r.f32(1.0f).i32(static_cast<int>(times.size()));
      for (float t : times) r.f32(t);
      r.i32(static_cast<int>(flags.size()));
      for (int f : flags) r.u8(f);
      r.i32(static_cast<int>(offsets.size()));
      for (int o : offsets) r.i32(o);
      r.i32(dataCount).floats(dataCount, 0.5f);
    } else {
      r.i32(static_cast<int>(keyCounts.size()));
      for (int k : keyCounts) {
        r.str("t").i32(k);
        for (int i = 0; i < k; ++i) r.f32(static_cast<float>(i)).floats(3).floats(3, 1.0f).floats(3).f32(1);
      }
    }
    r.i32(1).str("s").i32(1).i32(1).f32(0.5f);
    return r.b;
  }
};

void ExpectEmpty(const cl_Skeleton& s) {
  EXPECT_EQ(s.size(), 0);
  EXPECT_TRUE(s.animations.empty());
  EXPECT_TRUE(s.subsets.empty());
}

// A skeleton holding every kind of part: three bones, a keyed and a compressed clip, two subsets.
void BuildSample(cl_Skeleton& s) {
  BuildChain(s, 3);
  s[2].rotation.rotation(V3(0, 0, 1), 0.5f);
  s.CalcBindingPose();
  std::vector<Key> moving{MakeKey(0, V3(0, 0, 0)), MakeKey(0.5f, V3(1, 2, 3), V3(1, 2, 1)),
                          MakeKey(1, V3(2, 0, 0), V3(1, 1, 1), Quaternion(0, 0, 0.7071068f, 0.7071068f))};
  std::vector<Key> still{MakeKey(0, V3()), MakeKey(0.5f, V3()), MakeKey(1, V3())};
  cl_Animation* keyed = MakeClip("walk", 1.0f, {moving, still, moving});
  keyed->repositioning = V3(0, 0, 4);
  s.AddAnimation(keyed);
  cl_Animation* packed = MakeClip("Idle", 1.0f, {still, moving, still});
  packed->Compress();
  s.AddAnimation(packed);
  auto* upper = new base::cl_SkeletonSubset;
  upper->Set(1, 0.5f);
  upper->Set(2, 1.0f);
  s.AddSubset("upper", upper);
  s.AddSubset("Face", new base::cl_SkeletonSubset);
}

TEST(SkeletonRecord, SizesFollowTheTables) {
  cl_Skeleton empty;
  EXPECT_EQ(SkeletonBytes(empty).size(), 12u);

  base::cl_Bone bone;
  bone.name = "hips";
  // The field table: 4 + 4 (name) + 4 (parent) + 4 (child count) + 12 + 64 + 12 + 64.
  EXPECT_EQ(WriteToBytes([&](base::File* f) { bone.Write(f); }).size(), 168u);
  bone.children = {1, 2};
  EXPECT_EQ(WriteToBytes([&](base::File* f) { bone.Write(f); }).size(), 176u);

  std::unique_ptr<cl_Animation> clip(MakeClip("run", 1.0f, {{MakeKey(0, V3(1, 0, 0)), MakeKey(1, V3(2, 0, 0))},
                                                            {MakeKey(0, V3()), MakeKey(1, V3())}}));
  clip->Compress();
  const int n = 2, t = 2, d = static_cast<int>(clip->compressed->data.size());
  EXPECT_EQ(d, 6);
  EXPECT_EQ(WriteToBytes([&](base::File* f) { clip->Write(f); }).size(),
            static_cast<size_t>(4 + 3 + 4 + 12 + 1 + 4 + (4 + 4 * n) + (4 + t) + (4 + 4 * t) + (4 + 4 * d)));
}

TEST(SkeletonRecord, RoundTripKeepsEverythingInNameOrder) {
  cl_Skeleton s;
  BuildSample(s);
  const std::string bytes = SkeletonBytes(s);
  cl_Skeleton r;
  testsupport::LogCapture log;
  ASSERT_TRUE(ReadSkeleton(bytes, r));
  EXPECT_TRUE(log.get().empty());
  EXPECT_EQ(SkeletonBytes(r), bytes);
  ASSERT_EQ(r.size(), 3);
  EXPECT_EQ(r[2].children.size(), 0u);
  EXPECT_EQ(r[1].children, std::vector<int>{2});
  EXPECT_EQ(r[2].absRotation, s[2].absRotation);
  // Byte-wise order: upper-case initials first.
  std::vector<std::string> names;
  for (const auto& a : r.animations) names.push_back(a.first.c_str());
  EXPECT_EQ(names, (std::vector<std::string>{"Idle", "walk"}));
  EXPECT_EQ(r.subsets.begin()->first, "Face");
  ASSERT_NE(r.GetAnimation("walk"), nullptr);
  EXPECT_EQ(r.GetAnimation("walk")->compressed, nullptr);  // keyed clips stay keyed
  ExpectNear(r.GetAnimation("walk")->repositioning, V3(0, 0, 4));
  EXPECT_EQ(r.GetSubset("upper")->weights, (std::vector<float>{0.5f, 1.0f}));
  cl_Pose a(3), b(3);
  for (float t : {0.1f, 0.5f, 0.8f}) {
    for (const char* clip : {"walk", "Idle"}) {
      a.Set(s.GetAnimation(clip), t);
      b.Set(r.GetAnimation(clip), t);
      for (int i = 0; i < 3; ++i) ExpectEntryNear(a[i], b[i], 0.0f);
    }
  }

  // Reading into a skeleton that holds a clip of the same name keeps the old clip.
  cl_Skeleton old;
  cl_Animation* mine = MakeClip("walk", 9.0f, {});
  old.AddAnimation(mine);
  ASSERT_TRUE(ReadSkeleton(bytes, old));
  EXPECT_EQ(old.GetAnimation("walk"), mine);
  EXPECT_EQ(old.animations.size(), 2u);
  EXPECT_EQ(old.size(), 3);
}

TEST(SkeletonRecord, StoredRecordStillReads) {
  // Written by an earlier build (QUILLANE_UPDATE_GOLDEN=1 rewrites it), so a format change shows.
  const std::string path = std::string(QUILLANE_TEST_DIR) + "/data/sample.skeleton";
  cl_Skeleton s;
  BuildSample(s);
  const std::string bytes = SkeletonBytes(s);
  if (std::getenv("QUILLANE_UPDATE_GOLDEN")) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::ifstream in(path, std::ios::binary);
  const std::string stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(stored.empty()) << path;
  EXPECT_EQ(stored, bytes);
  cl_Skeleton r;
  EXPECT_TRUE(ReadSkeleton(stored, r));
  EXPECT_EQ(r.GetBoneIndex("b2"), 2);
}

TEST(SkeletonRecord, DamagedRecordsLeaveAnEmptySkeletonAndOneError) {
  ASSERT_TRUE([] {
    cl_Skeleton s;
    return ReadSkeleton(HandRecord().bytes(), s) && s.size() == 2 && s.animations.size() == 1;
  }());
  HandRecord keyed;
  keyed.form = 0;
  ASSERT_TRUE([&] {
    cl_Skeleton s;
    return ReadSkeleton(keyed.bytes(), s);
  }());

  struct Case {
    const char* name;
    std::function<void(HandRecord&)> damage;
    const char* message;
  };
  const Case cases[] = {
      {"bone count past the end", [](HandRecord& r) { r.boneCount = 1000; }, "runs past the end"},
      {"negative bone count", [](HandRecord& r) { r.boneCount = -1; }, "negative"},
      {"parent out of range", [](HandRecord& r) { r.parents[1] = 5; r.children[0] = {}; }, "parent 5"},
      {"child out of range", [](HandRecord& r) { r.children[1] = {7}; }, "child 7"},
      {"child without the parent link", [](HandRecord& r) { r.children[0] = {}; }, "missing from its parent"},
      {"cycle", [](HandRecord& r) { r.parents[0] = 1; r.children[1] = {0}; }, "cycle"},
      {"child listed twice", [](HandRecord& r) { r.children[0] = {1, 1}; }, "twice"},
      {"own parent", [](HandRecord& r) { r.parents[1] = 1; r.children[0] = {}; r.children[1] = {1}; }, "parent 1"},
      {"form byte 2", [](HandRecord& r) { r.form = 2; }, "form 2"},
      {"offset past the data", [](HandRecord& r) { r.offsets = {0, 4}; r.flags = {1, 1}; }, "past the 6 data"},
      {"negative offset", [](HandRecord& r) { r.offsets = {-1, 0}; }, "offset -1"},
      {"flags and offsets disagree", [](HandRecord& r) { r.flags = {1}; }, "flag bytes"},
      {"no key times", [](HandRecord& r) { r.times.clear(); }, "no key times"},
      {"keyed data for more keys", [](HandRecord& r) { r.times = {0, 1, 2}; }, "past the 6 data"},
      {"tracks for fewer bones", [](HandRecord& r) { r.flags = {0}; r.offsets = {0}; }, "1 tracks for 2 bones"},
      {"keyed tracks out of step", [](HandRecord& r) { r.form = 0; r.keyCounts = {2, 3}; }, "track 1 has 3 keys"},
      {"keyed tracks for more bones", [](HandRecord& r) { r.form = 0; r.keyCounts = {2, 2, 2}; }, "3 tracks"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HandRecord r;
    c.damage(r);
    cl_Skeleton s;
    BuildChain(s, 1);
    testsupport::LogCapture log;
    EXPECT_FALSE(ReadSkeleton(r.bytes(), s));
    ExpectEmpty(s);
    ASSERT_EQ(log.get().size(), 1u);
    EXPECT_TRUE(log.contains("ERROR: ")) << log.get()[0];
    EXPECT_TRUE(log.contains(c.message)) << log.get()[0];
  }

  // Every cut-short prefix fails cleanly.
  const std::string whole = HandRecord().bytes();
  for (size_t n = 0; n < whole.size(); ++n) {
    cl_Skeleton s;
    testsupport::LogCapture log;
    EXPECT_FALSE(ReadSkeleton(whole.substr(0, n), s)) << n;
    ExpectEmpty(s);
    EXPECT_EQ(log.get().size(), 1u) << n;
  }
}

}  // namespace
