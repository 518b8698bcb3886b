#include "cp437.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <set>
#include <string>

namespace {

TEST(Cp437Table, EveryByteHasItsOwnCharacter) {
  const auto& table = Cp437Table();
  std::set<char16_t> seen(table.begin(), table.end());
  EXPECT_EQ(seen.size(), 256u);
  for (int b = 1; b < 256; ++b) {
    const char16_t c = table[static_cast<std::size_t>(b)];
    // Nothing but NUL may come out as a control character or a surrogate.
    EXPECT_GE(c, 0x20) << "byte " << b;
    EXPECT_FALSE(c >= 0x7F && c < 0xA0) << "byte " << b;
    EXPECT_FALSE(c >= 0xD800 && c < 0xE000) << "byte " << b;
  }
}

TEST(Cp437Table, PrintableAsciiIsItself) {
  for (int b = 0x20; b < 0x7F; ++b) EXPECT_EQ(Cp437Table()[static_cast<std::size_t>(b)], b);
}

TEST(Cp437Table, ControlRangeShowsTheDosGraphics) {
  const auto& t = Cp437Table();
  EXPECT_EQ(t[0x01], u'\u263A');  // white smiley
  EXPECT_EQ(t[0x03], u'\u2665');  // heart
  EXPECT_EQ(t[0x09], u'\u25CB');  // circle: the tab byte's picture
  EXPECT_EQ(t[0x0A], u'\u25D9');  // the line feed byte's picture
  EXPECT_EQ(t[0x0D], u'\u266A');  // note: the carriage return byte's picture
  EXPECT_EQ(t[0x1A], u'\u2192');  // right arrow
  EXPECT_EQ(t[0x1F], u'\u25BC');
  EXPECT_EQ(t[0x7F], u'\u2302');  // house
}

TEST(Cp437Table, ShadesLinesAndBlocksAreBoxDrawingNotLetters) {
  const auto& t = Cp437Table();
  for (int b = 0xB0; b <= 0xDF; ++b) {
    const char16_t c = t[static_cast<std::size_t>(b)];
    EXPECT_TRUE(c >= 0x2500 && c <= 0x259F) << "byte " << b << " maps to " << int(c);
  }
  EXPECT_EQ(t[0xB0], u'\u2591');
  EXPECT_EQ(t[0xC4], u'\u2500');
  EXPECT_EQ(t[0xC9], u'\u2554');
  EXPECT_EQ(t[0xDB], u'\u2588');
  EXPECT_EQ(t[0xDF], u'\u2580');
}

// The C library's own code page 437 converter as an independent reference for the
// upper half (it treats the lower half as plain ASCII control codes).
TEST(Cp437Table, UpperHalfAgreesWithTheSystemConverter) {
  iconv_t cd = iconv_open("UTF-16LE", "IBM437");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no IBM437 converter installed";
  for (int b = 0x80; b < 0x100; ++b) {
    char in = static_cast<char>(b);
    char out[4] = {};
    char* inp = &in;
    char* outp = out;
    size_t inLeft = 1, outLeft = sizeof out;
    ASSERT_NE(iconv(cd, &inp, &inLeft, &outp, &outLeft), static_cast<size_t>(-1)) << b;
    const char16_t expected = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                    (static_cast<unsigned char>(out[1]) << 8));
    EXPECT_EQ(Cp437Table()[static_cast<std::size_t>(b)], expected) << "byte " << b;
  }
  iconv_close(cd);
}

TEST(LineBreaks, EveryFormEndsLinesAsCrLf) {
  EXPECT_EQ(NormaliseLineBreaks(""), "");
  EXPECT_EQ(NormaliseLineBreaks("a\r\nb\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(NormaliseLineBreaks("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(NormaliseLineBreaks("a\rb\r"), "a\r\nb\r\n");
  EXPECT_EQ(NormaliseLineBreaks("a\n\rb"), "a\r\n\r\nb");  // LF CR: two lines
  EXPECT_EQ(NormaliseLineBreaks("\r\r\n\n"), "\r\n\r\n\r\n");
  EXPECT_EQ(NormaliseLineBreaks("\n"), "\r\n");
  EXPECT_EQ(NormaliseLineBreaks("\r"), "\r\n");
  EXPECT_EQ(NormaliseLineBreaks("no break"), "no break");
  // Already normal text is a fixed point.
  const std::string once = NormaliseLineBreaks("x\ry\nz\n\r\r\n");
  EXPECT_EQ(NormaliseLineBreaks(once), once);
}

TEST(DisplayText, LineBreaksBecomeNewlinesAndBytesBecomeCharacters) {
  EXPECT_EQ(Cp437ToDisplayText("a\r\nb\tc"), QString::fromUtf16(u"a\nb\tc"));
  EXPECT_EQ(Cp437ToDisplayText("\xC9\xCD\xBB\r\n\xC8\xCD\xBC"),
            QString::fromUtf16(u"\u2554\u2550\u2557\n\u255A\u2550\u255D"));
  EXPECT_EQ(Cp437ToDisplayText("\x01\x7F\xFF"), QString::fromUtf16(u"\u263A\u2302\u00A0"));
  EXPECT_EQ(Cp437ToDisplayText("\r\n\r\n").count(QChar('\n')), 2);
  EXPECT_TRUE(Cp437ToDisplayText("").isEmpty());
}

}  // namespace
