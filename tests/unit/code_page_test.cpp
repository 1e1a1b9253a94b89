#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace corvantis {
namespace {

TEST(CodePageTest, ConvertsBothWaysIn936) {
  const std::string bytes = "QQ\xD3\xCE\xCF\xB7 \x80";
  const Text text = u"QQ游戏 €";
  EXPECT_EQ(EncodeCodePage(text, kCodePage936), bytes);
  EXPECT_EQ(DecodeCodePage(bytes, kCodePage936), text);
  EXPECT_EQ(EncodeCodePage(u"", kCodePage936), "");
  EXPECT_EQ(DecodeCodePage("", kCodePage936), u"");
}

TEST(CodePageTest, HonoursTheCodePageAsked) {
  EXPECT_EQ(DecodeCodePage("\x80\xE9", 1252), u"€é");
  EXPECT_EQ(EncodeCodePage(u"€é", 1252), "\x80\xE9");
  // Three bytes a character: more than the first guess of the output size.
  EXPECT_EQ(EncodeCodePage(u"中文中文", 65001),
            "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87");
}

TEST(CodePageTest, ReplacesEachBadSequenceAndGoesOn) {
  // A lead byte whose next byte cannot be a trail byte stands alone; that
  // byte is read on its own.
  EXPECT_EQ(DecodeCodePage("\xD6"
                           "0\xD6\xD0",
                           kCodePage936),
            u"\uFFFD0中");
  EXPECT_EQ(DecodeCodePage("a\x81\x7F"
                           "b",
                           kCodePage936),
            u"a\uFFFD\x7F"
            u"b");
  // A lead byte cut off at the end.
  EXPECT_EQ(DecodeCodePage("\xD6\xD0\xD6", kCodePage936), u"中\uFFFD");
  // 0xFF is no character and no lead byte.
  EXPECT_EQ(DecodeCodePage("\xFF"
                           "a\xFF",
                           kCodePage936),
            u"\uFFFD"
            u"a\uFFFD");
}

TEST(CodePageTest, ManyBadSequencesKeepOneReplacementEach) {
  std::string bytes;
  Text expected;
  for (int i = 0; i < 1000; ++i) {
    bytes += "\xD6\xD0\xD6-";
    expected += u"中\uFFFD-";
  }
  bytes += "x";
  expected += u"x";
  EXPECT_EQ(DecodeCodePage(bytes, kCodePage936), expected);
}

TEST(CodePageTest, WritesQuestionMarkForEachUnrepresentableCharacter) {
  // Hangul, a letter 936 lacks (no best-fit "A"), a surrogate pair, and
  // lone surrogates.
  EXPECT_EQ(EncodeCodePage(u"a한bÀc😀d", kCodePage936), "a?b?c?d");
  const Text lone_surrogates = {u'x', 0xD83D, u'y', 0xDE00, u'z', 0xD83D};
  EXPECT_EQ(EncodeCodePage(lone_surrogates, kCodePage936), "x?y?z?");
  EXPECT_EQ(EncodeCodePage(u"é中", kCodePage936), "\xA8\xA6\xD6\xD0");
}

TEST(CodePageTest, UnknownCodePageConvertsNothing) {
  EXPECT_EQ(DecodeCodePage("ab", 12345), u"\uFFFD\uFFFD");
  EXPECT_EQ(EncodeCodePage(u"ab", 12345), "??");
}

}  // namespace
}  // namespace corvantis
