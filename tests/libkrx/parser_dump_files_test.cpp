// The stage dumps the front end writes beside the program when the dump switch is on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "KRX/compiler/FrontEnd.h"
#include "parser_support.h"

namespace {

namespace fs = std::filesystem;

using krxfront::ReadAll;

class StageDumps : public ::testing::Test {
 protected:
  void SetUp() override {
    m_old = fs::current_path();
    m_dir = fs::temp_directory_path() / ("krx_dumps_" + std::to_string(::getpid()));
    fs::create_directories(m_dir / "Temp");
    fs::current_path(m_dir);
    KRX::ScriptSystem::Init();
    krxfront::CaptureOutput();
  }
  void TearDown() override {
    KRX::ScriptSystem::Shutdown();
    fs::current_path(m_old);
    fs::remove_all(m_dir);
  }
  static bool Compile(const char* file, const char* module, const char* source) {
    KRX::SyntaxUnit unit;
    unit.m_fileName = file;
    unit.m_moduleName = module;
    unit.m_source = source;
    return KRX::RunFrontEnd(unit);
  }
  fs::path m_old;
  fs::path m_dir;
};

TEST_F(StageDumps, WrittenOnlyWhenSwitchedOnAndForEveryStageReached) {
  ASSERT_TRUE(Compile("a.krx", "a", "x = 1;"));
  EXPECT_FALSE(fs::exists(m_dir / "Temp" / "a_lex.txt"));

  KRX::ScriptSystem::SetDumpSwitch(true);
  ASSERT_TRUE(Compile("b.lua", "b", "local x = 1"));
  EXPECT_TRUE(fs::exists(m_dir / "Temp" / "b_lex.txt"));
  EXPECT_TRUE(fs::exists(m_dir / "Temp" / "b_gra.txt"));
  const std::string delua = ReadAll(m_dir / "Temp" / "b_delua.txt");
  EXPECT_NE(std::string::npos, delua.find("  sys type () auto (auto)\n")) << delua;

  // The syntax tree is dumped also when parsing fails; the lexer's list also when lexing does.
  EXPECT_FALSE(Compile("c.krx", "c", "x = (1;"));
  EXPECT_EQ("rem  () rem (grammar)\n", ReadAll(m_dir / "Temp" / "c_gra.txt"));
  EXPECT_FALSE(Compile("d.krx", "d", "x = 1 $"));
  EXPECT_NE(std::string::npos, ReadAll(m_dir / "Temp" / "d_lex.txt").find("id d () d (1)"));
  EXPECT_FALSE(fs::exists(m_dir / "Temp" / "d_gra.txt"));

  // Without the folder the dumps are skipped and the compile is unaffected.
  fs::remove_all(m_dir / "Temp");
  EXPECT_TRUE(Compile("e.krx", "e", "y = 2;"));
}

}  // namespace
