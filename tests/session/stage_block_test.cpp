// The stage's savegame block: a written block read back and written again gives the same bytes,
// and damaged blocks are refused with one line giving the offset, leaving the stage as it was.
#include <cmath>
#include <cstring>
#include <limits>

#include "base/File.h"
#include "quillane/session/Stage.h"
#include "stage_fixture.h"

namespace {

using quillane::cl_Character;
using quillane::cl_Stage;

class StageBlock : public stagetest::StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    UseDemoActorNames();
  }
  // A stage of three: Quillane (the player) carries Odo's hat; Odo is an attachment.
  void Populate(cl_Stage& stage) {
    cl_Character* quillane = stage.CreateCharacter("Quillane", "quillane");
    cl_Character* odo = stage.CreateCharacter("Odo", "odo");
    cl_Character* mina = stage.CreateCharacter("Mina", "mina");
    ASSERT_TRUE(quillane && odo && mina);
    base::cl_Locator at;
    at.SetPos(base::tVector3<float>(-200.0f, 0.0f, 150.0f));
    at.TurnRight(0.5f);
    quillane->SetPosition(at);
    at.SetPos(base::tVector3<float>(12.5f, 3.0f, -40.25f));
    odo->SetPosition(at);
    base::Variant& props = quillane->properties;
    props.set_element("Properties");
    props.attribute("boundary_left")->set_float(25.0f);
    base::Variant& hat = props.add_element("AttachedObject");
    hat.attribute("character")->set_string("Odo");
    hat.attribute("bone_index")->set_int(4);
    hat.attribute("scale")->set_float(0.5f);
    odo->properties.set_element("Properties");
    odo->properties.attribute("is_attachment")->set_int(1);
    stage.SetPlayerCharacter(quillane);
  }
  static std::string Block(const cl_Stage& stage, const char* file) {
    {
      base::File out(file, base::File::STATUS_WRITE);
      EXPECT_TRUE(stage.WriteState(out));
      EXPECT_TRUE(out.close());
    }
    return Read(file);
  }
  // Reads a whole block (scene name first) into stage; the result of ReadState.
  static bool ReadBlock(cl_Stage& stage, const std::string& bytes) {
    base::File in;
    in.open_memory(bytes.data(), static_cast<int>(bytes.size()), "slot.sav");
    base::String scene;
    return cl_Stage::ReadSceneName(in, scene) && stage.ReadState(in);
  }
};

TEST_F(StageBlock, WrittenBlockReadBackWritesTheSameBytes) {
  cl_Stage stage;
  Populate(stage);
  const std::string first = Block(stage, "first.bin");
  cl_Stage copy;
  ASSERT_TRUE(ReadBlock(copy, first)) << m_log->text();
  EXPECT_EQ(Block(copy, "second.bin"), first);

  ASSERT_EQ(copy.GetCharacters().size(), 3u);
  cl_Character* quillane = copy.GetCharacter("Quillane");
  cl_Character* odo = copy.GetCharacter("Odo");
  EXPECT_EQ(copy.GetPlayerCharacter(), quillane);
  ASSERT_EQ(quillane->attachments.size(), 1u);
  EXPECT_EQ(quillane->attachments.front().boneIndex, 4);
  EXPECT_EQ(quillane->attachments.front().scale, 0.5f);
  EXPECT_EQ(copy.GetAttachmentTarget(quillane->attachments.front()), odo);
  EXPECT_EQ(odo->isAttachment, 1);
  EXPECT_EQ(quillane->isAttachment, 0);
  EXPECT_FLOAT_EQ(odo->GetPosition().z, -40.25f);

  // Removing the hat's wearer target leaves nothing pointing at it; removing the player clears
  // the player.
  copy.RemoveCharacter("Odo");
  EXPECT_EQ(copy.GetAttachmentTarget(quillane->attachments.front()), nullptr);
  copy.RemoveCharacter("Quillane");
  EXPECT_EQ(copy.GetPlayerCharacter(), nullptr);
  EXPECT_EQ(copy.GetCharacters().size(), 1u);
}

TEST_F(StageBlock, UnknownActorIsSkippedAndTheNextRecordStillReads) {
  cl_Stage stage;
  Populate(stage);
  std::string bytes = Block(stage, "block.bin");
  // Rename Odo's actor to one the registry does not know, keeping the length.
  const size_t at = bytes.find("odo");
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, 3, "xyz");
  cl_Stage copy;
  ASSERT_TRUE(ReadBlock(copy, bytes));
  EXPECT_TRUE(m_log->contains("ERROR: Actor 'xyz' not found. Character 'Odo' was not created."));
  EXPECT_EQ(copy.GetCharacter("Odo"), nullptr);
  ASSERT_NE(copy.GetCharacter("Mina"), nullptr);
  EXPECT_EQ(copy.GetAttachmentTarget(copy.GetCharacter("Quillane")->attachments.front()), nullptr);
}

TEST_F(StageBlock, PlayerNameEmptyOrUnknownLeavesNoPlayer) {
  cl_Stage stage;
  Populate(stage);
  stage.SetPlayerCharacter(nullptr);
  cl_Stage none;
  ASSERT_TRUE(ReadBlock(none, Block(stage, "none.bin")));
  EXPECT_EQ(none.GetPlayerCharacter(), nullptr);

  stage.RemoveCharacter("Mina");
  stage.SetPlayerCharacter(stage.GetCharacter("Odo"));
  std::string bytes = Block(stage, "ghost.bin");
  bytes.replace(bytes.size() - 3, 3, "Ghs");  // the player's name, last in the block
  cl_Stage ghost;
  ASSERT_TRUE(ReadBlock(ghost, bytes));
  EXPECT_EQ(ghost.GetPlayerCharacter(), nullptr);
  EXPECT_TRUE(m_log->contains("player character 'Ghs' is not on the stage"));
}

TEST_F(StageBlock, DamagedBlocksAreRefusedWithTheOffsetAndChangeNothing) {
  cl_Stage stage;
  Populate(stage);
  const std::string good = Block(stage, "good.bin");
  auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto f32 = [](float v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  const std::string nameless = u32(0);  // an empty scene name
  // One record: name "A", actor "odo", then a locator whose position x is given.
  auto record = [&](float x) {
    return u32(1) + "A" + u32(3) + "odo" + u32(0) + f32(0) + f32(0) + f32(0) + f32(1) + f32(x) + f32(0) + f32(0);
  };
  struct st_Case {
    const char* what;
    std::string bytes;
    const char* message;
  };
  std::vector<st_Case> cases = {
      {"huge count", nameless + u32(0xFFFFFFFFu), "character count 4294967295 exceeds"},
      {"count beyond the bytes", nameless + u32(2) + std::string(60, '\0'), "character count 2 exceeds"},
      {"huge name length", nameless + u32(1) + u32(0x7FFFFFF0u) + std::string(40, '\0'), "character name length"},
      {"NaN locator", nameless + u32(1) + record(std::numeric_limits<float>::quiet_NaN()) + std::string(8, '\0'),
       "not finite"},
      {"infinite locator", nameless + u32(1) + record(std::numeric_limits<float>::infinity()) + std::string(8, '\0'),
       "not finite"},
      {"zero byte in a name", nameless + u32(1) + u32(2) + std::string("A\0", 2) + std::string(40, '\0'),
       "zero byte"},
  };
  // Every cut of a good block is refused too.
  for (size_t n = nameless.size() + 1; n < good.size(); n += 3)
    cases.push_back({"cut", good.substr(0, n), ""});

  for (const st_Case& c : cases) {
    cl_Stage target;
    cl_Character* kept = target.CreateCharacter("Kept", "pell");
    target.SetPlayerCharacter(kept);
    m_log->clear();
    EXPECT_FALSE(ReadBlock(target, c.bytes)) << c.what;
    std::vector<std::string> errors;
    for (const std::string& line : m_log->get())
      if (line.find("ERROR:") != std::string::npos) errors.push_back(line);
    ASSERT_EQ(errors.size(), 1u) << c.what << "\n" << m_log->text();
    EXPECT_NE(errors[0].find(c.message), std::string::npos) << c.what << ": " << errors[0];
    if (*c.message) {
      EXPECT_NE(errors[0].find("offset"), std::string::npos) << errors[0];
    }
    ASSERT_EQ(target.GetCharacters().size(), 1u) << c.what;
    EXPECT_EQ(target.GetPlayerCharacter(), kept);
  }
}

}  // namespace
