#include "companions/unscramble.h"

#include <gtest/gtest.h>

#include <string>

namespace corvantis {
namespace {

TEST(UnscrambleTest, AddsTheShiftOfEachPosition) {
  EXPECT_EQ(UnscrambleMessage(u""), u"");
  EXPECT_EQ(UnscrambleMessage(u"abc"), u"gik");
  // Position 11 is shifted by 5, position 12 by 6 again.
  EXPECT_EQ(UnscrambleMessage(Text(12, u'a')), u"ghijklmnopfg");
  // 0xD6D0 + 6 = 0xD6D6.
  EXPECT_EQ(UnscrambleMessage(u"中"), u"种");
  EXPECT_EQ(UnscrambleMessage(u"x中"), u"~肿");  // 0xD6D0 + 7
  // A single byte may become the one single-byte character above 0x7F.
  EXPECT_EQ(UnscrambleMessage(u"z"), u"€");
}

TEST(UnscrambleTest, LeavesTheInputAlone) {
  const Text stored = u"a中b";
  const Text copy = stored;
  UnscrambleMessage(stored);
  EXPECT_EQ(stored, copy);
}

TEST(UnscrambleTest, CodesThatNameNoCharacterGiveReplacement) {
  // A lone lead byte (0x7B + 6 = 0x81).
  EXPECT_EQ(UnscrambleMessage(u"{a"), u"\uFFFDh");
  // 0x80 + 6 = 0x86, another lone lead byte.
  EXPECT_EQ(UnscrambleMessage(u"€"), u"\uFFFD");
  // A trail byte carried into the lead byte: 0xB0FE + 6 = 0xB104.
  EXPECT_EQ(UnscrambleMessage(u"剥a"), u"\uFFFDh");
  // 0xB079 + 6 = 0xB07F, and 0x7F is no trail byte.
  EXPECT_EQ(UnscrambleMessage(u"皔"), u"\uFFFD");
}

TEST(UnscrambleTest, UnrepresentableCharactersCountAsQuestionMarks) {
  // "?" is 0x3F: plus 6 gives "E", plus 7 "F", plus 8 "G".
  const Text lone_surrogate(1, char16_t{0xD83D});
  EXPECT_EQ(UnscrambleMessage(u"한" + lone_surrogate + u"À"), u"EFG");
  // A surrogate pair is two positions.
  EXPECT_EQ(UnscrambleMessage(u"😀"), u"EF");
}

TEST(UnscrambleTest, LongTextsKeepCountingPositions) {
  const Text shown = UnscrambleMessage(Text(40000, u'a'));
  ASSERT_EQ(shown.size(), 40000u);
  // Shifts 14, 15, 5 at positions 32,767 to 32,769; 9 at 40,000.
  EXPECT_EQ(shown.substr(32766, 3), u"opf");
  EXPECT_EQ(shown.back(), u'j');
}

}  // namespace
}  // namespace corvantis
