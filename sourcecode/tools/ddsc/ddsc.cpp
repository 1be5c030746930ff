// ddsc: compresses one PNG, TGA or BMP image into a DDS file with the texture compression
// library, by default exactly as the engine caches textures (quality 71, DXT5 for images with
// alpha, DXT1 without).
//
//   ddsc IN OUT.dds [--format N] [--quality N] [--mips] [--target WxH] [--profile FILE]
//
// The file is written to OUT.dds.tmp and renamed into place; on any failure nothing is left at
// OUT.dds, the error text goes to stderr and the exit status is non-zero.
#include <stb_image.h>  // its implementation: StbImage.cpp

#include "dds/CompressImage.h"
#include "dds/file/Profile.h"
#include "dds/TextureCompressOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

struct Output {
  std::FILE* file = nullptr;
  bool failed = false;
};

dds::i32 WriteToFile(const void* data, dds::u32 size, const dds::LevelInfo*, void* user) {
  Output* out = static_cast<Output*>(user);
  if (size != 0 && std::fwrite(data, 1, size, out->file) != size) {
    out->failed = true;
    return -1;  // stops the run at this level
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!ParseArguments(argc, argv, args)) {
    Usage();
    return 2;
  }

  int width = 0, height = 0, channels = 0;
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

  const std::string temp = std::string(args.output) + ".tmp";
  Output out;
  out.file = std::fopen(temp.c_str(), "wb");
  if (!out.file) {
    std::fprintf(stderr, "ERROR: ddsc: cannot create '%s': %s\n", temp.c_str(), std::strerror(errno));
    return 1;
  }

  dds::TextureCompressOptions options;
  dds::SetEnginePathOptions(options, args.target_width, args.target_height, args.mips, true,
                            has_alpha, &out);
  if (args.profile) {
    // A profile replaces the options it covers; what the command line names still wins.
    dds::CompressContext context;
    context.Reset();
    if (dds::LoadProfile(context, options, args.profile) != 0) {
      std::fprintf(stderr, "ERROR: ddsc: %s\n", dds::GetErrorString(dds::kErrCantOpenProfile));
      std::fclose(out.file);
      std::remove(temp.c_str());
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
  const bool closed = std::fclose(out.file) == 0;
  if (result != 0 || out.failed || !closed) {
    if (out.failed || !closed)
      std::fprintf(stderr, "ERROR: ddsc: cannot write '%s'\n", temp.c_str());
    else
      std::fprintf(stderr, "ERROR: ddsc: %s: %s\n", args.input, dds::GetErrorString(result));
    std::remove(temp.c_str());
    return 1;
  }
  if (std::rename(temp.c_str(), args.output) != 0) {
    std::fprintf(stderr, "ERROR: ddsc: cannot rename '%s' to '%s': %s\n", temp.c_str(),
                 args.output, std::strerror(errno));
    std::remove(temp.c_str());
    return 1;
  }
  return 0;
}
