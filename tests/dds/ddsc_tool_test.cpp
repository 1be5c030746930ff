// The ddsc command-line tool, run as a program: images of each input kind in, DDS files out,
// read back by the independent reader; every failure exits non-zero and leaves no file.
#include "ddsfile_reader.h"

#include <gtest/gtest.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "support/ChildProcess.h"

#ifdef QUILLANE_DDSC

using namespace ddsfile_test;
namespace fs = std::filesystem;

namespace {

class DdscTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("ddsc_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // RGBA pixels of a w × h test image: a gradient, alpha a ramp or 255.
  static std::vector<unsigned char> Pixels(int w, int h, bool alpha) {
    std::vector<unsigned char> p(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        unsigned char* q = &p[4 * (static_cast<size_t>(y) * w + x)];
        q[0] = static_cast<unsigned char>(x * 255 / (w > 1 ? w - 1 : 1));
        q[1] = static_cast<unsigned char>(y * 255 / (h > 1 ? h - 1 : 1));
        q[2] = static_cast<unsigned char>((x + y) & 255);
        q[3] = alpha ? static_cast<unsigned char>(255 - y * 255 / (h > 1 ? h - 1 : 1)) : 255;
      }
    return p;
  }

  std::string WriteImage(const std::string& name, int w, int h, bool alpha) {
    const std::vector<unsigned char> p = Pixels(w, h, alpha);
    const std::string path = Path(name);
    const std::string ext = name.substr(name.size() - 3);
    int ok = 0;
    if (ext == "png") ok = stbi_write_png(path.c_str(), w, h, 4, p.data(), w * 4);
    if (ext == "tga") ok = stbi_write_tga(path.c_str(), w, h, 4, p.data());
    if (ext == "bmp") ok = stbi_write_bmp(path.c_str(), w, h, 4, p.data());
    EXPECT_NE(ok, 0) << path;
    return path;
  }

  // Runs ddsc with the arguments, separated by single spaces (no path here holds one); returns
  // the exit status and keeps stderr in `errors_`. prepare may set limits for the run.
  int Run(const std::string& args, std::function<void()> prepare = {}) {
    const std::string err = Path("stderr.txt");
    testsupport::st_Command command{.args = {QUILLANE_DDSC}, .err = err, .prepare = std::move(prepare)};
    for (size_t from = 0; from < args.size();) {
      const size_t to = std::min(args.find(' ', from), args.size());
      command.args.push_back(args.substr(from, to - from));
      from = to + 1;
    }
    const int status = testsupport::Run(command);
    std::ifstream in(err);
    errors_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  DdsFile Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    DdsFile f;
    std::string why;
    EXPECT_TRUE(ParseDds(data, f, why)) << path << ": " << why;
    return f;
  }

  // Only the inputs and the captured stderr are left in the folder.
  int FilesBesides(int inputs) const {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) n += entry.path().filename() != "stderr.txt";
    return n - inputs;
  }

  fs::path dir_;
  std::string errors_;
};

TEST_F(DdscTool, EveryInputKindBecomesTheEngineFormat) {
  struct Case {
    const char* name;
    bool alpha;
    const char* fourcc;
  } cases[] = {{"alpha.png", true, "DXT5"}, {"opaque.png", false, "DXT1"},
               {"alpha.tga", true, "DXT5"}, {"opaque.bmp", false, "DXT1"}};
  for (const Case& k : cases) {
    const std::string in = WriteImage(k.name, 256, 128, k.alpha);
    const std::string out = Path(std::string(k.name) + ".dds");
    ASSERT_EQ(Run(in + " " + out + " --mips"), 0) << errors_;
    const DdsFile f = Read(out);
    EXPECT_EQ(f.fourcc_text, k.fourcc) << k.name;
    EXPECT_EQ(f.width, 256u);
    EXPECT_EQ(f.height, 128u);
    EXPECT_EQ(f.mip_count, 9u);
    EXPECT_EQ(f.levels.size(), 9u);
    EXPECT_FALSE(fs::exists(out + ".tmp"));
  }
}

TEST_F(DdscTool, UncompressedOutputIsBgraAndTargetBoxShrinks) {
  const std::string in = WriteImage("in.png", 64, 32, true);
  const std::string out = Path("out.dds");
  ASSERT_EQ(Run(in + " " + out + " --format 7"), 0) << errors_;
  DdsFile f = Read(out);
  ASSERT_EQ(f.levels.size(), 1u);
  EXPECT_EQ(f.flags, 0x81007u);
  const std::vector<unsigned char> p = Pixels(64, 32, true);
  ASSERT_EQ(f.levels[0].size(), p.size());
  for (size_t i = 0; i < p.size(); i += 4) {
    ASSERT_EQ(f.levels[0][i + 0], p[i + 2]) << i;
    ASSERT_EQ(f.levels[0][i + 1], p[i + 1]) << i;
    ASSERT_EQ(f.levels[0][i + 2], p[i + 0]) << i;
    ASSERT_EQ(f.levels[0][i + 3], p[i + 3]) << i;
  }
  ASSERT_EQ(Run(in + " " + out + " --target 16x16 --mips --quality 68"), 0) << errors_;
  f = Read(out);
  EXPECT_EQ(f.width, 16u);
  EXPECT_EQ(f.height, 8u);
  EXPECT_EQ(f.levels.size(), 5u);
}

TEST_F(DdscTool, ProfileSetsOptionsAndTheCommandLineWins) {
  const std::string in = WriteImage("in.png", 32, 32, false);
  const std::string profile = Path("p.txt");
  std::ofstream(profile) << "g_texture_format 7\ng_mip_map_type 32\n";
  const std::string out = Path("out.dds");
  ASSERT_EQ(Run(in + " " + out + " --profile " + profile), 0) << errors_;
  DdsFile f = Read(out);
  EXPECT_EQ(f.levels.size(), 1u);
  EXPECT_EQ(f.levels[0].size(), 32u * 32u * 4u);
  ASSERT_EQ(Run(in + " " + out + " --profile " + profile + " --format 0 --mips"), 0) << errors_;
  f = Read(out);
  EXPECT_EQ(f.fourcc_text, "DXT1");
  EXPECT_EQ(f.levels.size(), 6u);
}

// Failures leave no output and no temporary file, and an existing output stays as it was.
TEST_F(DdscTool, FailuresExitNonZeroAndWriteNothing) {
  const std::string in = WriteImage("big.png", 300, 200, false);
  WriteImage("odd.png", 6, 6, true);
  struct Case {
    std::string args;
    const char* text;  // expected in the error output
  } cases[] = {
      {in + " " + Path("a.dds") + " --target 256x256", "IMAGE_NOT_MULT4"},
      {Path("odd.png") + " " + Path("a.dds"), "IMAGE_NOT_MULT4"},
      {in + " " + Path("a.dds") + " --format 31", "UNSUPPORTED_FORMAT"},
      {Path("missing.png") + " " + Path("a.dds"), "cannot read image"},
      {in + " " + Path("a.dds") + " --profile " + Path("none.txt"), "CANT_OPEN_PROFILE"},
      {in + " " + Path("nodir/a.dds"), "cannot create"},
      {in + " " + Path("a.dds") + " --target 0x5", "usage"},
      {"/dev/zero " + Path("a.dds"), "/dev/zero: not a regular file"},
      {in, "usage"},
  };
  for (const Case& k : cases) {
    EXPECT_NE(Run(k.args), 0) << k.args;
    EXPECT_NE(errors_.find(k.text), std::string::npos) << k.args << ": " << errors_;
    EXPECT_EQ(FilesBesides(2), 0) << k.args;
  }

  const std::string out = Path("kept.dds");
  std::ofstream(out) << "old";
  EXPECT_NE(Run(in + " " + out + " --target 256x256"), 0);
  std::ifstream kept(out);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()), "old");

  // A full disk (no file may grow past one block): the old output stays, and the cause is told.
  EXPECT_EQ(Run(in + " " + out, testsupport::FileSizeLimit(512)), 1);
  EXPECT_NE(errors_.find("not written, the previous contents are kept (File too large)"), std::string::npos)
      << errors_;
  std::ifstream still(out);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(still), std::istreambuf_iterator<char>()), "old");
  EXPECT_EQ(FilesBesides(3), 0);
}

// A PNG whose header claims a size past the cap is refused from the header, before any pixel is
// decoded (a few hundred bytes may claim 20000 x 20000, gigabytes once decoded).
TEST_F(DdscTool, OversizedImagesAreRefusedFromTheHeader) {
  auto header = [](uint32_t w, uint32_t h) {
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (uint32_t v : {w, h})
      for (int shift = 24; shift >= 0; shift -= 8) png += char((v >> shift) & 0xFF);
    png += std::string("\x08\0\0\0\0\0\0\0\0", 9);  // 8-bit grey, then a CRC the reader skips
    return png + std::string(400, '\0');
  };
  for (const auto& [w, h] : {std::pair{20000u, 20000u}, std::pair{8192u, 8192u}, std::pair{4097u, 4096u}}) {
    const std::string in = Path("claims.png");
    std::ofstream(in, std::ios::binary) << header(w, h);
    EXPECT_EQ(Run(in + " " + Path("out.dds")), 1);
    EXPECT_NE(errors_.find("a " + std::to_string(w) + "x" + std::to_string(h) + " image is larger than ddsc takes"),
              std::string::npos)
        << errors_;
    EXPECT_FALSE(fs::exists(Path("out.dds")));
  }
}

}  // namespace

#endif  // QUILLANE_DDSC
