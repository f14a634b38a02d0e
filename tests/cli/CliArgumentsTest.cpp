#include "CliArguments.h"

#include <gtest/gtest.h>

using namespace vintrel;

namespace {

CliArguments Parse(std::vector<std::string> args) {
    return ParseCliArguments(args);
}

void ExpectUsageError(std::vector<std::string> args) {
    EXPECT_THROW(ParseCliArguments(args), UsageError) << args.front();
}

} // namespace

TEST(CliArguments, NoFilterCountsTypesAnyFilterListsFiles) {
    EXPECT_EQ(Parse({"/data"}).mode.kind, ScanMode::Kind::Types);
    EXPECT_EQ(Parse({"--include-hidden", "--no-subfolders", "/data"}).mode.kind,
              ScanMode::Kind::Types);
    const CliArguments list = Parse({"--list", "/data"});
    EXPECT_EQ(list.mode.kind, ScanMode::Kind::Filtered);
    EXPECT_TRUE(list.options.attribsChk);
    EXPECT_FALSE(list.options.readChk);
    EXPECT_EQ(Parse({"/data", "--type-mask", ".txt"}).mode.kind, ScanMode::Kind::Filtered);
    EXPECT_EQ(Parse({"--type", "", "/data"}).mode.type, "");
    EXPECT_EQ(Parse({"--type=.TXT", "/data"}).mode.type, ".TXT");
    // A type is a type, whatever its text: never another mode.
    for (const char* type : {"+", "x", ".*"}) {
        const CliArguments typed = Parse({"--type", type, "/data"});
        EXPECT_EQ(typed.mode.kind, ScanMode::Kind::OfType);
        EXPECT_EQ(typed.mode.type, type);
    }
}

TEST(CliArguments, ComparisonsDatesAndSizes) {
    const CliArguments a = Parse({"--created", "before:2021-02-28", "--size=less:1.5", "/d"});
    EXPECT_TRUE(a.options.fileCreated);
    EXPECT_EQ(a.options.fileCreatedIndex, 2);
    CivilTime day;
    day.year = 2021, day.month = 2, day.day = 28;
    EXPECT_DOUBLE_EQ(a.options.createDate, EncodeLocalDateTime(day));
    EXPECT_EQ(a.options.fileSizeIndex, 2);
    EXPECT_DOUBLE_EQ(a.options.fileSizeKb, 1.5);
    const CliArguments b = Parse({"--modified", "equal:2024-02-29", "--attributes=ra", "/d"});
    EXPECT_EQ(b.options.fileModifiedIndex, 1);
    EXPECT_TRUE(b.options.readChk && b.options.archiveChk);
    EXPECT_FALSE(b.options.excludeHidden == false);
    EXPECT_FALSE(Parse({"--include-hidden", "--include-system", "/d"}).options.excludeSystem);
}

TEST(CliArguments, BadArgumentsAreUsageErrors) {
    ExpectUsageError({"--bogus", "/d"});
    ExpectUsageError({"--created", "after:2021-02-30", "/d"});
    ExpectUsageError({"--created", "sometime:2021-02-01", "/d"});
    ExpectUsageError({"--modified", "after:21-2-1", "/d"});
    ExpectUsageError({"--size", "greater:lots", "/d"});
    ExpectUsageError({"--size", "greater:-1", "/d"});
    ExpectUsageError({"--attributes=x", "/d"});
    ExpectUsageError({"--list"});
    ExpectUsageError({"/a", "/b"});
    ExpectUsageError({"/d", "--type-mask"});
    ExpectUsageError({"--list=yes", "/d"});
}

TEST(CliArguments, FoldersMayLookLikeOptionsAfterTheEndMark) {
    EXPECT_EQ(Parse({"--", "--list"}).folder, "--list");
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_TRUE(Parse({"--version", "--bogus"}).version); // answered before anything else
}

TEST(CliArguments, SizesTakeThePointOrTheLocalesSeparator) {
    EXPECT_DOUBLE_EQ(ParseCliArguments({"--size", "less:1.5", "/d"}, ",").options.fileSizeKb, 1.5);
    EXPECT_DOUBLE_EQ(ParseCliArguments({"--size", "less:1,5", "/d"}, ",").options.fileSizeKb, 1.5);
    EXPECT_THROW(ParseCliArguments({"--size", "less:1,5", "/d"}, "."), UsageError);
}

TEST(CliArguments, TheUsageTextSaysWhatTypeSizeAndExcludeTake) {
    const std::string usage = kUsage;
    EXPECT_EQ(usage.find("as the type table shows it"), std::string::npos);
    EXPECT_NE(usage.find("exactly the files the type table counts"), std::string::npos);
    EXPECT_NE(usage.find("locale's decimal"), std::string::npos);
    EXPECT_NE(usage.find("a leading \"/\" anchors"), std::string::npos);
    // Each mask of an --exclude stands on its own, its slashes judged as README says.
    const CliArguments parsed = Parse({"--exclude", "/a/b/; c/;/d", "/data"});
    ASSERT_EQ(parsed.options.excludeFolders.size(), 3u);
    EXPECT_EQ(parsed.options.excludeFolders[0].pattern.text(), "a/b");
    EXPECT_TRUE(parsed.options.excludeFolders[0].byPath);
    EXPECT_EQ(parsed.options.excludeFolders[1].pattern.text(), "c");
    EXPECT_FALSE(parsed.options.excludeFolders[1].byPath);
    EXPECT_TRUE(parsed.options.excludeFolders[2].byPath); // only FOLDER's own d
    ExpectUsageError({"--exclude", "/", "/data"});
}
