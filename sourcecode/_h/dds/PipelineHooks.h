// The steps of the level pipeline that live beside it: the normal-map conversion of a level
// (NormalMapConvert.cpp) and the sharpening filters (Sharpen.cpp).
#pragma once

#include "dds/image/FloatImage.h"

namespace dds {

// Codes of the shared table that the options record's header does not name yet.
constexpr i32 kResultBadOption = -4;          // "BAD_OPTION"
constexpr i32 kResultUnknownConversion = -12;  // "UNKNOWN_CONVERSION"

struct TextureCompressOptions;
struct PipelineContext;

// Converts one level in place (colour to height, normal-map generation, renormalising or height
// from normals, by the options' normal-map fields). Returns 0 or a negative code; −12 for a
// conversion code outside 1009..1018.
i32 ConvertImage(PipelineContext& context, const TextureCompressOptions& options,
                 FloatImage& level);

// Builds the sharpening filters of the run from the options. Returns 0, or a negative code when
// `sharpen_method` asks for a filter that cannot run.
i32 PrepareSharpening(PipelineContext& context, const TextureCompressOptions& options);

// Runs the prepared sharpening method once on a level.
void SharpenLevel(PipelineContext& context, const TextureCompressOptions& options,
                  FloatImage& level);

}  // namespace dds
