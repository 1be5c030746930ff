#include "quillane/minigames/decoder/DecoderCipher.h"

namespace quillane {

namespace {

int Mod(int a, int n) {
  const int r = a % n;
  return r < 0 ? r + n : r;
}

int IndexIn(const std::u16string& set, char16_t c) {
  const size_t at = set.find(c);
  return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

}  // namespace

void st_DecoderLine::Set(const std::u16string& text) {
  m_Plain = m_Shown = m_Previous = m_Rolling = text;
  m_RollDistance = 0;
  m_RollProgress = 0.0f;
}

void cl_DecoderCipher::SetDefaultSets() {
  m_Sets[WHEEL_VOWELS] = u"AEIOUY";
  m_Sets[WHEEL_CONSONANTS] = u"BCDFGHJKLMNPQRSTVWXZ";
  m_Sets[WHEEL_ALPHABET] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ";
}

void cl_DecoderCipher::Pass(const std::u16string& plain, std::u16string& shown, int wheel) const {
  const std::u16string& set = m_Sets[wheel];
  const std::u16string& alphabet = m_Sets[WHEEL_ALPHABET];
  if (set.empty()) return;
  const int n = static_cast<int>(set.size());
  for (size_t i = 0; i < plain.size() && i < shown.size(); ++i) {
    const int at = IndexIn(set, plain[i]);
    if (at < 0) continue;
    char16_t c = set[static_cast<size_t>(Mod(at + m_Offsets[wheel], n))];
    if (m_Offsets[WHEEL_ALPHABET] != 0 && !alphabet.empty()) {
      const int k = IndexIn(alphabet, c);
      if (k >= 0)
        c = alphabet[static_cast<size_t>(Mod(k + m_Offsets[WHEEL_ALPHABET], static_cast<int>(alphabet.size())))];
    }
    shown[i] = c;
  }
}

void cl_DecoderCipher::Encipher(st_DecoderLine& line) const {
  Pass(line.m_Plain, line.m_Shown, WHEEL_VOWELS);
  Pass(line.m_Plain, line.m_Shown, WHEEL_CONSONANTS);
}

int cl_DecoderCipher::WrapOffset(int offset, int size) {
  const int half = size / 2;
  if (offset > half) offset -= size;
  if (offset < -half) offset += size;
  return offset;
}

void cl_DecoderCipher::Turn(int wheel, int d) {
  if (wheel < 0 || wheel >= WHEEL_COUNT) return;
  m_Offsets[wheel] = WrapOffset(m_Offsets[wheel] + d, m_Sizes[wheel]);
}

char16_t cl_DecoderCipher::StepLetter(char16_t c, int s) const {
  const std::u16string& alphabet = m_Sets[WHEEL_ALPHABET];
  if (alphabet.empty()) return c;
  const int n = static_cast<int>(alphabet.size());
  const int k = IndexIn(alphabet, c);
  return alphabet[static_cast<size_t>(Mod(k >= 0 ? k + s : s - 1, n))];
}

bool cl_DecoderCipher::StepRolling(st_DecoderLine& line, int s) const {
  bool stepped = false;
  for (size_t i = 0; i < line.m_Rolling.size() && i < line.m_Shown.size(); ++i)
    if (line.m_Rolling[i] != line.m_Shown[i]) {
      line.m_Rolling[i] = StepLetter(line.m_Rolling[i], s);
      stepped = true;
    }
  return stepped;
}

void cl_DecoderCipher::Recompute(st_DecoderLine& line, bool forward) const {
  line.m_Previous = line.m_Rolling = line.m_Shown;
  Encipher(line);
  line.m_RollDistance = forward ? static_cast<int>(kRollStep) : -static_cast<int>(kRollStep);
  line.m_RollProgress = 0.0f;
  StepRolling(line, forward ? 1 : -1);
}

bool cl_DecoderCipher::Roll(st_DecoderLine& line, float dt) const {
  const float distance = static_cast<float>(line.m_RollDistance);
  const bool reached = distance >= 0.0f ? line.m_RollProgress >= distance : line.m_RollProgress <= distance;
  if (reached) {
    // The last slide has ended: the old letters go, or they stay drawn a step below the line
    // with their tops showing under the window's strip.
    line.m_Previous = line.m_Rolling;
    if (!line.IsRolling()) return false;
    // Before the first turn the distance is 0: the opening roll runs forward, one step a frame.
    const bool stepped = StepRolling(line, line.m_RollDistance < 0 ? -1 : 1);
    line.m_RollProgress = 0.0f;
    return stepped;
  }
  const float v = kRollStep * 10.0f * dt;
  if (distance > 0.0f)
    line.m_RollProgress = line.m_RollProgress + v > distance ? distance : line.m_RollProgress + v;
  else
    line.m_RollProgress = line.m_RollProgress - v < distance ? distance : line.m_RollProgress - v;
  return false;
}

std::string cl_DecoderCipher::CheckLevel(const std::u16string& line1, const std::u16string& line2) const {
  const std::u16string& alphabet = m_Sets[WHEEL_ALPHABET];
  if (alphabet.empty()) return "the alphabet is empty";
  for (int wheel : {WHEEL_VOWELS, WHEEL_CONSONANTS}) {
    for (char16_t c : m_Sets[wheel])
      if (IndexIn(alphabet, c) < 0)
        return wheel == WHEEL_VOWELS ? "a vowel is not in the alphabet" : "a consonant is not in the alphabet";
  }
  for (int wheel = 0; wheel < WHEEL_COUNT; ++wheel)
    if (m_Sizes[wheel] < 1) return "a wheel size is below 1";
  // The scramble needs some setting of the wheels that changes a letter. Each wheel turned on
  // its own is enough to find one: a combination changes a letter only through a wheel that
  // changes it alone too (the panel's scramble is bounded as well).
  cl_DecoderCipher trial = *this;
  for (int wheel = 0; wheel < WHEEL_COUNT; ++wheel) {
    for (int other = 0; other < WHEEL_COUNT; ++other) trial.m_Offsets[other] = 0;
    const int half = m_Sizes[wheel] / 2;
    for (int offset = -half; offset <= half; ++offset) {
      trial.m_Offsets[wheel] = offset;
      for (const std::u16string* text : {&line1, &line2}) {
        st_DecoderLine line;
        line.Set(*text);
        trial.Encipher(line);
        if (line.m_Shown != line.m_Plain) return "";
      }
    }
  }
  return "the wheels cannot change the message";
}

}  // namespace quillane
