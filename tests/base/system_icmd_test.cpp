#include <gtest/gtest.h>

#include "base/app/ICMD.h"

namespace {

base::ICMD Key(int key, bool shift = false) {
  base::ICMD c;
  c.key = static_cast<uint8_t>(key);
  c.modifiers = shift ? base::ICMD::MOD_SHIFT : 0;
  return c;
}

base::ICMD Scan(int scan, bool shift = false) {
  base::ICMD c = Key(0, shift);
  c.scan = static_cast<uint8_t>(scan);
  return c;
}

TEST(ICMD, CharactersOfKeyCodesOnTheGermanLayout) {
  struct {
    int key;
    bool shift;
    int expected;
  } cases[] = {
      {'3', true, 0xA7}, {'0', true, '='},  {'7', true, '/'}, {'A', false, 'a'}, {'A', true, 'A'},
      {9, false, 0},     {0xDF, true, '?'}, {0xDF, false, 0}, {0xC4, false, 0xE4}, {0xDC, false, 0xFC},
      {' ', false, ' '}, {' ', true, 0},    {162, false, '2'}, {165, true, '%'},  {'+', false, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<uint8_t>(Key(c.key, c.shift).GetChar()), c.expected) << c.key << (c.shift ? " shifted" : "");
  }
  EXPECT_EQ(Key(169).GetKey(), '9');
  EXPECT_EQ(Key(170).GetKey(), 170);
}

TEST(ICMD, UnicodeCharactersWithDeadKeys) {
  EXPECT_EQ(Scan(0x15).GetUnicodeChar(), u'z');  // German layout: Z where others have Y
  EXPECT_EQ(Scan(0x1A, true).GetUnicodeChar(), u'\u00DC');
  EXPECT_EQ(Scan(0x04, true).GetUnicodeChar(), u'\u00A7');
  EXPECT_EQ(Scan(0x7F).GetUnicodeChar(), 0);

  // '^' then 'e' on the same record gives e with circumflex; the accent is used up.
  base::ICMD cmd = Scan(0x29);
  EXPECT_EQ(cmd.GetUnicodeChar(), 0);
  EXPECT_EQ(cmd.accent, 0x0302);
  cmd.scan = 0x12;
  EXPECT_EQ(cmd.GetUnicodeChar(), u'\u00EA');
  EXPECT_EQ(cmd.accent, 0);
  EXPECT_EQ(cmd.GetUnicodeChar(), u'e');

  // Shift+acute key is the grave accent; a letter without a composed form stays as it is.
  cmd = Scan(0x0D, true);
  cmd.GetUnicodeChar();
  cmd.scan = 0x1E;
  cmd.modifiers = base::ICMD::MOD_SHIFT;
  EXPECT_EQ(cmd.GetUnicodeChar(), u'\u00C0');
  cmd = Scan(0x0D);
  cmd.GetUnicodeChar();
  cmd.scan = 0x22;  // g: no g with acute in the table
  EXPECT_EQ(cmd.GetUnicodeChar(), u'g');
}

}  // namespace
