#include "Wildcard.h"

#include <gtest/gtest.h>

using namespace vintrel;

TEST(Wildcard, StarsQuestionMarksAndLetterCase) {
    EXPECT_TRUE(PathMatchSpec("report.txt", "*.txt"));
    EXPECT_TRUE(PathMatchSpec("REPORT.TXT", "rep*.t?t"));
    EXPECT_FALSE(PathMatchSpec("report.txt", "rep?.txt"));
    EXPECT_TRUE(PathMatchSpec("a", "*a*"));
    EXPECT_FALSE(PathMatchSpec("ab", "?"));
    EXPECT_TRUE(PathMatchSpec("", "*"));
    // Letter case is folded beyond ASCII, "?" stands for one character, not one byte.
    EXPECT_TRUE(PathMatchSpec(".\xC3\x84"
                              "BC",
                              ".\xC3\xA4"
                              "bc"));
    EXPECT_TRUE(PathMatchSpec("\xC3\xA9t\xC3\xA9", "?t?"));
}

TEST(Wildcard, ExtensionMasksAsTheTypeFilterUsesThem) {
    EXPECT_FALSE(PathMatchSpec(".txt", "txt"));
    EXPECT_TRUE(PathMatchSpec(".txt", ".txt"));
    EXPECT_TRUE(PathMatchSpec(".txt", "*.txt"));
    EXPECT_TRUE(PathMatchSpec(".doc", ".txt; *.doc"));
    EXPECT_FALSE(PathMatchSpec(".doc", ".txt;*.doc ")); // trailing blanks are not skipped
}

TEST(Wildcard, PatternListsBlanksAndEmptyPatterns) {
    EXPECT_FALSE(PathMatchSpec("", "")); // no pattern at all matches nothing
    EXPECT_FALSE(PathMatchSpec("a", ""));
    EXPECT_TRUE(PathMatchSpec("", " ")); // one blank: only the empty subject
    EXPECT_FALSE(PathMatchSpec(".txt", " "));
    EXPECT_TRUE(PathMatchSpec("b", "a;b"));
    EXPECT_FALSE(PathMatchSpec("", "a;"));       // a final ";" opens no empty pattern
    EXPECT_TRUE(PathMatchSpec("", "a;;b"));      // an inner one does
    EXPECT_TRUE(PathMatchSpec("README", "*.*")); // "*.*" alone matches every name
    EXPECT_FALSE(PathMatchSpec("README", "*.*;x"));
}

TEST(Wildcard, BytesThatAreNotUtf8MatchOnlyThemselvesOrWildcards) {
    EXPECT_TRUE(PathMatchSpec("bad\xFF.txt", "bad?.txt"));
    EXPECT_TRUE(PathMatchSpec("bad\xFF.txt", "bad\xFF.TXT"));
    EXPECT_FALSE(PathMatchSpec("bad\xFF.txt", "bad\xFE.txt"));
    // The shown form of such a name finds it.
    EXPECT_TRUE(PathMatchSpec(".\xFF\xFE", ".\xEF\xBF\xBD\xEF\xBF\xBD"));
    EXPECT_FALSE(PathMatchSpec(".ab", ".\xEF\xBF\xBD\xEF\xBF\xBD"));
}

TEST(Wildcard, ManyStarsDoNotBacktrackForever) {
    const std::string subject(5000, 'a');
    EXPECT_FALSE(PathMatchSpec(subject, "*a*a*a*a*a*a*a*a*a*a*b"));
}
