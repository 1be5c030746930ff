// DXT block codec: quality (RGB and alpha RMSE/PSNR) and speed (MPix/s) of every quality level
// against libsquish (range, cluster, iterative cluster fit) and stb_dxt (normal, high quality),
// on procedural images. Every encoder's output goes through the library's decoder.
//   bench_dxt --table      prints the quality tables (per image kind) and exits
//   bench_dxt              runs the timed benchmarks (with rmse and psnr counters), then a summary
//                          of our speed against each encoder (the scalar code included)
#include "anchors.h"
#include "dds/TextureCompressOptions.h"
#include "dds/block/BlockEncoder.h"
#include "dds/block/CodecPath.h"
#include "dds/block/ColorBlock.h"
#include "dds/block/DxtDecoder.h"
#include "dxt_corpus.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kSide = 256;

struct Corpus {
  std::vector<dxt_corpus::Image> images;
  std::vector<std::array<uint8_t, 64>> blocks;  // all blocks of all images, image by image
  std::vector<size_t> first_block;              // per image

  // Fills blocks and first_block from images.
  void CutBlocks() {
    for (const auto& im : images) {
      first_block.push_back(blocks.size());
      for (int by = 0; by < im.height / 4; ++by)
        for (int bx = 0; bx < im.width / 4; ++bx) {
          std::array<uint8_t, 64> b;
          dxt_corpus::Block(im, bx, by, b.data());
          blocks.push_back(b);
        }
    }
  }
};

const Corpus& Opaque() {
  static const Corpus corpus = [] {
    Corpus c;
    uint64_t seed = 100;
    for (const std::string& kind : dxt_corpus::Kinds())
      c.images.push_back(dxt_corpus::Make(kind, kSide, kSide, seed++));
    c.CutBlocks();
    return c;
  }();
  return corpus;
}

const Corpus& WithAlpha() {
  static const Corpus corpus = [] {
    Corpus c;
    uint64_t seed = 200;
    for (const char* kind : {"mask", "ramp", "antialiased", "noisy"}) {
      dxt_corpus::Image im = dxt_corpus::Make("photo", kSide, kSide, seed);
      dxt_corpus::AddAlpha(im, kind, seed++);
      im.name = kind;
      c.images.push_back(std::move(im));
    }
    c.CutBlocks();
    return c;
  }();
  return corpus;
}

using Encoder = std::function<void(const uint8_t* rgba, uint8_t* out)>;

struct Named {
  std::string name;
  Encoder encode;
};

Encoder Ours(int quality, bool dxt5, dds::en_BlockCodecPath path = dds::FastestBlockCodecPath()) {
  return [quality, dxt5, path](const uint8_t* rgba, uint8_t* out) {
    dds::SetBlockCodecPath(path);
    static thread_local dds::TextureCompressOptions o;
    o.quality = quality;
    o.weight_r = o.weight_g = o.weight_b = 1.0f;  // the uniform metric everyone is measured in
    const dds::CompressorContext context{&o};
    dds::EncodeBlockRGBA(context, rgba, dxt5 ? 3 : 0, out);
  };
}

std::vector<Named> Encoders(bool dxt5) {
  std::vector<Named> list;
  for (int q = 68; q <= 72; ++q) list.push_back({"ours_q" + std::to_string(q), Ours(q, dxt5)});
  // The scalar code the vector kernels stand in for, and the SSE4.1 kernels, in the same run.
  for (int q : {68, 71}) list.push_back({"scalar_q" + std::to_string(q), Ours(q, dxt5, dds::en_BlockCodecPath::kScalar)});
  if (dds::FastestBlockCodecPath() == dds::en_BlockCodecPath::kAvx2)
    list.push_back({"sse41_q71", Ours(71, dxt5, dds::en_BlockCodecPath::kSse41)});
  using anchors::Squish;
  list.push_back({"squish_range", [dxt5](const uint8_t* p, uint8_t* o) {
                    anchors::SquishBlock(p, o, dxt5, Squish::kRange);
                  }});
  list.push_back({"squish_cluster", [dxt5](const uint8_t* p, uint8_t* o) {
                    anchors::SquishBlock(p, o, dxt5, Squish::kCluster);
                  }});
  list.push_back({"squish_iterative", [dxt5](const uint8_t* p, uint8_t* o) {
                    anchors::SquishBlock(p, o, dxt5, Squish::kIterative);
                  }});
  list.push_back({"stb_normal", [dxt5](const uint8_t* p, uint8_t* o) {
                    anchors::StbBlock(p, o, dxt5, false);
                  }});
  list.push_back({"stb_high", [dxt5](const uint8_t* p, uint8_t* o) {
                    anchors::StbBlock(p, o, dxt5, true);
                  }});
  return list;
}

// Squared errors summed over a range of blocks: RGB and alpha, after our decoder.
struct Errors {
  double rgb = 0, alpha = 0;
  size_t pixels = 0;
};

Errors Measure(const Corpus& c, size_t first, size_t last, const std::vector<uint8_t>& encoded,
               bool dxt5) {
  Errors e;
  const size_t bytes = dxt5 ? 16 : 8;
  for (size_t b = first; b < last; ++b) {
    uint8_t out[64];
    if (dxt5)
      dds::DecodeDXT5Block(&encoded[b * bytes], out);
    else
      dds::DecodeDXT1Block(&encoded[b * bytes], out);
    for (int i = 0; i < 64; ++i) {
      const double d = static_cast<double>(out[i]) - c.blocks[b][static_cast<size_t>(i)];
      ((i & 3) == 3 ? e.alpha : e.rgb) += d * d;
    }
    e.pixels += 16;
  }
  return e;
}

std::vector<uint8_t> EncodeAll(const Corpus& c, const Encoder& enc, bool dxt5) {
  const size_t bytes = dxt5 ? 16 : 8;
  std::vector<uint8_t> out(c.blocks.size() * bytes);
  for (size_t b = 0; b < c.blocks.size(); ++b) enc(c.blocks[b].data(), &out[b * bytes]);
  return out;
}

double Rmse(double sum, size_t samples) { return std::sqrt(sum / static_cast<double>(samples)); }
double Psnr(double rmse) { return rmse > 0 ? 20.0 * std::log10(255.0 / rmse) : 99.0; }

void PrintTable(bool dxt5) {
  const Corpus& c = dxt5 ? WithAlpha() : Opaque();
  std::printf("\n%s, %zu blocks: %s RMSE per image kind, then overall RMSE and PSNR (dB)\n\n",
              dxt5 ? "DXT5" : "DXT1", c.blocks.size(), dxt5 ? "alpha" : "RGB");
  std::printf("| encoder |");
  for (const auto& im : c.images) std::printf(" %s |", im.name.c_str());
  std::printf(" RMSE | PSNR |%s\n", dxt5 ? " RGB RMSE |" : "");
  std::printf("|---|");
  for (size_t i = 0; i < c.images.size(); ++i) std::printf("---|");
  std::printf("---|---|%s\n", dxt5 ? "---|" : "");
  for (const Named& n : Encoders(dxt5)) {
    const std::vector<uint8_t> encoded = EncodeAll(c, n.encode, dxt5);
    std::printf("| %s |", n.name.c_str());
    Errors total;
    for (size_t i = 0; i < c.images.size(); ++i) {
      const size_t last = i + 1 < c.images.size() ? c.first_block[i + 1] : c.blocks.size();
      const Errors e = Measure(c, c.first_block[i], last, encoded, dxt5);
      std::printf(" %.3f |", dxt5 ? Rmse(e.alpha, e.pixels) : Rmse(e.rgb, e.pixels * 3));
      total.rgb += e.rgb;
      total.alpha += e.alpha;
      total.pixels += e.pixels;
    }
    const double rmse = dxt5 ? Rmse(total.alpha, total.pixels) : Rmse(total.rgb, total.pixels * 3);
    std::printf(" %.4f | %.3f |", rmse, Psnr(rmse));
    if (dxt5) std::printf(" %.4f |", Rmse(total.rgb, total.pixels * 3));
    std::printf("\n");
    std::fflush(stdout);
  }
}

// Share of blocks per image kind that quality 72 hands to the axis search: those whose best
// error at quality 71 is above the threshold.
void PrintSearchShare() {
  const Corpus& c = Opaque();
  dds::TextureCompressOptions o;
  o.quality = 71;
  o.weight_r = o.weight_g = o.weight_b = 1.0f;
  const dds::CompressorContext context{&o};
  std::printf("\nShare of DXT1 blocks that quality 72 searches (threshold %.0f):", o.axis_search_threshold);
  for (size_t i = 0; i < c.images.size(); ++i) {
    const size_t last = i + 1 < c.images.size() ? c.first_block[i + 1] : c.blocks.size();
    size_t searched = 0;
    for (size_t b = c.first_block[i]; b < last; ++b) {
      dds::BlockState s;
      s.quality = 71;
      s.count = 16;
      for (int p = 0; p < 16; ++p) {
        for (int ch = 0; ch < 3; ++ch) s.points[p][ch] = c.blocks[b][static_cast<size_t>(4 * p + ch)] / 255.0;
        s.indices[p] = 0;
      }
      dds::CompressColorBlock(context, s);
      searched += static_cast<float>(dds::ComputeBlockError(s)) > o.axis_search_threshold;
    }
    std::printf(" %s %.0f%%", c.images[i].name.c_str(),
                100.0 * static_cast<double>(searched) / static_cast<double>(last - c.first_block[i]));
  }
  std::printf("\n");
}

// The least alpha error of any DXT5 alpha block for 16 values: every endpoint pair in both
// modes, the six-level codes for 0 and 255 serving exact 0 and 255 only (as the encoder uses
// them), and, for reference, serving any value.
void AlphaOptimum(const uint8_t* rgba, double& constrained, double& free) {
  constrained = free = 1e300;
  for (int a0 = 0; a0 < 256; ++a0)
    for (int a1 = 0; a1 < 256; ++a1) {
      int palette[8] = {a0, a1};
      const bool six = a0 <= a1;
      for (int j = 2; j < 8; ++j)
        palette[j] = six ? (j < 6 ? ((6 - j) * a0 + (j - 1) * a1 + 2) / 5 : (j == 6 ? 0 : 255))
                         : ((8 - j) * a0 + (j - 1) * a1 + 3) / 7;
      double ec = 0, ef = 0;
      for (int p = 0; p < 16 && (ec < constrained || ef < free); ++p) {
        const int v = rgba[4 * p + 3];
        int mc = 1 << 30, mf = 1 << 30;
        for (int j = 0; j < 8; ++j) {
          const int d = (palette[j] - v) * (palette[j] - v);
          mf = std::min(mf, d);
          if (!(six && ((j == 6 && v != 0) || (j == 7 && v != 255)))) mc = std::min(mc, d);
        }
        ec += mc;
        ef += mf;
      }
      constrained = std::min(constrained, ec);
      free = std::min(free, ef);
    }
}

void PrintAlphaOptimum() {
  const Corpus& c = WithAlpha();
  std::printf("\nDXT5 alpha against the brute-force optimum (every 8th block): summed squared error\n\n");
  std::printf("| image | optimum (0/255 codes for exact 0/255) | optimum (0/255 codes for any value) |");
  for (int q = 68; q <= 72; ++q) std::printf(" q%d |", q);
  std::printf(" squish | stb |\n|---|---|---|---|---|---|---|---|---|---|\n");
  for (size_t i = 0; i < c.images.size(); ++i) {
    const size_t last = i + 1 < c.images.size() ? c.first_block[i + 1] : c.blocks.size();
    double opt_c = 0, opt_f = 0, ours[5] = {}, squish = 0, stb = 0;
    for (size_t b = c.first_block[i]; b < last; b += 8) {
      const uint8_t* rgba = c.blocks[b].data();
      double oc, of;
      AlphaOptimum(rgba, oc, of);
      opt_c += oc;
      opt_f += of;
      auto err = [&](const Encoder& enc) {
        uint8_t block[16], out[64];
        enc(rgba, block);
        dds::DecodeDXT5Block(block, out);
        double e = 0;
        for (int p = 0; p < 16; ++p) e += (out[4 * p + 3] - rgba[4 * p + 3]) * (out[4 * p + 3] - rgba[4 * p + 3]);
        return e;
      };
      for (int q = 68; q <= 72; ++q) ours[q - 68] += err(Ours(q, true));
      squish += err([](const uint8_t* p, uint8_t* o) { anchors::SquishBlock(p, o, true, anchors::Squish::kCluster); });
      stb += err([](const uint8_t* p, uint8_t* o) { anchors::StbBlock(p, o, true, true); });
    }
    std::printf("| %s | %.0f | %.0f |", c.images[i].name.c_str(), opt_c, opt_f);
    for (double e : ours) std::printf(" %.0f (%+.2f%%) |", e, opt_c > 0 ? 100.0 * (e - opt_c) / opt_c : 0.0);
    std::printf(" %.0f | %.0f |\n", squish, stb);
    std::fflush(stdout);
  }
}

void RunTimed(benchmark::State& state, const Encoder& enc, bool dxt5) {
  const Corpus& c = dxt5 ? WithAlpha() : Opaque();
  std::vector<uint8_t> encoded;
  for (auto _ : state) {
    encoded = EncodeAll(c, enc, dxt5);
    benchmark::DoNotOptimize(encoded.data());
  }
  const Errors e = Measure(c, 0, c.blocks.size(), encoded, dxt5);
  const double rmse = dxt5 ? Rmse(e.alpha, e.pixels) : Rmse(e.rgb, e.pixels * 3);
  state.counters["rmse"] = rmse;
  state.counters["psnr"] = Psnr(rmse);
  state.counters["MPix/s"] = benchmark::Counter(static_cast<double>(e.pixels) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

// Keeps every run's speed and PSNR for the summary printed at the end.
class cl_SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const auto speed = run.counters.find("MPix/s");
      const auto psnr = run.counters.find("psnr");
      if (speed == run.counters.end() || psnr == run.counters.end()) continue;
      std::string name = run.benchmark_name();
      name = name.substr(0, name.find("/min_time"));
      auto& row = m_rows[name];
      row.first = std::max(row.first, speed->second.value);  // the fastest repetition
      row.second = psnr->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Our qualities 68 and 71 against the scalar code and the public encoders.
  void PrintSummary() const {
    std::printf(
        "\n| format | encoder | MPix/s | PSNR dB | ours q68 / it | ours q71 / it |\n|---|---|---|---|---|---|\n");
    for (const char* format : {"DXT1", "DXT5"}) {
      const double q68 = Speed(format, "ours_q68"), q71 = Speed(format, "ours_q71");
      for (const auto& [name, row] : m_rows) {
        if (name.rfind(format, 0) != 0) continue;
        std::printf("| %s | %s | %.2f | %.2f |", format, name.c_str() + 5, row.first, row.second);
        std::printf(q68 > 0 ? " %.2f |" : " – |", q68 / row.first);
        std::printf(q71 > 0 ? " %.2f |\n" : " – |\n", q71 / row.first);
      }
    }
  }

 private:
  double Speed(const char* format, const char* encoder) const {
    const auto it = m_rows.find(std::string(format) + "/" + encoder);
    return it == m_rows.end() ? 0.0 : it->second.first;
  }

  std::map<std::string, std::pair<double, double>> m_rows;
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--table") == 0) {
      PrintTable(false);
      PrintSearchShare();
      PrintTable(true);
      PrintAlphaOptimum();
      return 0;
    }
  for (bool dxt5 : {false, true})
    for (const Named& n : Encoders(dxt5))
      benchmark::RegisterBenchmark((std::string(dxt5 ? "DXT5/" : "DXT1/") + n.name).c_str(),
                                   [enc = n.encode, dxt5](benchmark::State& s) {
                                     RunTimed(s, enc, dxt5);
                                   })
          ->Unit(benchmark::kMillisecond)
          ->MinTime(0.5);
  benchmark::Initialize(&argc, argv);
  cl_SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
