// The level pipeline: fixes the size of the top level (power-of-two rules, clamps, the fit into
// a target box), generates the mip chain from level 0, processes every level (fades, borders,
// binary alpha, renormalising, output mapping) and streams the DDS header and the levels through
// the write callback.
#pragma once

#include "dds/file/DdsHeader.h"
#include "dds/image/FloatImage.h"

namespace dds {

struct TextureCompressOptions;

// Largest side and pixel count of any level the pipeline makes: 4096 x 4096 pixels, the largest
// texture the engine uses (a float level of that size takes 256 MB, a whole run about 1 GB).
constexpr u32 kMaxLevelSide = 65536;
constexpr u64 kMaxLevelPixels = u64{1} << 24;
// Most sharpening passes per level (each pass costs about one filtering of the level).
constexpr i32 kMaxSharpeningPasses = 32;

// One run's working context: the caller's options (written during the run) and the size of
// level 0 after preparation.
struct PipelineContext {
  explicit PipelineContext(TextureCompressOptions& o) : options(o) {}
  TextureCompressOptions& options;
  u32 width = 0;
  u32 height = 0;
};

// ---- power-of-two rules (on unsigned sides; 0xFFFFFFFF where no power of two fits)

bool IsPowerOfTwo(u32 v);   // 1 and powers of two; not 0
bool IsMultipleOf4(u32 v);  // 1, 2 and non-zero multiples of 4
u32 NextPowerOfTwo(u32 v);
u32 NearestPowerOfTwo(u32 v);  // a tie goes up
u32 LowerPowerOfTwo(u32 v);
// Each returns 0 when both sides already qualify and were left alone, else 1.
int RescaleToNearestPowerOfTwo(u32 w, u32 h, u32& out_w, u32& out_h);  // rule 1
int RescaleToPowerOfTwo(u32 w, u32 h, u32& out_w, u32& out_h);         // rule 2
int RescaleToLowerPowerOfTwo(u32 w, u32 h, u32& out_w, u32& out_h);    // rule 3
// Rule 4: always halves a power of two and rounds others down; a side of 1 stays 1.
int RescaleToSmallerPowerOfTwo(u32 w, u32 h, u32& out_w, u32& out_h);

// ---- stages

// Checks the options a run depends on before anything is written: the format can be written,
// filter indices lie in the table, sizes and counts are sane. Returns 0, −4, −46 or −97.
i32 CheckOptions(const TextureCompressOptions& options);

// Copies `src` into `dst` and applies the size rules to level 0 (cut to the inclusive rectangle
// {x0, y0, x1, y1} first when given, given lower levels to it at their scale; the library's
// profile is loaded first when a path is set). Lower levels are then resampled to halve level 0.
// Returns 0, −4, −13, −14, −24, −46 or −100; `dst` is unspecified on failure.
i32 PrepareImage(const tVector<FloatImage>& src, tVector<FloatImage>& dst,
                 TextureCompressOptions& options, const i32* rect);

// Checks, input adjustments, colour weights, level count and generation of the lower levels.
// Stores level 0's size in `width`/`height`. Returns 0 or a code; nothing has been written then.
i32 GenerateMipMaps(PipelineContext& context, tVector<FloatImage>& levels, u32& width,
                    u32& height);

// Regenerates every level from `first` on by resampling level 0 with the mip filter.
void ResampleLevel(PipelineContext& context, tVector<FloatImage>& levels, u32 first);

// Per-level processing in place: sharpening, borders, fades (factor `fade`), binary alpha,
// renormalising, premodulation, output mapping and the format's range.
void ProcessLevel(PipelineContext& context, FloatImage& level, i32 level_index, f32 fade);

// The whole output: mip generation, the normal-map step, the header and every level through
// `callback`. Returns 0, an error code (before the header for every option and size error) or
// the first non-zero value a level callback returned. The header states exactly the levels
// written.
i32 CompressDriver(PipelineContext& context, tVector<FloatImage>& levels, WriteCallback callback);

}  // namespace dds
