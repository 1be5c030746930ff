// The demo's music and sound effects, synthesised from note tables (sine and triangle tones with
// envelopes) and filtered noise, written as Ogg Vorbis, mono, 22,050 Hz, quality 0.3: the
// effects under sfx/ (packed into the "Sfx" archive by the engine) and the music under msx/.
#include <numbers>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/Modules.h"
#include "core/OggWriter.h"
#include "core/Output.h"

namespace demogen {

namespace {

constexpr int kRate = 22050;
constexpr float kQuality = 0.3f;

// ---- Ogg Vorbis

bool EncodeOgg(const tSamples& samples, std::vector<uint8_t>& out) {
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, 1, kRate, kQuality) != 0) {
    vorbis_info_clear(&info);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "ENCODER", "demogen");
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 20261207);  // a fixed serial keeps the bytes the same on every run
  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  ogg_page page;
  auto emit = [&out](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  while (ogg_stream_flush(&stream, &page)) emit(page);

  size_t at = 0;
  bool end = false;
  while (!end) {
    const size_t n = std::min<size_t>(4096, samples.size() - at);
    if (n == 0) {
      vorbis_analysis_wrote(&dsp, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(n));
      std::copy(samples.begin() + static_cast<std::ptrdiff_t>(at),
                samples.begin() + static_cast<std::ptrdiff_t>(at + n), buffer[0]);
      vorbis_analysis_wrote(&dsp, static_cast<int>(n));
      at += n;
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page)) {
          emit(page);
          if (ogg_page_eos(&page)) end = true;
        }
      }
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return true;
}

}  // namespace

bool WriteOgg(cl_Output& out, const std::string& relative, const tSamples& samples) {
  std::vector<uint8_t> bytes;
  if (!EncodeOgg(samples, bytes)) {
    std::fprintf(stderr, "demogen: %s: the Vorbis encoder refused the settings\n", relative.c_str());
    return false;
  }
  return out.WriteBytes(relative, bytes.data(), bytes.size());
}

namespace {

// ---- Synthesis

enum class en_Wave { SINE, TRIANGLE };

double Frequency(int midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0); }

double Wave(en_Wave wave, double phase) {
  const double cycle = phase - std::floor(phase);
  if (wave == en_Wave::SINE) return std::sin(2.0 * std::numbers::pi * cycle);
  return 4.0 * std::abs(cycle - 0.5) - 1.0;
}

// Adds a tone at start (seconds) with a short attack and an exponential decay; the frequency
// slides from hz to hz · slide over the tone.
void AddTone(tSamples& out, double start, double seconds, double hz, double level, en_Wave wave,
             double slide = 1.0, double decay = 3.0) {
  const size_t first = static_cast<size_t>(start * kRate);
  const size_t count = static_cast<size_t>(seconds * kRate);
  if (out.size() < first + count) out.resize(first + count, 0.0f);
  double phase = 0.0;
  for (size_t i = 0; i < count; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double f = hz * std::pow(slide, t / seconds);
    phase += f / kRate;
    const double attack = std::min(1.0, t / 0.01);
    const double release = std::min(1.0, (seconds - t) / 0.02);
    const double envelope = attack * release * std::exp(-decay * t / seconds);
    out[first + i] += static_cast<float>(level * envelope * Wave(wave, phase));
  }
}

// Deterministic noise, low-passed by a one-pole filter of the given strength (0..1, 1 = no
// filtering), shaped by an attack and decay envelope.
void AddNoise(tSamples& out, double start, double seconds, double level, double smooth, double decay,
              uint32_t seed) {
  const size_t first = static_cast<size_t>(start * kRate);
  const size_t count = static_cast<size_t>(seconds * kRate);
  if (out.size() < first + count) out.resize(first + count, 0.0f);
  uint32_t state = seed;
  double filtered = 0.0;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    const double white = static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    filtered += smooth * (white - filtered);
    const double t = static_cast<double>(i) / kRate;
    const double envelope = std::min(1.0, t / 0.005) * std::exp(-decay * t / seconds);
    out[first + i] += static_cast<float>(level * envelope * filtered);
  }
}

// Keeps the peak at 0.8 of full scale so that no sound clips.
tSamples Normalised(tSamples samples) {
  float peak = 0.0f;
  for (float s : samples) peak = std::max(peak, std::abs(s));
  if (peak > 0.0f)
    for (float& s : samples) s *= 0.8f / peak;
  return samples;
}

// ---- Music: a melody over a bass line and a soft chord, the tables repeated to the length.

struct st_Tune {
  const char* file;
  double seconds;
  double beat;           // seconds
  int key;               // MIDI note of the tonic
  std::vector<int> melody;  // steps above the key, one per beat; -99 is a rest
  std::vector<int> chords;  // one root (steps above the key) per bar of four beats
};

tSamples Compose(const st_Tune& tune) {
  tSamples out;
  const int beats = static_cast<int>(tune.seconds / tune.beat);
  for (int b = 0; b < beats; ++b) {
    const double at = b * tune.beat;
    const int step = tune.melody[static_cast<size_t>(b) % tune.melody.size()];
    if (step != -99) AddTone(out, at, tune.beat * 0.95, Frequency(tune.key + 12 + step), 0.30, en_Wave::TRIANGLE);
    if (b % 4 == 0) {
      const int root = tune.key + tune.chords[static_cast<size_t>(b / 4) % tune.chords.size()];
      const double bar = tune.beat * 4;
      AddTone(out, at, bar, Frequency(root - 12), 0.35, en_Wave::SINE, 1.0, 1.5);
      for (int third : {0, 4, 7}) AddTone(out, at, bar, Frequency(root + third), 0.08, en_Wave::SINE, 1.0, 0.8);
    }
  }
  out.resize(static_cast<size_t>(tune.seconds * kRate), 0.0f);
  return Normalised(out);
}

std::vector<st_Tune> Tunes() {
  return {
      {"msx/theme_mainmenu.ogg", 32.0, 0.5, 57, {0, 3, 7, 10, 7, 3, 5, -99, 3, 2, 0, -99, 7, 5, 3, 2},
       {0, 5, 3, 7}},
      {"msx/office.ogg", 28.0, 0.6, 60, {4, 2, 0, 2, 4, 4, 4, -99, 2, 2, 2, -99, 4, 7, 7, -99}, {0, 5, 7, 0}},
      {"msx/quay.ogg", 30.0, 0.75, 55, {0, 2, 4, 7, 9, 7, 4, 2, 0, -99, 4, 2, 0, -2, 0, -99}, {0, -3, 5, 7}},
      {"msx/theme_traintravel.ogg", 24.0, 0.4, 62, {0, 0, 7, 7, 9, 9, 7, -99, 5, 5, 4, 4, 2, 2, 0, -99},
       {0, 5, 7, 5}},
      {"msx/dance/demo.ogg", 20.0, 0.5, 64, {0, 4, 7, 12, 7, 4, 0, 4, 2, 5, 9, 14, 9, 5, 2, 5}, {0, 5, 7, 0}},
  };
}

// ---- Effects

struct st_Effect {
  const char* file;
  tSamples (*make)();
};

tSamples Blip(double hz, double seconds, double slide) {
  tSamples s;
  AddTone(s, 0.0, seconds, hz, 0.8, en_Wave::TRIANGLE, slide, 4.0);
  return Normalised(s);
}

tSamples Chime(std::initializer_list<int> notes, double spacing) {
  tSamples s;
  double at = 0.0;
  for (int note : notes) {
    AddTone(s, at, 0.5, Frequency(note), 0.5, en_Wave::SINE, 1.0, 4.0);
    at += spacing;
  }
  return Normalised(s);
}

tSamples Thud(double seconds, double smooth, uint32_t seed) {
  tSamples s;
  AddNoise(s, 0.0, seconds, 1.0, smooth, 6.0, seed);
  AddTone(s, 0.0, seconds * 0.6, 90.0, 0.4, en_Wave::SINE, 0.6, 5.0);
  return Normalised(s);
}

tSamples Steps(double smooth, uint32_t seed) {
  tSamples s;
  for (int i = 0; i < 2; ++i) AddNoise(s, i * 0.35, 0.12, 1.0, smooth, 7.0, seed + static_cast<uint32_t>(i));
  return Normalised(s);
}

// The quay's ambience, played as a loop: a swell of low-passed noise and a few drips. The swell's
// period divides the length, and the tail is faded into the head, so the loop has no seam.
tSamples Water() {
  constexpr double kLength = 6.0, kFade = 0.5;
  tSamples s;
  AddNoise(s, 0.0, kLength + kFade, 0.6, 0.05, 0.0, 77);
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    s[i] *= static_cast<float>(0.75 + 0.25 * std::sin(2.0 * std::numbers::pi * t * 2.0 / kLength));
  }
  for (int i = 0; i < 7; ++i)
    AddTone(s, 0.3 + i * 0.8, 0.08, 600.0 + (i * 137) % 500, 0.15, en_Wave::SINE, 1.6, 5.0);
  const size_t length = static_cast<size_t>(kLength * kRate), fade = static_cast<size_t>(kFade * kRate);
  for (size_t i = 0; i < fade; ++i) {
    const float w = static_cast<float>(i) / static_cast<float>(fade);
    s[i] = s[i] * w + s[length + i] * (1.0f - w);
  }
  s.resize(length);
  return Normalised(s);
}

// One turn of a pump from start (seconds): two strokes, each over before the turn ends at 1.2 s.
void AddPumpTurn(tSamples& s, double start) {
  for (int i = 0; i < 2; ++i) {
    AddNoise(s, start + i * 0.6, 0.35, 0.7, 0.12, 5.0, 91 + static_cast<uint32_t>(i));
    AddTone(s, start + i * 0.6, 0.3, 70.0, 0.5, en_Wave::SINE, 0.8, 4.0);
  }
}

// The running pumps, played as a loop of one turn.
tSamples Pumps() {
  tSamples s;
  AddPumpTurn(s, 0.0);
  s.resize(static_cast<size_t>(1.2 * kRate), 0.0f);
  return Normalised(s);
}

// The sabotage game's end, where the mixture holds and the mended pumps start: the pump house's
// whistle, a major chord rising a little as the steam comes, then the pumps' first strokes.
tSamples PumpsStart() {
  tSamples s;
  for (int note : {67, 71, 74}) AddTone(s, 0.0, 1.0, Frequency(note), 0.3, en_Wave::TRIANGLE, 1.03, 0.7);
  AddPumpTurn(s, 1.0);
  return Normalised(s);
}

tSamples Hiss() {
  tSamples s;
  AddNoise(s, 0.0, 1.2, 1.0, 0.6, 1.0, 31);
  return Normalised(s);
}

const st_Effect kEffects[] = {
    {"sfx/ui/click.ogg", [] { return Blip(1800.0, 0.04, 0.7); }},
    {"sfx/ui/UI_openmenu.ogg", [] { return Blip(500.0, 0.15, 1.6); }},
    {"sfx/ui/UI_mouseover.ogg", [] { return Blip(1200.0, 0.05, 1.0); }},
    {"sfx/ui/UI_confirm.ogg", [] { return Chime({72, 79}, 0.08); }},
    {"sfx/ui/UI_error.ogg", [] { return Blip(220.0, 0.3, 0.8); }},
    {"sfx/ui/UI_DiaryOpen.ogg", [] { return Thud(0.35, 0.3, 11); }},
    {"sfx/ui/UI_DiaryClose.ogg", [] { return Thud(0.25, 0.2, 12); }},
    {"sfx/ui/UI_diaryquest.ogg", [] { return Chime({67, 72, 76, 79}, 0.1); }},
    {"sfx/ui/UI_droptoken.ogg", [] { return Blip(700.0, 0.12, 0.6); }},
    {"sfx/ui/UI_failtoken.ogg", [] { return Blip(300.0, 0.25, 0.7); }},
    {"sfx/ui/UI_pickuptoken.ogg", [] { return Blip(600.0, 0.12, 1.7); }},
    {"sfx/ui/ui_aquiretoken.ogg", [] { return Chime({76, 81, 88}, 0.07); }},
    {"sfx/MG_Bookshelf_place.ogg", [] { return Thud(0.2, 0.25, 21); }},
    {"sfx/MG_Dance_hit.ogg", [] { return Blip(880.0, 0.1, 1.0); }},
    {"sfx/MG_Dance_lost.ogg", [] { return Chime({67, 63, 60}, 0.2); }},
    {"sfx/MG_Dance_won.ogg", [] { return Chime({60, 64, 67, 72}, 0.12); }},
    {"sfx/MG_Decoder_clatter.ogg", [] { return Steps(0.9, 23); }},
    {"sfx/MG_Decoder_click.ogg", [] { return Blip(2400.0, 0.03, 0.8); }},
    {"sfx/MG_Sabotage_alarm.ogg", PumpsStart},
    {"sfx/MG_Sabotage_click.ogg", [] { return Blip(2000.0, 0.03, 0.8); }},
    {"sfx/MG_Sabotage_gasfill.ogg", Hiss},
    {"sfx/MG_Sabotage_metalplate.ogg", [] { return Chime({45, 58}, 0.01); }},
    {"sfx/MG_Sabotage_valvelever.ogg", [] { return Thud(0.3, 0.5, 24); }},
    {"sfx/MG_Sabotage_valvewheel.ogg", [] { return Steps(0.5, 25); }},
    {"sfx/MG_TrainTravel_place.ogg", [] { return Thud(0.2, 0.35, 26); }},
    {"sfx/MG_TrainTravel_won.ogg", [] { return Chime({62, 66, 69, 74}, 0.12); }},
    {"sfx/MG_Wiretap_click.ogg", [] { return Blip(1500.0, 0.03, 0.9); }},
    {"sfx/MG_Wiretap_fizzle.ogg", [] { return Thud(0.4, 0.95, 27); }},
    {"sfx/safe_door_open.ogg", [] { return Thud(0.8, 0.1, 28); }},
    {"sfx/step_dancefloor_female1.ogg", [] { return Thud(0.12, 0.4, 29); }},
    {"sfx/step_dancefloor_female2.ogg", [] { return Thud(0.12, 0.45, 30); }},
    {"sfx/steps.ogg", [] { return Steps(0.15, 32); }},
    {"sfx/door.ogg", [] { return Thud(0.6, 0.08, 33); }},
    {"sfx/water.ogg", Water},
    {"sfx/pumps.ogg", Pumps},
};

}  // namespace

bool MakeSound(cl_Output& out) {
  for (const st_Effect& effect : kEffects)
    if (!WriteOgg(out, effect.file, effect.make())) return false;
  for (const st_Tune& tune : Tunes())
    if (!WriteOgg(out, tune.file, Compose(tune))) return false;
  return true;
}

}  // namespace demogen
