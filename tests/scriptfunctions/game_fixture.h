// A game started as QuickLaunch starts it, on the Quay loaded from its project alone, with a
// sound system in pull mode beside it (the quest sound in the "Sfx" archive, one spoken line of
// Quillane's as a loose file), a token bar holding two tokens, and the test's functions as the
// Quay's scene script. Each test runs them at once or as the scene-script sequence and steps
// frames so that the queue and the waiting scripts move on.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "../audio/SoundMaker.h"
#include "../session/session_fixture.h"
#include "base/data/StaticVariant.h"
#include "base/data/Xml.h"
#include "base/file/FileArchive.h"
#include "base/system.h"
#include "quillane/session/Session.h"
#include "sound/FModSoundSystem.h"

namespace scriptfunctionstest {

class GameTest : public sessiontest::SessionTest {
 protected:
  static constexpr const char* kVoiceKey = "#test0_1";
  static constexpr double kVoiceSeconds = 2.0;

  void SetUp() override {
    SessionTest::SetUp();
    if (IsSkipped()) return;
    m_sound = std::make_unique<sfx::cl_FModSoundSystem>();
    ASSERT_TRUE(m_sound->SetOutput(platform::audio::Output::Pull));
    ASSERT_TRUE(m_sound->StartUp());
    for (const char* channel : {"PLAYER", "SPEECH", "GUI"}) {
      sfx::st_ChannelParams params;
      m_sound->AddChannel(channel, &params);
    }
    WriteOgg("sfx/ui/UI_diaryquest.ogg", 0.5);
    WriteOgg("loca/English/speech/Quillane/#test0_1.ogg", kVoiceSeconds);
    Write("loca/test_English.xml",
          "<TextRoot><Language value=\"English\"><Label value=\"#test0_1\"><Text value=\"Nine o'clock.\">"
          "<Speaker value=\"Quillane\"/></Text></Label><Label value=\"#test0_2\"><Text value=\"No voice\"/>"
          "</Label></Language></TextRoot>");
    std::ifstream project(std::string(QUILLANE_DATA_DIR) + "/Scenes/Quay/ProjectFile.xml", std::ios::binary);
    std::stringstream text;
    text << project.rdbuf();
    Write("Scenes/Quay/ProjectFile.xml", text.str());
    Write("Scripts/MainInclude.lua", "\n");
    Write("Scripts/campaign.lua", "function Startup()\n  Transit(\"Quay\")\nend\n");
    Write("scripts/initialgamestate.xml",
          "<GameState><Missions Skill=\"0\"/><Inventory><Items><Token label=\"T1_Ledger\"/>"
          "<Token label=\"T1_Pass\"/></Items><DialogTokens/></Inventory></GameState>");
    Write("GUI/tokens/tokens.xml",
          "<Tokens><DialogTokens/><Items><Token label=\"T1_Ledger\" display_name=\"Ledger\"/>"
          "<Token label=\"T1_Pass\" display_name=\"Pass\"/></Items></Tokens>");
  }

  void TearDown() override {
    SessionTest::TearDown();
    m_sound.reset();
  }

  // The game with script as the Quay's scene script, once the Quay is shown.
  void Start(const std::string& script) {
    Write("Scripts/Scenes/Quay.lua", script);
    StartFrame("<DevTools QuickLaunch=\"game\"/><Options><Game><AutoFadeInterface Value=\"0\"/></Game></Options>");
    // The quest sound is found only in the archive, as the game's own sounds are.
    base::StaticVariant build;
    ASSERT_TRUE(base::xml::read_text(
        build, R"(<Archive label="Sfx" file="sfx.pak"><Dir path="sfx/ui" extension="*.ogg"/></Archive>)"));
    base::cl_FileArchive builder;
    ASSERT_TRUE(builder.Build(build));
    std::filesystem::remove_all(m_dir / "sfx");
    Write("archives.xml", R"(<Resources><Archive label="Sfx" file="sfx.pak"/></Resources>)");
    ASSERT_TRUE(base::sys::AddResources((m_dir / "archives.xml").string().c_str()));
    for (int i = 0; i < 200 && !(quillane::GetSession() && quillane::GetSession()->GetScene()); ++i) Step();
    ASSERT_TRUE(StepUntilState("Session"));
    m_session = quillane::GetSession();
    ASSERT_NE(m_session, nullptr);
    ASSERT_NE(m_session->GetScene(), nullptr) << Log();
  }

  // function of the Quay's script, run at once; its result.
  base::Variant Run(const char* function, const base::Variant& args = base::Variant()) {
    return m_session->RunSceneScript("Quay", function, args);
  }
  // function as the scene-script sequence, which may wait.
  void Call(const char* function) { m_session->CallSceneScript("Quay", function, base::Variant()); }
  // What the test functions said with Debugout("t: ..."), in order.
  std::vector<std::string> Said() const { return LinesAfter("t: "); }
  bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
  base::Variant& State() { return *m_session->GetGameState(); }

  void WriteOgg(const std::string& path, double seconds) {
    const std::vector<uint8_t> bytes = audiotest::MakeOgg(22050, 1, audiotest::Sine(22050, 1, seconds, 441.0, 0.5));
    Write(path, std::string(bytes.begin(), bytes.end()));
  }

  std::unique_ptr<sfx::cl_FModSoundSystem> m_sound;
  quillane::cl_Session* m_session = nullptr;
};

}  // namespace scriptfunctionstest
