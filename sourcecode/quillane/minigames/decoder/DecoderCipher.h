// The Decoder game's cipher: three code wheels (vowels, consonants, cipher alphabet) turn the
// plain text of a message line into the shown text, and the shown letters roll toward their new
// values one alphabet step at a time, like a counter. No drawing, sound or input here, so the
// rules can be checked on their own. Main thread only.
#pragma once

#include <string>

namespace quillane {

// One message line (upper or lower).
struct st_DecoderLine {
  std::u16string m_Plain;     // the deciphered text
  std::u16string m_Shown;     // what the wheels make of it now
  std::u16string m_Previous;  // the letters sliding out during a step
  std::u16string m_Rolling;   // the letters on their way to m_Shown
  int m_RollDistance = 0;     // +30 or -30 pixels after a turn; 0 before the first one
  float m_RollProgress = 0.0f;

  // Every text := text (the line at rest).
  void Set(const std::u16string& text);
  bool IsRolling() const { return m_Rolling != m_Shown; }
};

class cl_DecoderCipher {
 public:
  enum en_Wheel : int { WHEEL_VOWELS = 0, WHEEL_CONSONANTS = 1, WHEEL_ALPHABET = 2, WHEEL_COUNT = 3 };
  static constexpr float kRollStep = 30.0f;  // pixels a letter slides per step

  // The sets before a level replaces them.
  void SetDefaultSets();
  // The shown text of the line from its plain text under the current offsets (letters in no
  // set keep their shown value).
  void Encipher(st_DecoderLine& line) const;
  // offset += d, then wrapped into -(size div 2) .. size div 2.
  void Turn(int wheel, int d);
  static int WrapOffset(int offset, int size);
  // After a turn: the old shown text starts rolling toward the new one in direction forward.
  void Recompute(st_DecoderLine& line, bool forward) const;
  // One alphabet step of c in direction s (+1 or -1); a letter outside the alphabet enters it.
  char16_t StepLetter(char16_t c, int s) const;
  // Steps each rolling letter that differs from its shown letter once; whether any stepped.
  bool StepRolling(st_DecoderLine& line, int s) const;
  // Advances the line's roll by dt; true when letters stepped this call (the clatter).
  bool Roll(st_DecoderLine& line, float dt) const;
  static bool IsSolved(const st_DecoderLine& line) {
    return line.m_Shown == line.m_Plain && line.m_Rolling == line.m_Shown;
  }
  // Empty when the level can be played; otherwise what is wrong with it: an empty alphabet, a
  // vowel or consonant outside the alphabet (its letters could never roll there), a wheel
  // smaller than 1, or wheels that cannot change the message (it could not be scrambled).
  std::string CheckLevel(const std::u16string& line1, const std::u16string& line2) const;

  std::u16string m_Sets[WHEEL_COUNT];  // vowels, consonants, alphabet
  int m_Offsets[WHEEL_COUNT] = {0, 0, 0};
  int m_Sizes[WHEEL_COUNT] = {0, 0, 0};

 private:
  void Pass(const std::u16string& plain, std::u16string& shown, int wheel) const;
};

}  // namespace quillane
