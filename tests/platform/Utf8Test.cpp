#include "Utf8.h"

#include <gtest/gtest.h>

using namespace vintrel;

TEST(Utf8, DisplayTextReplacesEachBadByteAndKeepsValidText) {
    EXPECT_EQ(DisplayText("plain.txt"), "plain.txt");
    EXPECT_EQ(DisplayText("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(DisplayText("a\xFF"
                          "b"),
              "a\xEF\xBF\xBD"
              "b");
    // Overlong form, lone surrogate and a sequence cut short are not UTF-8.
    EXPECT_EQ(DisplayText("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
    EXPECT_EQ(DisplayText("x\xE2\x82"), "x\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8, RawBytesStayDistinctForCollationButNotForDisplay) {
    EXPECT_NE(ToUtf16Keeping("\xFF"), ToUtf16Keeping("\xFE"));
    EXPECT_EQ(ToUtf16("\xFF"), ToUtf16("\xFE"));
    EXPECT_EQ(ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(Utf8, Utf16LittleEndianWithSurrogatePairs) {
    std::string out;
    AppendUtf16LE(out, "A\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(out, std::string("A\0\xE9\0\x3D\xD8\x00\xDE", 8));
}

TEST(Utf8, ABadOrWideByteIsFoundAtAnyPlaceInALongName) {
    for (size_t at = 0; at < 24; ++at) {
        std::string name(24, 'a');
        name[at] = '\xFF';
        EXPECT_FALSE(IsValidUtf8(name)) << at;
        name.replace(at, 1, "\xC3\xA9");
        EXPECT_TRUE(IsValidUtf8(name)) << at;
        name.erase(at + 1, 1); // a sequence cut short
        EXPECT_FALSE(IsValidUtf8(name)) << at;
    }
}
