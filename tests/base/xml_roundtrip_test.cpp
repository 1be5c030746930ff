// Round trips over a generated corpus of documents in the dialect: text -> Variant -> text ->
// Variant, and text -> words -> binary record -> words, all compared whole.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/File.h"
#include "base/data/StaticVariant.h"
#include "base/text/Text.h"
#include "base/data/Variant.h"
#include "base/data/VariantTools.h"
#include "base/data/Xml.h"
#include "test_support.h"
#include "xml_test_dump.h"

namespace {

using base::StaticVariant;
using base::Variant;

class Generator {
 public:
  explicit Generator(unsigned seed) : m_rng(seed) {}

  std::string document() {
    std::string s;
    if (pick(3) == 0) s += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    element(s, 0);
    return s;
  }

 private:
  template <size_t N>
  const char* any(const char* const (&list)[N]) {
    return list[pick(static_cast<int>(N))];
  }
  int pick(int n) { return static_cast<int>(m_rng() % static_cast<unsigned>(n)); }

  void element(std::string& s, int depth) {
    static const char* const labels[] = {"Scene", "Layer", "Hotspot", "a", "_x1", "Character", ""};
    static const char* const names[] = {"name", "x", "y", "file", "label", "z ", "flag", "tex_0"};
    static const char* const values[] = {"0", "12", "-3.5", "1e3", "0.001", "7  ", "+4", "123456",
                                         "abc", "12px", ".5", "  7", "", "say &quot;hi&quot;", "a<b",
                                         "R&D", "&amp;lt;", "it's", "x>y", "path\\to/file.dds"};
    static const char* const blanks[] = {"", " ", "\n", "\n\t\t", "  \r\n"};
    static const char* const texts[] = {"hello", "two words ", "x &lt; y", "tail\n\t", "a>b", "R & D", "#Lo_12 text"};
    const char* label = any(labels);
    s += "<";
    s += label;
    bool used[8] = {};
    for (int i = pick(6); i > 0; --i) {
      const int n = pick(8);
      if (used[n]) continue;
      used[n] = true;
      s += pick(2) ? " " : "\n\t";
      s += names[n];
      s += "=\"";
      s += any(values);
      s += "\"";
    }
    s += any(blanks);
    if (depth > 5 || pick(4) == 0) {
      s += "/>";
      return;
    }
    s += ">";
    bool lastWasText = false;
    for (int i = pick(6); i > 0; --i) {
      s += any(blanks);
      const int kind = pick(6);
      if (kind < 3) {
        element(s, depth + 1);
        lastWasText = false;
      } else if (kind < 5 && !lastWasText) {
        s += any(texts);
        lastWasText = true;
      } else {
        s += "<!-- a comment <with> \"quotes\" -->";
        lastWasText = false;  // a text after a comment is a child of its own
      }
    }
    s += any(blanks);
    s += pick(5) ? std::string("</") + label + ">" : "</other>";
  }

  std::mt19937 m_rng;
};

std::string write(const Variant& v) {
  base::Text t;
  EXPECT_TRUE(base::xml::write_text(v, t));
  return t.c_str();
}

std::vector<int> words(const StaticVariant& sv) { return {sv.get_words(), sv.get_words() + sv.get_size()}; }

TEST(XmlRoundTrip, GeneratedCorpus) {
  testsupport::TempDir dir;
  Generator gen(20261207);
  for (int doc = 0; doc < 400; ++doc) {
    const std::string text = gen.document();
    SCOPED_TRACE(text);
    // The two readers agree.
    Variant v1;
    StaticVariant sv1;
    ASSERT_TRUE(base::xml::read_text(v1, text.c_str()));
    ASSERT_TRUE(base::xml::read_text(sv1, text.c_str()));
    Variant expanded;
    sv1.copy_to(expanded);
    ASSERT_EQ(xmltest::dump(expanded), xmltest::dump(v1));

    // Text -> Variant -> text -> Variant.
    const std::string text2 = write(v1);
    Variant v2;
    ASSERT_TRUE(base::xml::read_text(v2, text2.c_str())) << text2;
    ASSERT_EQ(xmltest::dump(v2), xmltest::dump(v1)) << text2;
    ASSERT_TRUE(base::variant_equal(v2, v1));
    ASSERT_EQ(write(v2), text2);

    // Words built from the Variant equal the words read from the text.
    StaticVariant fromVariant;
    fromVariant = v1;
    ASSERT_EQ(words(fromVariant), words(sv1));

    // Words -> record -> words.
    {
      base::File f(dir.path("t.bin").c_str(), base::File::STATUS_WRITE);
      ASSERT_TRUE(sv1.Write(&f));
    }
    base::File f(dir.path("t.bin").c_str(), base::File::STATUS_READ);
    StaticVariant sv2;
    ASSERT_TRUE(sv2.Read(&f));
    ASSERT_EQ(words(sv2), words(sv1));
  }
}

TEST(XmlRoundTrip, ThroughFiles) {
  testsupport::TempDir dir;
  Generator gen(7);
  for (int doc = 0; doc < 20; ++doc) {
    Variant v1;
    ASSERT_TRUE(base::xml::read_text(v1, gen.document().c_str()));
    const std::string path = dir.path("doc.xml");
    ASSERT_TRUE(base::xml::write_file(v1, path.c_str()));
    Variant v2;
    StaticVariant sv;
    ASSERT_TRUE(base::xml::read_file(v2, path.c_str()));
    ASSERT_TRUE(base::xml::read_file(sv, path.c_str()));
    EXPECT_EQ(xmltest::dump(v2), xmltest::dump(v1));
    Variant v3;
    sv.copy_to(v3);
    EXPECT_EQ(xmltest::dump(v3), xmltest::dump(v1));
  }
}

}  // namespace
