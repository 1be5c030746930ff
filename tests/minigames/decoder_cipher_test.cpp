// The Decoder's cipher on its own: wheel offsets wrap around the middle, the passes map vowels
// and consonants and then the alphabet, letters roll one alphabet step at a time to their new
// value, and levels that could hang the game (letters that can never be reached, wheels that
// cannot scramble the message) are refused.
#include <gtest/gtest.h>

#include <string>

#include "quillane/minigames/decoder/DecoderCipher.h"

namespace {

using quillane::cl_DecoderCipher;
using quillane::st_DecoderLine;

cl_DecoderCipher SmallLevel() {
  cl_DecoderCipher cipher;
  cipher.m_Sets[cl_DecoderCipher::WHEEL_VOWELS] = u"AE";
  cipher.m_Sets[cl_DecoderCipher::WHEEL_CONSONANTS] = u"BCD";
  cipher.m_Sets[cl_DecoderCipher::WHEEL_ALPHABET] = u"ABCDE";
  cipher.m_Sizes[0] = 2;
  cipher.m_Sizes[1] = 3;
  cipher.m_Sizes[2] = 5;
  return cipher;
}

// Steps the roll at 0.1 s a frame until it rests; the number of frames, -1 when it never does.
int RollToRest(const cl_DecoderCipher& cipher, st_DecoderLine& line) {
  for (int frame = 0; frame < 1000; ++frame) {
    if (!line.IsRolling() && (line.m_RollDistance == 0 || line.m_RollProgress == line.m_RollDistance)) return frame;
    cipher.Roll(line, 0.1f);
  }
  return -1;
}

TEST(DecoderWheel, OffsetsWrapAroundTheMiddle) {
  struct {
    int offset, size, expected;
  } const cases[] = {{4, 6, -2}, {3, 6, 3}, {-4, 6, 2}, {-3, 6, -3}, {2, 3, -1}, {-2, 3, 1}, {1, 1, 0}, {3, 5, -2}};
  for (const auto& c : cases)
    EXPECT_EQ(cl_DecoderCipher::WrapOffset(c.offset, c.size), c.expected) << c.offset << " on " << c.size;
  cl_DecoderCipher cipher;
  cipher.SetDefaultSets();
  cipher.m_Sizes[0] = 6;
  cipher.m_Offsets[0] = 3;
  cipher.Turn(0, 1);
  EXPECT_EQ(cipher.m_Offsets[0], -2);
}

TEST(DecoderCipher, PassesMapVowelsConsonantsAndThenTheAlphabet) {
  cl_DecoderCipher cipher = SmallLevel();
  st_DecoderLine line;
  line.Set(u"BAD, CAB!");
  cipher.m_Offsets[0] = 1;  // A -> E
  cipher.Encipher(line);
  EXPECT_EQ(line.m_Shown, u"BED, CEB!");
  cipher.m_Offsets[1] = -1;  // B -> D, C -> B, D -> C
  cipher.Encipher(line);
  EXPECT_EQ(line.m_Shown, u"DEC, BED!");
  cipher.m_Offsets[2] = 1;  // and every result one letter on in the alphabet
  cipher.Encipher(line);
  EXPECT_EQ(line.m_Shown, u"EAD, CAE!");
  // The alphabet wheel alone moves every letter of a set one on; at 0 it leaves them.
  cipher.m_Offsets[0] = cipher.m_Offsets[1] = 0;
  cipher.Encipher(line);
  EXPECT_EQ(line.m_Shown, u"CBE, DBC!");
  cipher.m_Offsets[2] = 0;
  cipher.Encipher(line);
  EXPECT_EQ(line.m_Shown, line.m_Plain);
}

TEST(DecoderCipher, ATurnAndItsReverseRestoreTheMessageAfterTheRoll) {
  cl_DecoderCipher cipher;
  cipher.SetDefaultSets();
  cipher.m_Sizes[0] = 6;
  cipher.m_Sizes[1] = 6;
  cipher.m_Sizes[2] = 10;
  st_DecoderLine line;
  line.Set(u"PAY NO ATTENTION, TO THE");
  for (int wheel = 0; wheel < 3; ++wheel) {
    for (int d : {1, -1}) {
      cipher.Turn(wheel, d);
      cipher.Recompute(line, d > 0);
      EXPECT_NE(line.m_Shown, line.m_Plain) << wheel;
      ASSERT_GE(RollToRest(cipher, line), 0);
      for (size_t i = 0; i < line.m_Plain.size(); ++i) {
        if (line.m_Plain[i] == u' ' || line.m_Plain[i] == u',') {
          EXPECT_EQ(line.m_Shown[i], line.m_Plain[i]);
        }
      }
      cipher.Turn(wheel, -d);
      cipher.Recompute(line, d < 0);
      ASSERT_GE(RollToRest(cipher, line), 0);
      EXPECT_TRUE(cl_DecoderCipher::IsSolved(line)) << "wheel " << wheel << " direction " << d;
    }
  }
}

TEST(DecoderRoll, LettersStepEveryTenthOfASecondInTheTurnsDirection) {
  cl_DecoderCipher cipher = SmallLevel();
  st_DecoderLine line;
  line.Set(u"A B");
  cipher.m_Offsets[2] = 2;  // A -> C and B -> D: two steps each
  cipher.Recompute(line, true);
  EXPECT_EQ(line.m_RollDistance, 30);
  EXPECT_EQ(line.m_Rolling, u"B C");  // the first step is taken at once
  EXPECT_EQ(line.m_Previous, u"A B");
  cipher.Roll(line, 0.05f);
  EXPECT_FLOAT_EQ(line.m_RollProgress, 15.0f);
  cipher.Roll(line, 0.05f);
  EXPECT_FLOAT_EQ(line.m_RollProgress, 30.0f);
  EXPECT_TRUE(cipher.Roll(line, 0.1f));
  EXPECT_EQ(line.m_Rolling, u"C D");
  EXPECT_EQ(line.m_Previous, u"B C");
  EXPECT_FALSE(line.IsRolling());
  // Backwards the letters run down the alphabet, wrapping past its start.
  cipher.m_Offsets[2] = 0;
  cipher.Recompute(line, false);
  EXPECT_EQ(line.m_RollDistance, -30);
  EXPECT_EQ(line.m_Rolling, u"B C");
  EXPECT_EQ(RollToRest(cipher, line), 3);
  EXPECT_EQ(line.m_Rolling, u"A B");
  // Once the last slide has ended only the new letters are drawn.
  EXPECT_FALSE(cipher.Roll(line, 0.1f));
  EXPECT_EQ(line.m_Previous, u"A B");
}

TEST(DecoderRoll, ALetterOutsideTheAlphabetEntersItAtTheStepsEnd) {
  cl_DecoderCipher cipher = SmallLevel();
  EXPECT_EQ(cipher.StepLetter(u'Z', 1), u'A');
  EXPECT_EQ(cipher.StepLetter(u'Z', -1), u'D');
  EXPECT_EQ(cipher.StepLetter(u'E', 1), u'A');
  EXPECT_EQ(cipher.StepLetter(u'A', -1), u'E');
}

TEST(DecoderLevel, LevelsThatCouldHangTheGameAreRefused) {
  struct {
    const char* what;
    const char16_t *vowels, *consonants, *alphabet;
    int sizes[3];
    const char16_t* message;
    bool playable;
  } const cases[] = {
      {"the small level", u"AE", u"BCD", u"ABCDE", {2, 3, 5}, u"BAD", true},
      {"only the alphabet wheel turns", u"AE", u"BCD", u"ABCDE", {1, 1, 5}, u"BAD", true},
      {"no alphabet", u"AE", u"BCD", u"", {2, 3, 0}, u"BAD", false},
      {"a vowel outside the alphabet", u"AEY", u"BCD", u"ABCDE", {3, 3, 5}, u"BAD", false},
      {"a consonant outside the alphabet", u"AE", u"BCZ", u"ABCDE", {2, 3, 5}, u"BAD", false},
      {"a wheel of size 0", u"AE", u"BCD", u"ABCDE", {0, 3, 5}, u"BAD", false},
      {"no letter of any set", u"AE", u"BCD", u"ABCDE", {2, 3, 5}, u"XYZ --", false},
      {"an empty message", u"AE", u"BCD", u"ABCDE", {2, 3, 5}, u"", false},
      {"wheels of size 1", u"AE", u"BCD", u"ABCDE", {1, 1, 1}, u"BAD", false},
  };
  for (const auto& c : cases) {
    cl_DecoderCipher cipher;
    cipher.m_Sets[0] = c.vowels;
    cipher.m_Sets[1] = c.consonants;
    cipher.m_Sets[2] = c.alphabet;
    for (int i = 0; i < 3; ++i) cipher.m_Sizes[i] = c.sizes[i];
    EXPECT_EQ(cipher.CheckLevel(c.message, u"").empty(), c.playable) << c.what;
  }
}

}  // namespace
