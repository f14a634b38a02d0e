#include "TypeDescription.h"

#include <gtest/gtest.h>

using namespace vintrel;

TEST(TypeDescription, KnownTypesTakeTheMimeComment) {
    const std::string text = GetTypeDescription(".txt");
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text, "TXT File");
    EXPECT_EQ(GetTypeDescription(".TXT"), text); // the database ignores letter case
    EXPECT_LE(text.size(), 80u * 4);
}

TEST(TypeDescription, UnknownTypesFallBackToTheirName) {
    EXPECT_EQ(GetTypeDescription(".zqx"), "ZQX File");
    EXPECT_EQ(GetTypeDescription(".stra\xC3\x9F"
                                 "e"),
              "STRASSE File");
    EXPECT_EQ(GetTypeDescription(""), "File");
    EXPECT_EQ(GetTypeDescription("."), "File");
    EXPECT_EQ(GetTypeDescription(".\xFF"), "\xEF\xBF\xBD File");
    EXPECT_EQ(FallbackTypeDescription(".zqx"), "ZQX File");
}
