// The grid games' compiled data files without a device: written, read back record by record, and
// refused with a line naming the file when cut short anywhere.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/File.h"
#include "grid_fixture.h"

namespace gridtest {
namespace {

namespace fs = std::filesystem;

class GridDataFile : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    m_dir = fs::temp_directory_path() / ("quillane_grid_" + std::to_string(::getpid()));
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
    GridTest::TearDown();
  }
  std::vector<char> Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::path m_dir;
};

TEST_F(GridDataFile, RecordsReadBackInTheOrderTheyWereWritten) {
  struct st_Game {
    const char* name;
    std::unique_ptr<quillane::cl_WiretapPanel> writer, reader;
  } games[] = {
      {"wiretap.dat", std::make_unique<cl_WireBoard>(), std::make_unique<cl_WireBoard>()},
      {"FloorLights.dat", std::make_unique<cl_LampBoard>(), std::make_unique<cl_LampBoard>()},
  };
  for (st_Game& g : games) {
    SCOPED_TRACE(g.name);
    // Named textures without pixels keep their names and pivots through the file.
    for (int i = 0; i < quillane::cl_WiretapPanel::kTextureCount; i += 3) {
      g.writer->GetTexture(i).SetFile(("pic" + std::to_string(i) + ".tga").c_str(), 21);
      g.writer->GetTexture(i).SetCenter(static_cast<float>(i), 64.0f);
    }
    const fs::path file = m_dir / g.name;
    ASSERT_TRUE(g.writer->WriteDataFile(file.string().c_str()));
    base::File in;
    ASSERT_TRUE(in.open(file.string().c_str(), base::File::STATUS_READ));
    EXPECT_TRUE(g.reader->ReadDataRecords(in));
    EXPECT_EQ(in.get_remaining(), 0);
    for (int i = 0; i < quillane::cl_WiretapPanel::kTextureCount; ++i) {
      const gfx::cl_Texture& t = g.reader->GetTexture(i);
      EXPECT_EQ(std::string(t.GetFileName().c_str()), i % 3 == 0 ? "pic" + std::to_string(i) + ".tga" : "") << i;
      EXPECT_FLOAT_EQ(t.GetCenterX(), i % 3 == 0 ? static_cast<float>(i) : 0.0f) << i;
    }
  }
}

TEST_F(GridDataFile, AFileCutShortIsRefusedWithItsName) {
  cl_LampBoard writer;
  for (int i = 0; i < quillane::cl_WiretapPanel::kTextureCount; ++i) writer.GetTexture(i).SetFile("pic.tga", 21);
  const fs::path whole = m_dir / "whole.dat";
  ASSERT_TRUE(writer.WriteDataFile(whole.string().c_str()));
  const std::vector<char> bytes = Bytes(whole);
  ASSERT_GT(bytes.size(), 100u);
  for (size_t cut : {size_t{0}, size_t{5}, size_t{100}, bytes.size() / 2, bytes.size() - 1}) {
    SCOPED_TRACE(cut);
    const fs::path part = m_dir / "FloorLights.dat";
    std::ofstream(part, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(cut));
    m_log->clear();
    base::File in;
    ASSERT_TRUE(in.open(part.string().c_str(), base::File::STATUS_READ));
    cl_LampBoard reader;
    EXPECT_FALSE(reader.ReadDataRecords(in));
    EXPECT_TRUE(m_log->contains("ERROR:")) << m_log->text();
    EXPECT_TRUE(m_log->contains("FloorLights.dat")) << m_log->text();
  }
}

}  // namespace
}  // namespace gridtest
