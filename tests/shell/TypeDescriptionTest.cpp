#include "TypeDescription.h"

#include <gtest/gtest.h>
#include <QMimeDatabase>

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
    EXPECT_EQ(FallbackTypeDescription(".a-b_9\x01"), "A-B_9\x01 File");
    EXPECT_EQ(FallbackTypeDescription("." + std::string(90, 'q')), std::string(80, 'Q'));
    EXPECT_EQ(FallbackTypeDescription("." + std::string(76, 'q')), std::string(76, 'Q') + " Fil");
}

TEST(TypeDescription, AgreesWithTheMimeDatabaseOnEveryKindOfGlob) {
    // Simple globs, globs with wildcards and classes ("*.[1-9]", "*~", "*,v", "*%"), names
    // the database does not know, in any letter case.
    const QMimeDatabase database;
    for (const char* type : {".txt",   ".JPG",     ".Tar",     ".gz",      ".1",   ".7",   ".anim3",
                             ".animj", ".c~",      ".c,v",     ".x%",      ".so",  ".pdf", ".md",
                             ".zqx",   ".x00017q", ".desktop", ".DeskTop", ".qml", ".h++", ".",
                             ".so.1",  ".anim",    ".v",       ".vdr",     ".[1]", ".*",   ".~"}) {
        const QList<QMimeType> types =
            database.mimeTypesForFileName(QStringLiteral("x") + QString::fromUtf8(type));
        const std::string expected = !types.isEmpty() && !types.first().comment().isEmpty()
                                         ? types.first().comment().left(80).toStdString()
                                         : FallbackTypeDescription(type);
        EXPECT_EQ(GetTypeDescription(type), expected) << type;
    }
}
