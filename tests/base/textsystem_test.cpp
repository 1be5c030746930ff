#include "base/text/Textsystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "base/Memory.h"
#include "base/resource/ResourceMgr.h"
#include "base/data/Variant.h"
#include "base/data/Xml.h"
#include "resource_support.h"

namespace {

using testsupport::LogCapture;
using testsupport::WorkTree;

std::u16string U(const base::UnicodeString& s) { return s.empty() ? std::u16string() : std::u16string(s.c_str()); }

base::Variant Config(const char* language) {
  base::Variant config;
  config.set_element("Localization");
  if (language) config.attribute("Language")->set_string(language);
  return config;
}

// Two tables per language, as the game ships them: general texts and the game's own.
void WriteTables(const testsupport::TempDir& tree) {
  tree.write("loca/texts_english.xml", R"(<?xml version="1.0" encoding="utf-8"?>
<!-- General texts; a comment before the root must not hide the table. -->
<Root>
  <Language value="german"><Label value="#gamem0_464"><Text value="Neues Spiel"/></Label></Language>
  <Language value="english">
    <Label value="#gamem0_464"><Text value="New Game" tooltip="Start over"/></Label>
    <Label value="#quill1_2"><Text value="Hello">
      <Speaker value="Anna" sfx="a1"/><Speaker value="Bob" sfx="b1"/></Text>
      <Text value="Hello again"><Speaker value="Carl" sfx="c1"/></Text>
    </Label>
    <Label value="#quill1_3"><Text value="Gr&#xFC;&#223;e"/></Label>
  </Language>
</Root>)");
  tree.write("loca/game_english.xml", R"(<Root><Language value="english">
    <Label value="#quill1_4"><Text value="Stra)" "\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80" R"("/></Label>
    <Label value="#quill1_5"><Text value="bad)" "\xFF\xC3" " end \xE2\x82" R"("/></Label>
    <Label value="#quill1_6"/>
    <NotALabel value="x"/>
    <Label><Text value="keyless"/></Label>
  </Language></Root>)");
  tree.write("loca/texts_german.xml", R"(<Root><Language value="german">
    <Label value="#gamem0_464"><Text value="Neues Spiel"/></Label>
    <Label value="#quill1_2"><Text value="Hallo"><Speaker value="Anna" sfx="a1"/></Text></Label>
  </Language></Root>)");
  tree.write("loca/sub/ignored_english.xml", "<Root/>");
}

TEST(Textsystem, LooksUpKeysInTwoLanguages) {
  WorkTree tree;
  WriteTables(tree);
  LogCapture log;
  ASSERT_TRUE(base::sys::InitTextsystem(Config("english")));
  EXPECT_EQ(std::string(base::sys::GetLanguageString().c_str()), "english");
  EXPECT_TRUE(log.contains("Textsystem Error @ BuildLookup: False Label Label"));
  EXPECT_TRUE(log.contains("Textsystem Error @ BuildLookup: Label has no value"));

  struct Case {
    const char* text;
    int result;
    std::u16string out;
  } english[] = {
      {"#gamem0_464 New Game", 0, u"New Game"},
      {"#GAMEM0_464 Neues", 0, u"New Game"},  // keys ignore letter case
      {"#gamem0_999 Default text", base::cl_Textsystem::kKeyNotFound, u"#gamem0_999 Default text"},
      {"#quill1_2 Hi", -1, u""},  // two texts: nothing displayed
      {"#quill1_6", -1, u""},     // no text
      {"#quill1_3", 0, u"Gr&#xFC;&#223;e"},  // entities are the parser's business
      {"#quill1_4 x", 0, u"Stra\u00DFe \u20AC \U0001F600"},
      {"#quill1_5", 0, u"bad\uFFFD\uFFFD end \uFFFD\uFFFD"},  // invalid bytes replaced, nothing lost
      {"", 0, u"keyless"},  // a Label without "value" is filed under the empty key
      {" leading blank", base::cl_Textsystem::kKeyNotFound, u" leading blank"},
      // Text that is no key as it stands: typed names are UTF-8, older Latin-1 data stays Latin-1.
      {"t\xC3\xBCr \xD0\x96\xE2\x82\xAC", base::cl_Textsystem::kKeyNotFound, u"t\u00FCr \u0416\u20AC"},
      {"t\xFCr", base::cl_Textsystem::kKeyNotFound, u"t\u00FCr"},
  };
  for (const Case& c : english) {
    SCOPED_TRACE(c.text);
    base::UnicodeString out;
    EXPECT_EQ(base::sys::Localize(c.text, out, nullptr, -1), c.result);
    EXPECT_EQ(U(out), c.out);
  }
  // Without a parser Localize appends.
  base::UnicodeString twice;
  base::sys::Localize("#gamem0_464", twice, nullptr, -1);
  base::sys::Localize("#gamem0_464", twice, nullptr, -1);
  EXPECT_EQ(U(twice), u"New GameNew Game");
  EXPECT_STREQ(base::get_string(base::sys::TextsystemGetAttribute("#GAMEM0_464", "tooltip")), "Start over");
  EXPECT_EQ(base::sys::TextsystemGetAttribute("#gamem0_464 New Game", "tooltip"), nullptr);

  ASSERT_TRUE(base::sys::InitTextsystem(Config("german")));
  base::UnicodeString out;
  EXPECT_EQ(base::sys::Localize("#quill1_2 Hi", out, nullptr, -1), 0);
  EXPECT_EQ(U(out), u"Hallo");
  base::sys::CleanupTextsystem();
}

TEST(Textsystem, SpeechPathsBySpeakerAndIndex) {
  WorkTree tree;
  WriteTables(tree);
  ASSERT_TRUE(base::sys::InitTextsystem(Config("english")));
  base::String path = "unchanged";
  ASSERT_TRUE(base::sys::GetSfxPath("Bob", "#Quill1_2 Hello", path, -1));
  EXPECT_EQ(std::string(path.c_str()), "loca/english/speech/Bob/#Quill1_2.ogg");  // key as written
  ASSERT_TRUE(base::sys::GetSfxPath("Carl", "#quill1_2", path, 1));
  EXPECT_EQ(std::string(path.c_str()), "loca/english/speech/Carl/#quill1_2.ogg");
  path = "unchanged";
  EXPECT_FALSE(base::sys::GetSfxPath("bob", "#quill1_2", path, 0));  // speaker names are exact
  EXPECT_FALSE(base::sys::GetSfxPath("Carl", "#quill1_2", path, 0));
  EXPECT_FALSE(base::sys::GetSfxPath("Anna", "#quill1_2", path, 2));
  EXPECT_FALSE(base::sys::GetSfxPath("Anna", "#nokey", path, 0));
  EXPECT_EQ(std::string(path.c_str()), "unchanged");
  base::sys::CleanupTextsystem();
}

class Brackets : public base::i_TextParser {
 public:
  bool Parse(const char16_t* text, base::UnicodeString& out) override {
    out += u"[";
    out += text;
    out += u"]";
    return true;
  }
};

TEST(Textsystem, ParserHookAndFailingTables) {
  WorkTree tree;
  WriteTables(tree);
  ASSERT_TRUE(base::sys::InitTextsystem(Config("english")));
  base::sys::TextsystemSetTextParser(new Brackets);  // owned by the text system from here
  base::UnicodeString out;
  base::sys::Localize("#gamem0_464", out, nullptr, -1);
  base::sys::Localize("#missing Text", out, nullptr, -1);
  EXPECT_EQ(U(out), u"[New Game][#missing Text]");

  // A table without the language, or one that cannot be read, fails the whole build.
  LogCapture log;
  tree.write("loca/other_french.xml", "<Root><Language value=\"german\"/></Root>");
  EXPECT_FALSE(base::sys::InitTextsystem(Config("french")));
  tree.write("loca/other_french.xml", "<Root><Language value=\"french\"");
  EXPECT_FALSE(base::sys::InitTextsystem(Config("french")));
  EXPECT_FALSE(base::sys::InitTextsystem(Config(nullptr)));  // "" matches no language element
  EXPECT_FALSE(base::sys::InitTextsystem(Config("klingon")));  // no table at all: said so
  EXPECT_TRUE(log.contains("ERROR: no text table for language 'klingon' (loca/*klingon.xml)\n"));
  out = u"";
  EXPECT_EQ(base::sys::Localize("#gamem0_464 New Game", out, nullptr, -1), base::cl_Textsystem::kKeyNotFound);
  EXPECT_EQ(U(out), u"#gamem0_464 New Game");
  base::sys::CleanupTextsystem();
}

// The decoder's own verdict decides between UTF-8 and Latin-1 for narrow texts: a U+FFFD that
// well-formed text holds ("T\u00FCr\uFFFD") is no decoding error.
TEST(Utf8Decoder, ReplacesWhatIsNotUtf8AndNeverReadsPastTheEnd) {
  struct Case {
    std::string bytes;
    std::u16string out;
    bool wellFormed;
  } cases[] = {
      {"plain", u"plain", true},
      {"\xC3\xA4", u"\u00E4", true},
      {"\xE2\x82\xAC", u"\u20AC", true},
      {"\xF0\x9F\x98\x80", u"\U0001F600", true},
      {"T\xC3\xBCr\xEF\xBF\xBD", u"T\u00FCr\uFFFD", true},  // a replacement character of its own
      {"\xEF\xBF\xBD", u"\uFFFD", true},
      {"\x80x", u"\uFFFDx", false},              // stray continuation
      {"\xC0\xAF", u"\uFFFD\uFFFD", false},      // overlong
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", false},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},  // a surrogate
      {"\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
      {"\xE2\x82", u"\uFFFD\uFFFD", false},      // cut at the end
      {"\xC3", u"\uFFFD", false},
      {"a\xC3z", u"a\uFFFDz", false},
      {"\xFF\xFE", u"\uFFFD\uFFFD", false},
      {"T\xFCr\xEF\xBF\xBD", u"T\uFFFDr\uFFFD", false},  // Latin-1 beside a real U+FFFD
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    // Exactly the bytes, with no terminator behind them: ASan catches an over-read.
    std::unique_ptr<char[]> exact(new char[c.bytes.size()]);
    std::memcpy(exact.get(), c.bytes.data(), c.bytes.size());
    const int length = static_cast<int>(c.bytes.size());
    base::UnicodeString out;
    EXPECT_EQ(base::DecodeUtf8(exact.get(), length, out), c.wellFormed);
    EXPECT_EQ(U(out), c.out);
    EXPECT_EQ(base::IsUtf8(exact.get(), length), c.wellFormed);
    // A narrow text that is no UTF-8 is taken byte by byte as Latin-1.
    std::u16string latin1;
    for (char b : c.bytes) latin1 += static_cast<char16_t>(static_cast<unsigned char>(b));
    base::UnicodeString narrow;
    base::DecodeNarrowText(exact.get(), length, narrow);
    EXPECT_EQ(U(narrow), c.wellFormed ? c.out : latin1);
  }
}

// A long narrow text that is no UTF-8 is taken as Latin-1 with work that grows with its length:
// growing the result a character at a time copied it again for each, and a 120,000-byte label
// cost seconds and gigabytes whenever it was measured.
TEST(Utf8Decoder, ALongMalformedTextIsDecodedWithWorkInProportionToItsLength) {
#ifdef QUILLANE_SANITIZE
  GTEST_SKIP() << "the sanitizer's allocator keeps the memory statistics still";
#endif
  std::string label(120000, 'a');
  for (size_t i = 0; i < label.size(); i += 7) label[i] = '\xE9';  // Latin-1 e-acute
  InitMemLog();
  EnableMemLog(true);
  base::UnicodeString wide;
  base::DecodeNarrowText(label.data(), static_cast<int>(label.size()), wide);
  const st_MemoryStatistics work = CMemoryMgr::GetStatistics();
  ExitMemLog();
  ASSERT_EQ(wide.size(), static_cast<int>(label.size()));
  EXPECT_EQ(wide[0], u'\u00E9');
  EXPECT_EQ(wide[1], u'a');
  EXPECT_EQ(wide[119999], u'a');
  EXPECT_LE(work.m_bandwidth, 8LL * static_cast<long long>(label.size())) << "bytes allocated";
}

}  // namespace

namespace {

// The bundled data starts with texts in the configured language, and in the other one shipped.
TEST(Textsystem, BundledTablesCoverTheConfiguredLanguage) {
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(QUILLANE_DATA_DIR);
  base::Variant config;
  ASSERT_TRUE(base::xml::read_file(config, "config.xml"));
  const base::Variant* localization = config.get_element("Localization");
  ASSERT_NE(localization, nullptr);
  EXPECT_TRUE(base::sys::InitTextsystem(*localization));
  base::UnicodeString out;
  EXPECT_EQ(base::sys::Localize("#gamem0_464 New Game", out, nullptr, -1), 0);
  base::sys::InitTextsystem(Config("German"));
  out = u"";
  EXPECT_EQ(base::sys::Localize("#gamem0_464 New Game", out, nullptr, -1), 0);
  EXPECT_EQ(U(out), u"Neues Spiel");
  base::sys::CleanupTextsystem();

  base::cl_ResourceMgr mgr;
  EXPECT_TRUE(mgr.AddResources("resources.xml"));
  std::filesystem::current_path(old);
}

}  // namespace
