#include "Collation.h"

#include "Utf8.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>

using namespace vintrel;

namespace {

// Simple case folding of every code point, as the collation does it.
std::u16string TestFolded(const char* text) {
    std::u16string units;
    const std::string_view bytes(text);
    for (size_t pos = 0; pos < bytes.size();) {
        const char32_t c = NextCodePoint(bytes, pos);
        const char32_t folded = c >= kRawByteBase
                                    ? 0xDC00 + (c - kRawByteBase)
                                    : u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT);
        if (folded < 0x10000) {
            units += static_cast<char16_t>(folded);
        } else {
            units += static_cast<char16_t>(0xD800 + ((folded - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((folded - 0x10000) & 0x3FF));
        }
    }
    return units;
}

} // namespace

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

TEST(Collation, OnlyLetterCaseIsIgnored) {
    for (const char* locale : {"", "en_US", "ja_JP"}) {
        const Collation c(locale);
        // Full-width letters and ligatures are other characters, not other cases.
        EXPECT_FALSE(c.equal(".txt", ".\xEF\xBD\x94\xEF\xBD\x98\xEF\xBD\x94")) << locale;
        EXPECT_FALSE(c.equal(".fi", ".\xEF\xAC\x81")) << locale;
        EXPECT_FALSE(c.equal(".ss", ".\xC3\x9F")) << locale;
        EXPECT_TRUE(c.equal(".\xEF\xBC\xB4XT", ".\xEF\xBD\x94xt")) << locale; // full-width T, t
        EXPECT_TRUE(c.equal(".\xCE\xA3", ".\xCF\x83")) << locale;             // Greek sigma
        EXPECT_NE(c.compare(".\xEF\xAC\x81", ".fi"), 0) << locale;
        EXPECT_TRUE(c.equal(".\xC3\xA9", ".e\xCC\x81")) << locale; // é, e + U+0301
    }
}

TEST(Collation, AnUndecodableByteIsNoCharacter) {
    const Collation c("");
    // Byte 0x80 against U+F780 (once the stand-in for that byte) and U+DC80 written as
    // UTF-8 (which is not UTF-8 either).
    EXPECT_NE(c.sortKey("a.\x80"), c.sortKey("a.\xEF\x9E\x80"));
    EXPECT_FALSE(c.equal("a.\x80", "a.\xEF\x9E\x80"));
    EXPECT_NE(c.sortKey("a.\x80"), c.sortKey("a.\xED\xB2\x80"));
}

TEST(Collation, EqualityKeysAgreeWithIdenticalStrength) {
    const char* texts[] = {".txt",
                           ".TXT",
                           ".Txt",
                           ".\xEF\xBD\x94xt",
                           ".\xC3\xA9",
                           ".e\xCC\x81",
                           ".\xC3\x89",
                           ".E\xCC\x81",
                           ".\xE2\x84\xAA",
                           ".k",
                           ".K",
                           ".\xC3\x9F",
                           ".ss",
                           ".\xEF\xAC\x81",
                           ".fi",
                           ".\x80",
                           ".\xEF\x9E\x80",
                           ".\xCE\xA3",
                           ".\xCF\x82",
                           ".\xCF\x83",
                           "",
                           ".",
                           ".a\xCC\xA3\xCC\x81",
                           ".a\xCC\x81\xCC\xA3",
                           ".\xF0\x90\x90\x80",
                           ".\xF0\x90\x90\xA8"};
    for (const char* locale : {"", "de_DE", "ja_JP", "tr_TR"}) {
        // Equal at identical strength, where nothing but case (folded) is ignored.
        const auto identical = [&](const char* text) {
            const std::u16string folded = TestFolded(text);
            UErrorCode status = U_ZERO_ERROR;
            UCollator* collator = ucol_open(locale, &status);
            ucol_setStrength(collator, UCOL_IDENTICAL);
            ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
            uint8_t key[512];
            const int32_t length = ucol_getSortKey(collator, folded.data(),
                                                   static_cast<int32_t>(folded.size()), key, 512);
            ucol_close(collator);
            return std::string(reinterpret_cast<char*>(key), static_cast<size_t>(length));
        };
        const Collation c(locale);
        for (const char* a : texts) {
            EXPECT_EQ(c.compare(a, a), 0);
            for (const char* b : texts) {
                EXPECT_EQ(Collation::equalityKey(a) == Collation::equalityKey(b),
                          identical(a) == identical(b))
                    << locale << ": " << a << " / " << b;
            }
        }
    }
}
