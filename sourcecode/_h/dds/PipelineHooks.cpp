// Stand-ins of the normal-map conversion and the sharpening filters: they refuse every request,
// so that a run that asks for them fails before writing instead of writing wrong levels.
#include "dds/PipelineHooks.h"

#include "dds/Log.h"
#include "dds/TextureCompressOptions.h"

namespace dds {

i32 ConvertImage(PipelineContext&, const TextureCompressOptions& options, FloatImage&) {
  if (options.normalmap_cnv < 1009 || options.normalmap_cnv > 1018) {
    Log("ERROR: dds: Unknown conversion %d\n", options.normalmap_cnv);
    return kResultUnknownConversion;
  }
  Log("ERROR: dds: normal-map conversion %d is not available in this build\n",
      options.normalmap_cnv);
  return kResultUnknownConversion;
}

i32 PrepareSharpening(PipelineContext&, const TextureCompressOptions& options) {
  if (options.sharpen_method == 0) return kOk;
  Log("ERROR: dds: sharpening method %d is not available in this build\n", options.sharpen_method);
  return kResultBadOption;
}

void SharpenLevel(PipelineContext&, const TextureCompressOptions&, FloatImage&) {}

}  // namespace dds
