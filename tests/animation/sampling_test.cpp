#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "animation_test_support.h"

namespace {

using namespace animtest;

float SampleX(const cl_Animation& clip, float time) {
  cl_Pose p(static_cast<int>(clip.GetNumTracks()));
  p.Set(&clip, time);
  return p[0].translation.x;
}

TEST(AnimationSampling, KeySearchWrapsAndExtrapolatesOnBothForms) {
  // x = 10 · time on keys at 0, 1, 2 and 4 s of a 4 s clip, so every sample is predictable.
  auto keys = std::vector<Key>{MakeKey(0, V3(0, 0, 0)), MakeKey(1, V3(10, 0, 0)), MakeKey(2, V3(20, 0, 0)),
                               MakeKey(4, V3(40, 0, 0))};
  struct Case {
    const char* name;
    float time;
    float x;
  };
  const Case cases[] = {
      {"first key", 0.0f, 0.0f},       {"inner key (f = 1 on the key before)", 2.0f, 20.0f},
      {"between keys", 3.0f, 30.0f},   {"before the second key", 0.25f, 2.5f},
      {"at the length wraps to 0", 4.0f, 0.0f}, {"1.5 x length", 6.0f, 20.0f},
      {"negative extrapolates", -1.0f, -10.0f},
  };
  for (bool compress : {false, true}) {
    std::unique_ptr<cl_Animation> clip(MakeClip("walk", 4.0f, {keys, keys}));
    // Track 1 keeps its translation constant so that the block mixes keyed and constant parts.
    for (auto& k : clip->tracks[1]->keys) k.translation = V3(7, 7, 7);
    if (compress) clip->Compress();
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (compress ? " (compressed)" : " (keyed)"));
      cl_Pose p(2);
      p[0].weight = 0.25f;
      p.Set(clip.get(), c.time);
      EXPECT_NEAR(p[0].translation.x, c.x, 1e-4f);
      ExpectNear(p[1].translation, V3(7, 7, 7));
      EXPECT_FLOAT_EQ(p[0].weight, 0.25f);  // sampling leaves weights alone
    }
  }
}

TEST(AnimationSampling, DegenerateClipsSampleSafely) {
  struct Case {
    const char* name;
    float length;
    std::vector<Key> keys;
    float time;
    float x;
  };
  const Case cases[] = {
      {"one key holds", 2.0f, {MakeKey(0.5f, V3(3, 0, 0))}, 1.7f, 3.0f},
      {"length 0 samples at 0", 0.0f, {MakeKey(0, V3(1, 0, 0)), MakeKey(1, V3(2, 0, 0))}, 0.7f, 1.0f},
      {"negative length samples at 0", -2.0f, {MakeKey(0, V3(1, 0, 0)), MakeKey(1, V3(2, 0, 0))}, 0.7f, 1.0f},
      {"two keys at one time hold the first", 1.0f, {MakeKey(0, V3(1, 0, 0)), MakeKey(0, V3(2, 0, 0))}, 0.5f, 1.0f},
      {"two keys, a quarter", 1.0f, {MakeKey(0, V3(0, 0, 0)), MakeKey(1, V3(2, 0, 0))}, 0.25f, 0.5f},
  };
  for (const auto& c : cases) {
    for (bool compress : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (compress ? " (compressed)" : " (keyed)"));
      std::unique_ptr<cl_Animation> clip(MakeClip("c", c.length, {c.keys}));
      if (compress) clip->Compress();
      EXPECT_NEAR(SampleX(*clip, c.time), c.x, 1e-5f);
    }
  }
  // No keys at all, or fewer pose entries than tracks: nothing is read or written out of range.
  std::unique_ptr<cl_Animation> empty(MakeClip("e", 1.0f, {{}}));
  cl_Pose p(1);
  p[0].translation = V3(4, 4, 4);
  p.Set(empty.get(), 0.5f);
  ExpectNear(p[0].translation, V3(4, 4, 4));
  std::unique_ptr<cl_Animation> wide(MakeClip("w", 1.0f, {{MakeKey(0, V3(1, 0, 0))}, {MakeKey(0, V3(2, 0, 0))}}));
  p.Set(wide.get(), 0.0f);
  ExpectNear(p[0].translation, V3(1, 0, 0));
  p.Set(nullptr, 0.0f);
}

// One of: neutral, constant, keyed, for a part of a random track.
enum Kind { kNeutral, kConstant, kKeyed };

Quaternion RandomRotation(std::mt19937& rng) {
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  Quaternion q;
  q.set_axis_angle(V3(u(rng), u(rng), u(rng) + 2.0f).normal(), 3.0f * u(rng));
  return q;
}

TEST(AnimationCompress, SamplesLikeTheKeyedClipForEveryFlagCombination) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> u(-2.0f, 2.0f);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    const int n = 1 + round % 6;
    std::vector<float> times;
    for (int k = 0; k < n; ++k) times.push_back(std::uniform_real_distribution<float>(0.0f, 3.0f)(rng));
    std::sort(times.begin(), times.end());
    times[0] = 0.0f;
    // The clip ends on its last key: far extrapolation would measure slerp's rounding, not the block.
    const float length = n > 1 ? times.back() : 1.0f;
    // 27 tracks: every combination of the three parts' kinds.
    std::vector<std::vector<Key>> tracks;
    std::vector<unsigned char> expectedFlags;
    for (int combo = 0; combo < 27; ++combo) {
      const Kind kt = Kind(combo % 3), ks = Kind(combo / 3 % 3), kr = Kind(combo / 9);
      const V3 ct(u(rng), u(rng), u(rng) + 3.0f), cs(u(rng), u(rng) + 3.0f, u(rng));
      const Quaternion cr = RandomRotation(rng);
      std::vector<Key> keys;
      for (int k = 0; k < n; ++k) {
        Key key = MakeKey(times[static_cast<size_t>(k)], V3());
        key.translation = kt == kNeutral ? V3() : kt == kConstant ? ct : V3(u(rng), u(rng), u(rng) + 3.0f);
        key.scale = ks == kNeutral ? V3(1, 1, 1) : ks == kConstant ? cs : V3(u(rng), u(rng) + 3.0f, u(rng));
        key.rotation = kr == kNeutral ? Quaternion() : kr == kConstant ? cr : RandomRotation(rng);
        keys.push_back(key);
      }
      tracks.push_back(keys);
      // A single key is constant whatever it was meant to be.
      auto flags = [n](Kind k, unsigned char present, unsigned char constant) {
        return static_cast<unsigned char>(k == kNeutral ? 0 : (k == kConstant || n == 1) ? present | constant : present);
      };
      expectedFlags.push_back(flags(kt, cl_Animation::TRANSLATION, cl_Animation::TRANSLATION_CONST) |
                              flags(ks, cl_Animation::SCALE, cl_Animation::SCALE_CONST) |
                              flags(kr, cl_Animation::ROTATION, cl_Animation::ROTATION_CONST));
    }
    std::unique_ptr<cl_Animation> keyed(MakeClip("k", length, tracks));
    std::unique_ptr<cl_Animation> packed(MakeClip("p", length, tracks));
    packed->Compress();
    ASSERT_NE(packed->compressed, nullptr);
    EXPECT_TRUE(packed->tracks.empty());
    EXPECT_EQ(packed->compressed->flags, expectedFlags);
    EXPECT_TRUE(packed->compressed->Check().empty());
    cl_Pose a(27), b(27);
    for (float t : {0.0f, length * 0.37f, length * 0.99f, length * 2.6f, times[static_cast<size_t>(n / 2)]}) {
      a.Set(keyed.get(), t);
      b.Set(packed.get(), t);
      for (int i = 0; i < 27; ++i) {
        SCOPED_TRACE(i);
        ExpectEntryNear(a[i], b[i], 1e-5f);
      }
    }
  }
}

TEST(AnimationCompress, PartsAreDroppedOnlyWhenEveryKeyIsNeutral) {
  const Quaternion turn(0.0f, 0.0f, 0.7071068f, 0.7071068f);
  struct Case {
    const char* name;
    std::vector<Key> keys;
    unsigned char flags;
    std::vector<float> data;
  };
  const Case cases[] = {
      {"all neutral", {MakeKey(0, V3()), MakeKey(1, V3())}, 0, {}},
      {"constant translation", {MakeKey(0, V3(1, 2, 3)), MakeKey(1, V3(1, 2, 3))}, 1 | 2, {1, 2, 3}},
      {"symmetric motion keeps its keys", {MakeKey(0, V3(-1, 0, 0)), MakeKey(1, V3(1, 0, 0))}, 1,
       {-1, 0, 0, 1, 0, 0}},
      {"symmetric scale keeps its keys", {MakeKey(0, V3(), V3(0.5f, 1, 1)), MakeKey(1, V3(), V3(1.5f, 1, 1))}, 4,
       {0.5f, 1, 1, 1.5f, 1, 1}},
      {"constant rotation stored once", {MakeKey(0, V3(), V3(1, 1, 1), turn), MakeKey(1, V3(), V3(1, 1, 1), turn)},
       16 | 32, {0, 0, 0.7071068f, 0.7071068f}},
      {"q and -q of the identity are neutral",
       {MakeKey(0, V3(), V3(1, 1, 1), Quaternion(0, 0, 0, 1)), MakeKey(1, V3(), V3(1, 1, 1), Quaternion(0, 0, 0, -1))},
       0, {}},
      {"within the tolerance is neutral", {MakeKey(0, V3(5e-5f, 0, 0)), MakeKey(1, V3(-5e-5f, 0, 0))}, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<cl_Animation> clip(MakeClip("c", 1.0f, {c.keys}));
    clip->Compress();
    ASSERT_EQ(clip->compressed->flags.size(), 1u);
    EXPECT_EQ(clip->compressed->flags[0], c.flags);
    EXPECT_EQ(clip->compressed->data, c.data);
    EXPECT_EQ(clip->compressed->offsets, std::vector<int>{0});
  }

  std::unique_ptr<cl_Animation> twice(MakeClip("t", 1.0f, {{MakeKey(0, V3(1, 2, 3)), MakeKey(1, V3(1, 2, 3))}}));
  twice->Compress();
  const auto* block = twice->compressed;
  twice->Compress();
  EXPECT_EQ(twice->compressed, block);
  EXPECT_EQ(block->data, (std::vector<float>{1, 2, 3}));
}

TEST(AnimationRepositioning, RootDriftMovesIntoTheVector) {
  std::unique_ptr<cl_Animation> clip(MakeClip(
      "walk", 2.0f,
      {{MakeKey(0, V3(0, 1, 0)), MakeKey(1, V3(0, 1, 2)), MakeKey(2, V3(0, 1, 4))}, {MakeKey(0, V3(5, 0, 0)),
                                                                                    MakeKey(1, V3(6, 0, 0)),
                                                                                    MakeKey(2, V3(7, 0, 0))}}));
  ExpectNear(clip->GetRepositioning(1), V3(2, 0, 0));
  clip->ExtractRepositioning();
  ExpectNear(clip->repositioning, V3(0, 0, 4));
  for (const auto& k : clip->tracks[0]->keys) ExpectNear(k.translation, V3(0, 1, 0));
  EXPECT_FLOAT_EQ(clip->tracks[1]->keys[2].translation.x, 7.0f);  // only the root changes

  // Without a length there is no time to spread the drift over: the keys stay.
  std::unique_ptr<cl_Animation> still(MakeClip("s", 0.0f, {{MakeKey(0, V3()), MakeKey(1, V3(0, 0, 4))}}));
  still->ExtractRepositioning();
  ExpectNear(still->repositioning, V3(0, 0, 4));
  ExpectNear(still->tracks[0]->keys[1].translation, V3(0, 0, 4));
  ExpectNear(still->GetRepositioning(5), V3());
}

}  // namespace
