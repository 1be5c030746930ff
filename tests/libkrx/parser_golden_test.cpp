// Golden dumps of the compiler front end: every source under golden/ (brace syntax ".krx",
// Lua-like syntax ".lua") is lexed, rewritten and parsed, and the token lists, the syntax tree
// and the messages are compared with the ".golden" file beside it. Set QUILLANE_UPDATE_GOLDEN=1
// to rewrite the golden files after a deliberate change, then review them with git diff.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "parser_support.h"

namespace {

namespace fs = std::filesystem;

using krxfront::ReadAll;

std::string Render(const krxfront::st_FrontEnd& r) {
  std::string out = "== lex (" + std::string(r.lexed ? "ok" : "failed") + ")\n" + r.lex;
  if (!r.delua.empty()) out += "== delua\n" + r.delua;
  if (r.lexed) out += "== gra (" + std::string(r.parsed ? "ok" : "failed") + ")\n" + r.tree;
  out += "== messages\n" + r.messages;
  return out;
}

std::vector<fs::path> Sources() {
  std::vector<fs::path> sources;
  for (const auto& entry : fs::directory_iterator(fs::path(QUILLANE_TEST_DIR) / "golden")) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".krx" || ext == ".lua") sources.push_back(entry.path());
  }
  std::sort(sources.begin(), sources.end());
  return sources;
}

TEST(FrontEndGolden, DumpsMatchTheReviewedFiles) {
  KRX::ScriptSystem::Init();
  const bool update = std::getenv("QUILLANE_UPDATE_GOLDEN") != nullptr;
  const std::vector<fs::path> sources = Sources();
  ASSERT_GE(sources.size(), 6u);
  for (const fs::path& source : sources) {
    SCOPED_TRACE(source.filename().string());
    KRX::DeLua::ResetIgnoredPrefixes();
    const std::string text = ReadAll(source);
    // The module name decides which call prefixes the Lua rewrite drops.
    const std::string stem = source.stem().string();
    const std::string rendered = Render(krxfront::RunStages(source.filename().string().c_str(), text.c_str(), stem.c_str()));
    fs::path golden = source;
    golden += ".golden";
    if (update) {
      std::ofstream(golden, std::ios::binary) << rendered;
      continue;
    }
    ASSERT_TRUE(fs::exists(golden)) << "run with QUILLANE_UPDATE_GOLDEN=1 to create " << golden;
    EXPECT_EQ(ReadAll(golden), rendered);
  }
  KRX::ScriptSystem::Shutdown();
}

}  // namespace
