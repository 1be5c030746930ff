// ddsc: compresses one PNG, TGA or BMP image into a DDS file with the texture compression
// library, by default exactly as the engine caches textures (quality 71, DXT5 for images with
// alpha, DXT1 without).
//
//   ddsc IN OUT.dds [--format N] [--quality N] [--mips] [--target WxH] [--profile FILE]
//
// The file is written through base::cl_SafeFile (a uniquely named temporary file beside OUT.dds,
// fsynced and renamed into place); on any failure OUT.dds keeps its old contents, the error text
// goes to stderr and the exit status is non-zero.
#include <stb_image.h>  // its implementation: StbImage.cpp

#include "base/file/SafeFile.h"
#include "dds/CompressImage.h"
#include "dds/LevelPipeline.h"
#include "dds/file/Profile.h"
#include "dds/TextureCompressOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

struct Arguments {
  const char* input = nullptr;
  const char* output = nullptr;
  int format = -1;  // -1: by the image's alpha
  int quality = -1;
  bool mips = false;
  float target_width = 4096.0f;
  float target_height = 4096.0f;
  bool target_given = false;
  const char* profile = nullptr;
};

void Usage() {
  std::fprintf(stderr,
               "usage: ddsc IN OUT.dds [--format N] [--quality N] [--mips] [--target WxH] "
               "[--profile FILE]\n"
               "  IN is a PNG, TGA or BMP image; formats 0 DXT1, 3 DXT5, 7 A8R8G8B8, ...\n");
}

bool ParseInt(const char* text, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != 0 || v < -1000000 || v > 1000000) return false;
  out = static_cast<int>(v);
  return true;
}

bool ParseArguments(int argc, char** argv, Arguments& a) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--format" && has_value) {
      if (!ParseInt(argv[++i], a.format) || a.format < 0) return false;
    } else if (arg == "--quality" && has_value) {
      if (!ParseInt(argv[++i], a.quality)) return false;
    } else if (arg == "--mips") {
      a.mips = true;
    } else if (arg == "--target" && has_value) {
      int w = 0, h = 0;
      char tail = 0;
      if (std::sscanf(argv[++i], "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1) return false;
      a.target_width = static_cast<float>(w);
      a.target_height = static_cast<float>(h);
      a.target_given = true;
    } else if (arg == "--profile" && has_value) {
      a.profile = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return false;
    } else if (!a.input) {
      a.input = argv[i];
    } else if (!a.output) {
      a.output = argv[i];
    } else {
      return false;
    }
  }
  return a.input && a.output;
}

dds::i32 WriteToFile(const void* data, dds::u32 size, const dds::LevelInfo*, void* user) {
  auto* out = static_cast<base::cl_SafeFile*>(user);
  return out->write(data, size) ? 0 : -1;  // -1 stops the run at this level
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!ParseArguments(argc, argv, args)) {
    Usage();
    return 2;
  }

  // A named pipe would block the read and a device would never end: only regular files.
  std::error_code ec;
  if (std::filesystem::exists(args.input, ec) && !std::filesystem::is_regular_file(args.input, ec)) {
    std::fprintf(stderr, "ERROR: ddsc: %s: not a regular file\n", args.input);
    return 1;
  }
  int width = 0, height = 0, channels = 0;
  // The header first: a small file may claim a size whose decoding alone takes gigabytes.
  if (stbi_info(args.input, &width, &height, &channels) &&
      (static_cast<dds::u64>(width) > dds::kMaxLevelSide || static_cast<dds::u64>(height) > dds::kMaxLevelSide ||
       static_cast<dds::u64>(width) * static_cast<dds::u64>(height) > dds::kMaxLevelPixels)) {
    std::fprintf(stderr, "ERROR: ddsc: '%s': a %dx%d image is larger than ddsc takes (at most %llu pixels)\n",
                 args.input, width, height, static_cast<unsigned long long>(dds::kMaxLevelPixels));
    return 1;
  }
  stbi_uc* pixels = stbi_load(args.input, &width, &height, &channels, 4);
  if (!pixels) {
    std::fprintf(stderr, "ERROR: ddsc: cannot read image '%s': %s\n", args.input,
                 stbi_failure_reason());
    return 1;
  }
  dds::Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<dds::u32>(width) * static_cast<dds::u32>(height));
  bool has_alpha = false;
  for (dds::u32 i = 0; i < image.pixels.size(); ++i) {
    const stbi_uc* p = pixels + 4 * static_cast<std::size_t>(i);
    image.pixels[i] = static_cast<dds::u32>(p[0]) | static_cast<dds::u32>(p[1]) << 8 |
                      static_cast<dds::u32>(p[2]) << 16 | static_cast<dds::u32>(p[3]) << 24;
    has_alpha |= p[3] != 255;
  }
  stbi_image_free(pixels);

  base::cl_SafeFile out;
  if (!out.begin(args.output)) return 1;  // logged on stderr

  dds::TextureCompressOptions options;
  dds::SetEnginePathOptions(options, args.target_width, args.target_height, args.mips, true,
                            has_alpha, &out);
  if (args.profile) {
    // A profile replaces the options it covers; what the command line names still wins.
    dds::CompressContext context;
    context.Reset();
    if (dds::LoadProfile(context, options, args.profile) != 0) {
      std::fprintf(stderr, "ERROR: ddsc: %s\n", dds::GetErrorString(dds::kErrCantOpenProfile));
      return 1;
    }
    if (args.mips) options.mip_map_type = 30;
    if (args.target_given) {
      options.resample_to_target = 1;
      options.target_width = args.target_width;
      options.target_height = args.target_height;
    }
  }
  if (args.format >= 0) options.texture_format = args.format;
  if (args.quality >= 0) options.quality = args.quality;

  const dds::i32 result = dds::CompressImage(image, options, WriteToFile, nullptr);
  if (result != 0 && !out.failed()) {
    std::fprintf(stderr, "ERROR: ddsc: %s: %s\n", args.input, dds::GetErrorString(result));
    return 1;  // the temporary file goes with out
  }
  return out.commit() ? 0 : 1;  // a failed write is logged by the commit
}
