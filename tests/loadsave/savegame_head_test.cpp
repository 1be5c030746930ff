// The savegame head reader over heads from the test writer: whole heads, and heads cut or
// damaged at every record, which must fail with exactly one log line and an empty result.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "../support/EngineLogCapture.h"
#include "SavegameWriter.h"
#include "base/File.h"
#include "quillane/savegame/SavegameHead.h"

namespace {

bool ReadBytes(const std::vector<uint8_t>& bytes, st_SavegameHead& out, bool preview) {
  base::File file;
  file.open_memory(bytes.data(), static_cast<int>(bytes.size()), "slot001.sav");
  return ReadSavegameHead(file, out, preview);
}

void ExpectEmpty(const st_SavegameHead& head) {
  EXPECT_TRUE(head.m_name.empty());
  EXPECT_TRUE(head.m_grey.IsEmpty());
  EXPECT_TRUE(head.m_colour.IsEmpty());
  EXPECT_FALSE(head.m_header.is_element());
  EXPECT_TRUE(head.m_preview.IsEmpty());
}

void Patch32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); }

}  // namespace

TEST(SavegameHeadRead, WholeHeadGivesNameThumbnailsHeaderAndPreview) {
  savetest::st_Head h;
  st_SavegameHead head;
  ASSERT_TRUE(ReadBytes(savetest::HeadBytes(h), head, true));
  EXPECT_EQ(std::u16string(head.m_name.c_str()), h.name);
  ASSERT_EQ(head.m_grey.Width(), 64);
  EXPECT_EQ(head.m_colour.Height(), 64);
  EXPECT_EQ(head.m_preview.Width(), 512);
  EXPECT_EQ(head.m_preview.Height(), 320);
  int mission = 0;
  EXPECT_TRUE(head.m_header.get_attribute_int("current_mission", mission));
  EXPECT_EQ(mission, 3);
  EXPECT_STREQ(head.m_header.get_label(), "SaveData");
}

TEST(SavegameHeadRead, EmptyNameAndNoPicturesAreAccepted) {
  savetest::st_Head h;
  h.name.clear();
  h.thumbW = h.thumbH = h.previewW = h.previewH = 0;
  st_SavegameHead head;
  ASSERT_TRUE(ReadBytes(savetest::HeadBytes(h), head, true));
  EXPECT_TRUE(head.m_name.empty());
  EXPECT_TRUE(head.m_grey.IsEmpty());
  EXPECT_TRUE(head.m_preview.IsEmpty());
}

TEST(SavegameHeadRead, HeadCutAtEveryRecordBoundaryFailsWithOneLine) {
  std::vector<size_t> ends;
  const std::vector<uint8_t> whole = savetest::HeadBytes(savetest::st_Head(), &ends);
  for (size_t end : ends) {
    for (long delta : {-1L, 0L, 1L}) {
      const size_t cut = static_cast<size_t>(static_cast<long>(end) + delta);
      if (cut >= whole.size()) continue;
      // A cut exactly at a record's end is whole up to there: only a read past it must fail.
      std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(cut));
      testsupport::LogCapture log;
      st_SavegameHead head;
      const bool ok = ReadBytes(bytes, head, true);
      SCOPED_TRACE("cut at " + std::to_string(cut));
      EXPECT_FALSE(ok);
      EXPECT_EQ(log.count("ERROR: "), 1) << log.text("\n");
      EXPECT_EQ(log.count("slot001.sav"), 1);
      ExpectEmpty(head);
    }
  }
}

TEST(SavegameHeadRead, HostileCountsAndSizesFailWithOneLine) {
  std::vector<size_t> ends;
  const std::vector<uint8_t> whole = savetest::HeadBytes(savetest::st_Head(), &ends);
  struct st_Case {
    const char* what;
    size_t at;
    uint32_t value;
  };
  const st_Case cases[] = {
      {"name count -1", 4, 0xFFFFFFFFu},
      {"name count 10^9", 4, 1000000000u},
      {"name count 1025", 4, 1025u},
      {"grey width 100000", ends[1], 100000u},
      {"grey width 65", ends[1], 65u},
      {"colour 32 wide", ends[2], 32u},
      {"preview height 0x80000000", ends[4] + 4, 0x80000000u},
      {"header record word", ends[3], 0xFFFFFFFFu},
  };
  for (const st_Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = whole;
    Patch32(bytes, c.at, c.value);
    if (c.value == 100000u) Patch32(bytes, c.at + 4, 100000u);  // 100000 x 100000
    testsupport::LogCapture log;
    st_SavegameHead head;
    EXPECT_FALSE(ReadBytes(bytes, head, true));
    EXPECT_EQ(log.count("ERROR: "), 1) << log.text("\n");
    ExpectEmpty(head);
  }
}

TEST(SavegameHeadRead, MissingFileIsFalseAndSilentAboutTheHead) {
  st_SavegameHead head;
  EXPECT_FALSE(ReadSavegameHead("/nonexistent/quillane/slot001.sav", head, false));
  ExpectEmpty(head);
}

// The fuzz seeds are heads written by an earlier build; they must still read, so a change of
// the layout is noticed. QUILLANE_WRITE_SEEDS=1 writes them afresh.
TEST(SavegameHeadRead, StoredSeedHeadsStillRead) {
  const std::string folder = std::string(QUILLANE_TEST_DIR) + "/../../fuzz/corpus/savegame_head/";
  savetest::st_Head small;
  small.previewW = small.previewH = 0;
  small.thumbW = small.thumbH = 0;
  savetest::st_Head empty = small;
  empty.name.clear();
  const std::pair<const char*, savetest::st_Head> seeds[] = {{"no_pictures.sav", small}, {"empty_name.sav", empty}};
  if (std::getenv("QUILLANE_WRITE_SEEDS"))
    for (const auto& [file, h] : seeds) savetest::WriteFile(folder + file, savetest::HeadBytes(h));
  for (const auto& [file, h] : seeds) {
    st_SavegameHead head;
    EXPECT_TRUE(ReadSavegameHead((folder + file).c_str(), head, true)) << file;
    EXPECT_EQ(std::u16string(head.m_name.c_str()), h.name);
  }
}
