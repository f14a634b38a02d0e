#include "Collation.h"

#include <gtest/gtest.h>

using namespace vintrel;

TEST(Collation, CLocaleNamesTakeTheRootCollation) {
    EXPECT_EQ(Collation::IcuLocaleFromPosix("C"), "");
    EXPECT_EQ(Collation::IcuLocaleFromPosix("C.UTF-8"), "");
    EXPECT_EQ(Collation::IcuLocaleFromPosix("POSIX"), "");
    EXPECT_EQ(Collation::IcuLocaleFromPosix("de_DE.UTF-8@euro"), "de_DE");
}

TEST(Collation, LetterCaseIsIgnoredAccentsAreNot) {
    for (const char* locale : {"", "en_US", "de_DE", "tr_TR"}) {
        const Collation c(locale);
        EXPECT_TRUE(c.equal(".TXT", ".txt")) << locale;
        EXPECT_EQ(c.sortKey(".Jpg"), c.sortKey(".jpg")) << locale;
        EXPECT_FALSE(c.equal(".e", ".\xC3\xA9")) << locale;
        EXPECT_EQ(c.compare("a.txt", "B.txt"), -1) << locale;
        EXPECT_EQ(c.compare("b", "A"), 1) << locale;
    }
}

TEST(Collation, NonAsciiCaseFoldsAndUndecodableBytesStayApart) {
    const Collation c("");
    EXPECT_EQ(c.sortKey(".\xC3\x84"
                        "BC"),
              c.sortKey(".\xC3\xA4"
                        "bc"));
    EXPECT_NE(c.sortKey(".\xFF"), c.sortKey(".\xFE"));
    EXPECT_NE(c.sortKey(".\xFF"), c.sortKey(".\xEF\xBF\xBD"));
}
