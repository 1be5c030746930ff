// Spoken lines: each line of the speech tables (loca/speech_<language>.xml) is synthesised with
// eSpeak NG (22050 Hz) into an Ogg file at the path the text system gives for its speaker and key,
// loca/<language>/speech/<speaker>/<key>.ogg, and the phoneme events of the synthesis become the
// line's lip-sync file beside it ("phn start end weight code", one line per phoneme, a phoneme
// ending where the next begins). The tables are the one list of lines: scripts say their keys.
#include <espeak-ng/speak_lib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "core/Modules.h"
#include "core/OggWriter.h"
#include "core/Output.h"

namespace demogen {

namespace {

struct st_Line {
  std::string key;
  std::string speaker;
  std::string text;
};

struct st_Language {
  const char* name;   // as in the text tables and the speech folders
  const char* voice;  // eSpeak NG's voice
};
constexpr st_Language kLanguages[] = {{"English", "en"}, {"German", "de"}};

// How long a line takes to read, a little slower than it is spoken: a second to find it, then
// about fifteen characters a second.
constexpr double kReadSeconds = 1.0, kReadSecondsPerCharacter = 0.065;

std::string Unescape(const std::string& s) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&quot;", "\""}, {"&apos;", "'"}, {"&#x27;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
  std::string out = s;
  for (const auto& [entity, plain] : kEntities)
    for (size_t at = out.find(entity); at != std::string::npos; at = out.find(entity, at + 1))
      out.replace(at, std::strlen(entity), plain);
  return out;
}

// The lines of one speech table: every label whose text names a speaker. The table is ours and
// keeps one label per line, so a line-wise match is enough.
bool ReadLines(const std::string& file, std::vector<st_Line>& lines) {
  std::ifstream in(file);
  if (!in) {
    std::fprintf(stderr, "demogen: cannot read %s\n", file.c_str());
    return false;
  }
  static const std::regex kLabel(
      "<Label value=\"([^\"]+)\"><Text value=\"([^\"]*)\"><Speaker value=\"([^\"]+)\"");
  std::string row;
  std::smatch m;
  while (std::getline(in, row))
    if (std::regex_search(row, m, kLabel)) lines.push_back({m[1].str(), m[3].str(), Unescape(m[2].str())});
  return true;
}

struct st_Event {
  std::string phoneme;
  int startMs;
};

struct st_Synthesis {
  tSamples samples;
  std::vector<st_Event> events;
};

int Collect(short* wav, int count, espeak_EVENT* events) {
  auto* out = static_cast<st_Synthesis*>(events->user_data);
  if (!out) return 0;
  for (int i = 0; wav && i < count; ++i) out->samples.push_back(static_cast<float>(wav[i]) / 32768.0f);
  for (espeak_EVENT* e = events; e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type != espeakEVENT_PHONEME) continue;
    char name[9] = {};
    std::memcpy(name, e->id.string, 8);
    out->events.push_back({name, e->audio_position});
  }
  return 0;
}

// ORDER VISEMES: the codes are those of the character's lip-sync table.
struct st_Map {
  const char* espeak;
  const char* code;
};
constexpr st_Map kEnglish[] = {
    {"a", "AE"},  {"aa", "AA"}, {"A:", "AA"}, {"0", "AA"},  {"O:", "AO"}, {"@", "AH"},  {"V", "AH"},
    {"3", "AH"},  {"3:", "ER"}, {"E", "EH"},  {"e@", "EH"}, {"eI", "EY"}, {"aI", "AY"}, {"aU", "AW"},
    {"OI", "OY"}, {"oU", "OW"}, {"I", "IH"},  {"i", "IH"},  {"i:", "IY"}, {"i@", "IY"}, {"u:", "UW"},
    {"U", "UH"},  {"p", "b"},   {"b", "b"},   {"m", "m"},   {"f", "f"},   {"v", "v"},   {"T", "TH"},
    {"D", "DH"},  {"S", "SH"},  {"Z", "ZH"},  {"tS", "CH"}, {"dZ", "j"},  {"N", "NG"},  {"j", "y"},
    {"r", "r"},   {"w", "w"},   {"l", "l"},   {"h", "h"},   {"t", "t"},   {"d", "d"},   {"k", "k"},
    {"g", "g"},   {"s", "s"},   {"z", "z"},   {"n", "n"},   {"_", "x"},   {"_:", "x"},  {"_!", "x"},
    {"_|", "x"},
};
constexpr st_Map kGerman[] = {
    {"R", "r"},   {"C", "h"},   {"x", "h"},  {"ts", "t"},  {"pf", "f"},  {"y:", "UW"}, {"Y", "UW"},
    {"2:", "ER"}, {"9", "ER"},  {"E:", "EH"}, {"e:", "EY"}, {"o:", "OW"}, {"a:", "AA"}, {"6", "AH"},
};

bool IsVowel(const std::string& p) {
  return !p.empty() && std::strchr("aeiouAEIOUVY@0236789y", p[0]) != nullptr;
}

// The lip-sync code of an eSpeak phoneme name; weight 100 for vowels and pauses, 70 otherwise.
const char* Code(std::string p, bool german, int& weight) {
  std::string stripped;
  for (char c : p) {
    // Modifiers, except where the digit is the phoneme itself ("0", "3", "6", "9", "2:").
    if (c == '#' || c == ';' || ((c >= '1' && c <= '9') && !stripped.empty())) continue;
    stripped += c;
  }
  p = stripped;
  const bool pause = !p.empty() && p[0] == '_';
  weight = IsVowel(p) || pause ? 100 : 70;
  if (german)
    for (const st_Map& m : kGerman)
      if (p == m.espeak) return m.code;
  for (const st_Map& m : kEnglish)
    if (p == m.espeak) return m.code;
  if (pause) return "x";
  return IsVowel(p) ? "AH" : "t";
}

// One line spoken and written with its lip-sync partner.
bool SpeakLine(cl_Output& out, const st_Language& language, const st_Line& line) {
  st_Synthesis synthesis;
  if (espeak_SetVoiceByName(language.voice) != EE_OK ||
      espeak_Synth(line.text.c_str(), line.text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                   &synthesis) != EE_OK ||
      espeak_Synchronize() != EE_OK || synthesis.samples.empty()) {
    std::fprintf(stderr, "demogen: eSpeak NG could not speak %s (%s)\n", line.key.c_str(), language.name);
    return false;
  }
  const int endMs = static_cast<int>(synthesis.samples.size() * 1000 / kOggRate);
  const bool german = std::strcmp(language.voice, "de") == 0;
  std::string phn;
  for (size_t i = 0; i < synthesis.events.size(); ++i) {
    const int start = synthesis.events[i].startMs;
    const int end = i + 1 < synthesis.events.size() ? synthesis.events[i + 1].startMs : endMs;
    if (end <= start) continue;
    int weight = 0;
    const char* code = Code(synthesis.events[i].phoneme, german, weight);
    phn += "phn " + std::to_string(start) + " " + std::to_string(end) + " " + std::to_string(weight) + " " +
           code + "\n";
  }
  // A line is shown as long as its sample plays: silence after the voice holds a short line (a
  // spoken "Evening!" lasts half a second) until it can be read. The lips close with the voice.
  const size_t readable = static_cast<size_t>((kReadSeconds + kReadSecondsPerCharacter * line.text.size()) * kOggRate);
  if (synthesis.samples.size() < readable) synthesis.samples.resize(readable, 0.0f);
  const std::string base = std::string("loca/") + language.name + "/speech/" + line.speaker + "/" + line.key;
  bool ok = WriteOgg(out, base + ".ogg", synthesis.samples);
  return out.WriteText(base + ".lipsync", phn) && ok;
}

}  // namespace

bool MakeSpeech(cl_Output& out) {
  const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 500, nullptr, espeakINITIALIZE_PHONEME_EVENTS);
  if (rate != kOggRate) {
    std::fprintf(stderr, "demogen: eSpeak NG did not start at %d Hz (%d)\n", kOggRate, rate);
    if (rate > 0) espeak_Terminate();
    return false;
  }
  espeak_SetSynthCallback(Collect);
  bool ok = true;
  for (const st_Language& language : kLanguages) {
    std::vector<st_Line> lines;
    ok = ReadLines(out.Full(std::string("loca/speech_") + language.name + ".xml"), lines) && ok;
    for (const st_Line& line : lines) ok = SpeakLine(out, language, line) && ok;
  }
  espeak_Terminate();
  return ok;
}

}  // namespace demogen
