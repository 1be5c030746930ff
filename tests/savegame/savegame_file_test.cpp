// The savegame file on its own: generated saves parse into the image and are written back byte
// for byte; every damaged variant is refused with one line; thumbnails; the crash-safe write.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include <sys/resource.h>

#include "SavegameGenerator.h"
#include "base/File.h"
#include "quillane/savegame/SavegameImage.h"
#include "support/EngineLogCapture.h"

namespace fs = std::filesystem;

namespace quillane {
namespace {

class SavegameFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("quillane_savegame_" + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string Path(const char* name) const { return (m_dir / name).string(); }

  fs::path m_dir;
};

bool Parse(const std::vector<uint8_t>& bytes, st_SavegameImage& image, const char* name = "slot.sav") {
  return ParseSavegame(bytes.data(), static_cast<int>(bytes.size()), name, image);
}

TEST_F(SavegameFile, AGeneratedSaveParsesWhole) {
  const savegen::st_Savegame save = savegen::Generate();
  st_SavegameImage image;
  ASSERT_TRUE(Parse(save.bytes, image));
  EXPECT_EQ(std::u16string(image.head.m_name.c_str()), u"Office, before the ferry");
  EXPECT_EQ(image.head.m_grey.Width(), 64);
  EXPECT_EQ(image.head.m_preview.Height(), 320);
  EXPECT_EQ(base::get_int(image.head.m_header.get_attribute("current_mission")), 1);
  EXPECT_EQ(base::get_int((*image.gameState("Missions")).get_attribute("MaxSkill")), 100);
  EXPECT_STREQ(image.sceneName.c_str(), "Office");
  ASSERT_EQ(image.characters.size(), 2u);
  EXPECT_STREQ(image.characters[1].name.c_str(), "Odo");
  EXPECT_FLOAT_EQ(image.characters[1].position[2], -12.25f);
  EXPECT_FLOAT_EQ(image.characters[1].orientation[1], 0.5f);
  EXPECT_STREQ(image.player.c_str(), "Quillane");
  EXPECT_EQ(image.stageBlock.size(), save.ends[8] - save.ends[7]);
}

// The writer lays the image out exactly as the generator does from the layout.
TEST_F(SavegameFile, WritingTheImageGivesTheSameBytes) {
  for (const char16_t* name : {u"Office, before the ferry", u""}) {
    savegen::st_Plan plan;
    plan.name = name;
    const savegen::st_Savegame save = savegen::Generate(plan);
    st_SavegameImage image;
    ASSERT_TRUE(Parse(save.bytes, image));
    EXPECT_EQ(image.head.m_name.size(), static_cast<int>(plan.name.size()));
    ASSERT_TRUE(WriteSavegameFile(Path("out.sav").c_str(), image));
    EXPECT_EQ(savegen::ReadFile(Path("out.sav")), save.bytes);
  }
}

TEST_F(SavegameFile, EveryDamagedVariantIsRefusedWithOneErrorLine) {
  const savegen::st_Savegame save = savegen::Generate();
  for (const savegen::st_Damaged& damaged : savegen::DamagedCases(save)) {
    SCOPED_TRACE(damaged.what);
    testsupport::LogCapture log;
    st_SavegameImage image;
    EXPECT_FALSE(Parse(damaged.bytes, image, "Savegames/slot007.sav"));
    ASSERT_EQ(log.count("ERROR:"), 1) << log.text();
    const std::string line = log.text();
    EXPECT_NE(line.find("Savegames/slot007.sav ["), std::string::npos) << line;
    EXPECT_NE(line.find("offset"), std::string::npos) << line;
    EXPECT_TRUE(!image.gameState.is_element()) << "a refused file leaves an empty image";
  }
}

TEST_F(SavegameFile, SavesWithoutPicturesParse) {
  savegen::st_Plan plan;
  plan.thumbSide = 0;
  plan.pictureW = plan.pictureH = 0;
  plan.characters.clear();
  plan.player.clear();
  st_SavegameImage image;
  ASSERT_TRUE(Parse(savegen::Generate(plan).bytes, image));
  EXPECT_TRUE(image.head.m_colour.IsEmpty());
  EXPECT_TRUE(image.head.m_preview.IsEmpty());
}

TEST(SavegameThumbnails, TheCentreOfTheReductionAndItsGrey) {
  base::cl_Bitmap32 picture;
  picture.Create(512, 320);
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 512; ++x) *picture.Pixel(x, y) = base::Color32(x & 0xFF, y & 0xFF, (x * 7 + y) & 0xFF, 255);
  base::cl_Bitmap32 grey, colour;
  MakeSavegameThumbnails(picture, grey, colour);
  ASSERT_EQ(colour.Width(), 64);
  ASSERT_EQ(colour.Height(), 64);
  ASSERT_EQ(grey.Width(), 64);
  EXPECT_EQ(colour.OriginX(), 0);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      // Nearest sample of the 102 x 64 reduction, columns 19 to 82 of it.
      const int sx = (x + 19) * 512 / 102, sy = y * 320 / 64;
      const base::Color32 want = *picture.Pixel(sx, sy);
      const base::Color32 got = *colour.Pixel(x, y);
      ASSERT_EQ(got.r, want.r) << x << "," << y;
      ASSERT_EQ(got.g, want.g);
      ASSERT_EQ(got.b, want.b);
      const int mean = (want.r + want.g + want.b) / 3;
      const base::Color32 g = *grey.Pixel(x, y);
      ASSERT_TRUE(g.r == mean && g.g == mean && g.b == mean && g.a == 255) << x << "," << y;
    }
  }
  base::cl_Bitmap32 none;
  MakeSavegameThumbnails(none, grey, colour);
  EXPECT_TRUE(grey.IsEmpty());
  EXPECT_TRUE(colour.IsEmpty());
}

// The bitmap record keeps its two reserved words, and an empty bitmap is written 0 x 0.
TEST_F(SavegameFile, BitmapRecordsCarryTheirReservedWords) {
  base::cl_Bitmap32 small, empty;
  small.Create(2, 3);
  small.SetOrigin(7, -9);
  *small.Pixel(1, 2) = base::Color32(1, 2, 3, 4);
  empty.SetOrigin(5, 6);
  {
    base::File out(Path("bits").c_str(), base::File::STATUS_WRITE);
    ASSERT_TRUE(small.Write(&out) && empty.Write(&out));
    ASSERT_TRUE(out.close());
  }
  const std::vector<uint8_t> bytes = savegen::ReadFile(Path("bits"));
  EXPECT_EQ(bytes.size(), 16u + 24u + 16u);
  base::File in(Path("bits").c_str(), base::File::STATUS_READ);
  base::cl_Bitmap32 a, b;
  ASSERT_TRUE(a.Read(&in) && b.Read(&in));
  EXPECT_EQ(a.OriginY(), -9);
  EXPECT_EQ(a.Pixel(1, 2)->a, 4);
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.OriginX(), 5);
}

// A failing write keeps the old save whole, returns false, and a stale temporary file of a
// killed save is cleared by the next save.
TEST_F(SavegameFile, AFailedWriteKeepsTheOldSaveAndStaleTemporariesGo) {
  const std::string path = Path("slot001.sav");
  const savegen::st_Savegame save = savegen::Generate();
  savegen::WriteFile(path, save.bytes);
  savegen::WriteFile(path + ".tmpAb12Cd", {1, 2, 3});
  savegen::WriteFile(Path("slot002.sav.tmpAb12Cd"), {1, 2, 3});
  st_SavegameImage image;
  ASSERT_TRUE(Parse(save.bytes, image));
  {
    testsupport::LogCapture log;
    EXPECT_FALSE(WriteSavegameFile(path.c_str(), image, [](base::File& file) {
      file.write("x", 1);
      return false;
    }));
    EXPECT_EQ(log.count("ERROR:"), 1) << log.text();
  }
  EXPECT_EQ(savegen::ReadFile(path), save.bytes);
  EXPECT_FALSE(fs::exists(path + ".tmpAb12Cd"));
  EXPECT_TRUE(fs::exists(Path("slot002.sav.tmpAb12Cd"))) << "another save's file is not this save's business";
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);
}

// The line of a failed save says why: the disk refused more bytes (here the process's file size
// limit, as a full disk would), or a folder stands where the save goes.
TEST_F(SavegameFile, AFailedWriteNamesItsCause) {
  const savegen::st_Savegame save = savegen::Generate();
  st_SavegameImage image;
  ASSERT_TRUE(Parse(save.bytes, image));
  {
    rlimit limit{}, small{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    small = limit;
    small.rlim_cur = 64 * 1024;  // below the preview picture
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    testsupport::LogCapture log;
    const bool written = WriteSavegameFile(Path("big.sav").c_str(), image);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(log.count("ERROR:"), 1) << log.text();
    EXPECT_EQ(log.count(std::strerror(EFBIG)), 1) << log.text();
  }
  fs::create_directories(Path("folder.sav"));
  testsupport::LogCapture log;
  EXPECT_FALSE(WriteSavegameFile(Path("folder.sav").c_str(), image));
  EXPECT_EQ(log.count(std::strerror(EISDIR)), 1) << log.text();
  EXPECT_TRUE(fs::is_directory(Path("folder.sav")));

  // A write-protected save is kept, and the line says why.
  ASSERT_TRUE(WriteSavegameFile(Path("kept.sav").c_str(), image));
  fs::permissions(Path("kept.sav"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  testsupport::LogCapture protectedLog;
  EXPECT_FALSE(WriteSavegameFile(Path("kept.sav").c_str(), image));
  EXPECT_TRUE(protectedLog.contains("ERROR: savegame '" + Path("kept.sav") + "' cannot be created (" +
                                    std::strerror(EACCES) + ")"))
      << protectedLog.text();
}

}  // namespace
}  // namespace quillane
