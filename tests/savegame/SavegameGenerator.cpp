#include "SavegameGenerator.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "base/File.h"
#include "base/data/Variant.h"
#include "../support/ScratchFolder.h"

namespace savegen {
namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& out, float f) {
  uint32_t v;
  std::memcpy(&v, &f, 4);
  Put32(out, v);
}

void PutText(std::vector<uint8_t>& out, const std::string& text) {
  Put32(out, static_cast<uint32_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

// A picture with a pattern, so that a wrong crop or order shows.
void PutBitmap(std::vector<uint8_t>& out, int w, int h, uint32_t seed) {
  Put32(out, static_cast<uint32_t>(w));
  Put32(out, static_cast<uint32_t>(h));
  Put32(out, 0);
  Put32(out, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Put32(out, 0xFF000000u | ((x * 3 + seed) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | (seed & 0xFF));
}

// A tree record through the engine's own writer, by way of a scratch file in a scratch folder:
// the kill test's writer may be killed in here, and the next one then removes what it left.
void PutVariant(std::vector<uint8_t>& out, const base::Variant& v) {
  const std::filesystem::path folder = testsupport::MakeScratchFolder("quillane_savegen");
  const std::string scratch = (folder / "record.bin").string();
  {
    base::File file(scratch.c_str(), base::File::STATUS_WRITE);
    v.Write(&file);
    file.close();
  }
  const std::vector<uint8_t> bytes = ReadFile(scratch);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

void MakeGameState(const st_Plan& plan, base::Variant& out) {
  out.set_element("GameState");
  base::Variant& missions = out.add_element("Missions");
  missions.attribute("GameTime")->set_float(754.5f);
  missions.attribute("Skill")->set_int(30);
  missions.attribute("MaxSkill")->set_int(100);
  for (int i = 0; i < plan.elements; ++i) {
    base::Variant& value = missions.add_element(("Value" + std::to_string(i)).c_str());
    value.attribute("value")->set_int(i * 7);
  }
  base::Variant& inventory = out.add_element("Inventory").add_element("Items");
  base::Variant& ticket = inventory.add_element("Token");
  ticket.attribute("label")->set_string("ticket");
  ticket.attribute("cnt")->set_int(1);
  ticket.attribute("use_cnt")->set_int(0);
  base::Variant& hotspots = out.add_element("Scenes").add_element(plan.scene.c_str()).add_element("Hotspots");
  hotspots.attribute("door")->set_int(1);
  hotspots.attribute("drawer")->set_int(0);
}

st_Savegame Generate(const st_Plan& plan) {
  st_Savegame s;
  std::vector<uint8_t>& out = s.bytes;
  auto mark = [&] { s.ends.push_back(out.size()); };
  Put32(out, plan.version);
  mark();
  Put32(out, static_cast<uint32_t>(plan.name.size()));
  for (char16_t c : plan.name) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  mark();
  PutBitmap(out, plan.thumbSide, plan.thumbSide, 0x80);
  mark();
  PutBitmap(out, plan.thumbSide, plan.thumbSide, 0x20);
  mark();
  base::Variant header;
  header.set_element("SaveData");
  header.attribute("game_time")->set_float(754.5f);
  header.attribute("current_mission")->set_int(1);
  PutVariant(out, header);
  mark();
  PutBitmap(out, plan.pictureW, plan.pictureH, 0x40);
  mark();
  base::Variant state;
  MakeGameState(plan, state);
  PutVariant(out, state);
  mark();
  PutText(out, plan.scene);
  mark();
  Put32(out, static_cast<uint32_t>(plan.characters.size()));
  for (const st_Character& c : plan.characters) {
    PutText(out, c.name);
    PutText(out, c.actor);
    Put32(out, 0);
    for (float f : c.orientation) PutFloat(out, f);
    for (float f : c.position) PutFloat(out, f);
    base::Variant properties;
    properties.set_element("Properties");
    properties.attribute("boundary_left")->set_float(25.0f);
    PutVariant(out, properties);
  }
  PutText(out, plan.player);
  mark();
  return s;
}

std::vector<st_Damaged> DamagedCases(const st_Savegame& valid) {
  std::vector<st_Damaged> cases;
  const std::vector<uint8_t>& b = valid.bytes;
  cases.push_back({"empty file", {}});
  for (size_t end : valid.ends) {
    for (int d = -1; d <= 1; ++d) {
      const size_t cut = end + d;
      if (cut == 0 || cut >= b.size()) continue;
      cases.push_back({"cut at " + std::to_string(cut), std::vector<uint8_t>(b.begin(), b.begin() + cut)});
    }
  }
  auto patched = [&](const char* what, size_t at, uint32_t value) {
    std::vector<uint8_t> bytes = b;
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    cases.push_back({what, bytes});
  };
  patched("version 0", 0, 0);
  patched("version 2", 0, 2);
  patched("name length 0xFFFFFFFF", valid.ends[0], 0xFFFFFFFFu);
  patched("name longer than the file", valid.ends[0], static_cast<uint32_t>(b.size()));
  patched("grey thumbnail 65536 wide", valid.ends[1], 65536);
  patched("grey thumbnail 65 wide", valid.ends[1], 65);
  patched("picture 4096 high", valid.ends[4] + 4, 4096);
  patched("scene name longer than the file", valid.ends[6], 0x7FFFFFFFu);
  patched("character count 0xFFFFFFFF", valid.ends[7], 0xFFFFFFFFu);
  // A picture with exactly one side of 0 carries no pixels: only the size word gives it away.
  for (const auto& [what, w, h] : {std::tuple{"picture 512 x 0", 512, 0}, std::tuple{"picture 0 x 320", 0, 320}}) {
    st_Plan plan;
    plan.pictureW = w;
    plan.pictureH = h;
    cases.push_back({what, Generate(plan).bytes});
  }
  std::vector<uint8_t> trailing = b;
  trailing.push_back(0);
  cases.push_back({"a byte after the stage block", trailing});
  return cases;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace savegen
