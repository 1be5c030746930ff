// Every XML file kept in the repository (fuzz seeds of all targets, the data folder) and a few
// thousand damaged copies of the XML seeds go through both readers; what they make of each input
// (the tree, the words, the error line) is hashed and compared with tests/base/golden/xml_trees.txt.
// The readers are tuned for speed, and this is the net that says the results did not change.
// QUILLANE_UPDATE_GOLDEN=1 rewrites the file (review it with git diff).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/data/StaticVariant.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "base/text/Vocable.h"
#include "test_support.h"
#include "xml_test_dump.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = fs::path(QUILLANE_TEST_DIR) / ".." / "..";
const fs::path kGolden = fs::path(QUILLANE_TEST_DIR) / "golden" / "xml_trees.txt";

uint64_t fnv1a(const std::string& s, uint64_t h = 0xcbf29ce484222325ull) {
  for (unsigned char c : s) h = (h ^ c) * 0x100000001b3ull;
  return h;
}

// The words with every name word replaced by its text, so that the dump does not depend on the
// order in which this process happened to intern names.
void dump_words(const int* w, std::string& out) {
  out += std::to_string(w[0]) + ':';
  if (w[0] == base::SV_INT || w[0] == base::SV_FLOAT) {
    out += std::to_string(w[1]) + ' ';
    return;
  }
  if (w[0] == base::SV_STRING) {
    out += std::string(reinterpret_cast<const char*>(w + 2), static_cast<size_t>(w[1])) + '|';
    for (int i = 0; i < w[1] / 4 + 3; ++i) out += std::to_string(w[i]) + ',';
    return;
  }
  if (w[0] != base::SV_ELEMENT) return;
  out += std::string(reinterpret_cast<const char*>(base::vocable::from_id(static_cast<unsigned>(w[2])))) + '[';
  for (int i = 0; i < 7; ++i) out += i == 2 ? "-," : std::to_string(w[i]) + ',';
  for (int i = 0; i < w[3] + w[5]; ++i) out += std::to_string(w[w[4] + i]) + ',';
  for (int i = 0; i < w[3]; ++i) {
    const int at = w[w[4] + i];
    out += std::string(reinterpret_cast<const char*>(base::vocable::from_id(static_cast<unsigned>(w[at])))) + '=';
    dump_words(w + at + 1, out);
  }
  for (int i = 0; i < w[5]; ++i) dump_words(w + w[w[6] + i], out);
  out += ']';
}

// What every reader entry point makes of one text.
std::string describe(const std::string& bytes) {
  const char* text = bytes.c_str();
  std::string out;
  {
    testsupport::LogCapture log;
    base::Variant v;
    const bool ok = base::xml::read_text(v, text, "golden.xml");
    out += "V:" + (ok ? xmltest::dump(v) : std::string("FAIL")) + '\n' + log.text() + '\n';
    // The dump above prints floats to six places; the words hold their bits.
    base::StaticVariant words;
    words = v;
    if (words.get_words()) dump_words(words.get_words(), out);
  }
  {
    testsupport::LogCapture log;
    base::StaticVariant sv;
    const bool ok = base::xml::read_text(sv, text, "golden.xml");
    out += "S:";
    if (ok) {
      int bad;
      const char* why;
      EXPECT_TRUE(base::static_variant_validate(sv.get_words(), sv.get_size(), nullptr, nullptr, bad, why));
      out += std::to_string(sv.get_size()) + ' ';
      dump_words(sv.get_words(), out);
    } else {
      out += "FAIL";
    }
    out += '\n' + log.text() + '\n';
  }
  {
    // The bounded form, once with little room and once with plenty.
    for (int room : {static_cast<int>(bytes.size() % 64), static_cast<int>(bytes.size()) + 64}) {
      std::vector<int> block(static_cast<size_t>(room) + 1);
      int* cursor = block.data();
      const char* p = text;
      const bool ok = base::xml_parse_static_variant(cursor, block.data() + room, p);
      out += "B:" + std::to_string(ok) + ',' + std::to_string(cursor - block.data()) + ',' + std::to_string(p - text);
      if (ok && cursor > block.data()) dump_words(block.data(), out);
      out += '\n';
    }
  }
  {
    base::Variant v;
    const int end = base::xml_parse_variant(base::tString<base::BaseString>(text), v, 0);
    out += "P:" + std::to_string(end) + ' ' + (end >= 0 ? xmltest::dump(v) : std::string()) + '\n';
  }
  return out;
}

// A damaged copy: a few bytes changed, dropped, inserted or the text cut short, favouring the
// characters the grammar turns on.
std::string mutate(const std::string& seed, std::mt19937& rng) {
  static const char kSpecial[] = "<>/\"=&!-?; \t\n[]a1.";
  std::string s = seed;
  const unsigned edits = 1 + rng() % 4;
  for (unsigned k = 0; k < edits && !s.empty(); ++k) {
    const size_t at = rng() % s.size();
    const char c = kSpecial[rng() % (sizeof kSpecial - 1)];
    switch (rng() % 5) {
      case 0: s[at] = c; break;
      case 1: s.erase(at, 1 + rng() % 8); break;
      case 2: s.insert(at, 1, c); break;
      case 3: s.resize(at); break;
      default: {
        // Drawn one after the other: the order of a call's arguments is the compiler's choice.
        const size_t length = rng() % 24;
        const size_t from = rng() % s.size();
        s.insert(at, s.substr(from, length));
        break;
      }
    }
  }
  return s;
}

std::string read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct st_Result {
  std::string name;
  std::string input;   // hash of the bytes: an edited file is a new input, not a changed result
  std::string result;  // hash of describe()
};

std::string hex64(uint64_t h) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

std::vector<st_Result> current_results() {
  std::vector<fs::path> files;
  for (const char* folder : {"fuzz/corpus", "data"}) {
    for (const auto& entry : fs::recursive_directory_iterator(kRoot / folder)) {
      if (!entry.is_regular_file()) continue;
      if (std::string(folder) == "data" && entry.path().extension() != ".xml") continue;
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  std::vector<st_Result> results;
  for (const fs::path& f : files) {
    const std::string name = fs::relative(f, kRoot).generic_string();
    const std::string bytes = read_bytes(f);
    results.push_back({name, hex64(fnv1a(bytes)), hex64(fnv1a(describe(bytes)))});
    const std::string parent = f.parent_path().filename().string();
    if (parent != "xml_static" && parent != "xml_variant") continue;
    std::mt19937 rng(static_cast<unsigned>(fnv1a(bytes)));
    uint64_t h = 0xcbf29ce484222325ull;
    for (int i = 0; i < 400; ++i) h = fnv1a(describe(mutate(bytes, rng)), h);
    results.push_back({name + " (400 damaged copies)", hex64(fnv1a(bytes + "damaged")), hex64(h)});
  }
  return results;
}

// Inputs are matched by their bytes, so seeds added or edited later are simply not compared
// until the file is rewritten; most of the stored inputs must still be there.
TEST(XmlCorpusGolden, EveryStoredTextParsesAsBefore) {
  const std::vector<st_Result> now = current_results();
  ASSERT_GT(now.size(), 20u);
  if (std::getenv("QUILLANE_UPDATE_GOLDEN")) {
    fs::create_directories(kGolden.parent_path());
    std::ofstream out(kGolden, std::ios::binary);
    for (const st_Result& r : now) out << r.input << ' ' << r.result << ' ' << r.name << '\n';
  }
  std::map<std::string, std::string> stored;  // input hash -> result hash
  std::ifstream in(kGolden);
  for (std::string line; std::getline(in, line);) {
    if (line.size() > 34) stored[line.substr(0, 16)] = line.substr(17, 16);
  }
  ASSERT_FALSE(stored.empty()) << "no golden file at " << kGolden;
  size_t compared = 0;
  for (const st_Result& r : now) {
    auto it = stored.find(r.input);
    if (it == stored.end()) continue;
    ++compared;
    EXPECT_EQ(r.result, it->second) << r.name << " parses differently than before";
  }
  EXPECT_GE(compared * 2, stored.size()) << "most stored inputs are gone; rewrite the golden file";
}

}  // namespace
