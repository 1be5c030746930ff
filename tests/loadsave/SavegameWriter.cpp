#include "SavegameWriter.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "base/File.h"
#include "base/data/Variant.h"

namespace savetest {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutBitmap(std::vector<uint8_t>& out, int w, int h, uint32_t colour) {
  Put32(out, static_cast<uint32_t>(w));
  Put32(out, static_cast<uint32_t>(h));
  Put32(out, 0);
  Put32(out, 0);
  for (int i = 0; i < w * h; ++i) Put32(out, colour);
}

// The header through the engine's own record writer, by way of a scratch file.
std::vector<uint8_t> HeaderBytes(const st_Head& head) {
  base::Variant header;
  header.set_element("SaveData");
  header.attribute("game_time")->set_float(head.gameTime);
  header.attribute("current_mission")->set_int(head.mission);
  header.attribute("mission4_started")->set_int(head.mission4Started);
  header.attribute("wealth")->set_int(head.wealth);
  header.attribute("spycraft")->set_int(head.spycraft);
  header.attribute("skill")->set_int(head.skill);
  header.attribute("maxwealth")->set_int(head.maxWealth);
  header.attribute("maxspycraft")->set_int(head.maxSpycraft);
  header.attribute("maxskill")->set_int(head.maxSkill);
  const std::string scratch = std::string(P_tmpdir) + "/quillane_savehead_" + std::to_string(getpid()) + ".bin";
  {
    base::File file(scratch.c_str(), base::File::STATUS_WRITE);
    header.Write(&file);
    file.close();
  }
  std::ifstream in(scratch, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(scratch.c_str());
  return bytes;
}

}  // namespace

std::vector<uint8_t> HeadBytes(const st_Head& head, std::vector<size_t>* ends) {
  std::vector<uint8_t> out;
  auto mark = [&] {
    if (ends) ends->push_back(out.size());
  };
  Put32(out, 1);
  mark();
  Put32(out, static_cast<uint32_t>(head.name.size()));
  for (char16_t c : head.name) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  mark();
  PutBitmap(out, head.thumbW, head.thumbH, head.grey);
  mark();
  PutBitmap(out, head.thumbW, head.thumbH, head.colour);
  mark();
  const std::vector<uint8_t> header = HeaderBytes(head);
  out.insert(out.end(), header.begin(), header.end());
  mark();
  PutBitmap(out, head.previewW, head.previewH, head.preview);
  mark();
  return out;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace savetest
