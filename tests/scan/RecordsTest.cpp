#include "Records.h"

#include <gtest/gtest.h>
#include <random>

using namespace vintrel;

namespace {

FindRecord Entry(std::string_view name, int64_t size = 0) {
    FindRecord r;
    r.name = name;
    r.size = size;
    return r;
}

} // namespace

TEST(Records, ExtensionsAndNameParts) {
    EXPECT_EQ(ExtensionOf("archive.tar.gz"), ".gz");
    EXPECT_EQ(ExtensionOf(".profile"), ".profile");
    EXPECT_EQ(ExtensionOf("name."), ".");
    EXPECT_EQ(ExtensionOf("README"), "");
    EXPECT_EQ(ExtensionOf("/a.d/README"), "");
    EXPECT_EQ(ExtensionOf("c:x.txt"), ".txt"); // ":" is an ordinary character here
    EXPECT_EQ(FileNamePart("/data/sub/x.txt"), "x.txt");
    EXPECT_EQ(FileNamePart("x.txt"), "x.txt");
}

TEST(Records, FileRecordPathsNeverDoubleTheSeparator) {
    EXPECT_EQ(WithTrailingBackslash("/"), "/");
    EXPECT_EQ(WithTrailingBackslash("/data"), "/data/");
    EXPECT_EQ(WithTrailingBackslash(""), "");
    TFileList list;
    EXPECT_EQ(list.append(Entry("x.txt"), "/").FileName, "/x.txt");
    EXPECT_EQ(list.append(Entry("x.txt"), "/data").FileName, "/data/x.txt");
    EXPECT_EQ(list.append(Entry("x\xFF.txt"), "/d\xFE/").FileName, "/d\xFE/x\xFF.txt");
    const std::string longFolder(3 << 20, 'f'); // longer than a storage block
    EXPECT_EQ(list.append(Entry("y"), longFolder).FileName.size(), longFolder.size() + 2);
    EXPECT_EQ(list[0].FileName, "/x.txt"); // earlier paths stay where they are
    EXPECT_EQ(list.size(), 4u);
    list.clear();
    EXPECT_TRUE(list.empty());
}

TEST(Records, TypeRecordsCountAndAddSizesBeyond32Bits) {
    const Collation collation("");
    TDataRec record(Entry("A.TXT", 5'000'000'000));
    EXPECT_EQ(record.Extension, ".TXT");
    EXPECT_EQ(record.Count, 1);
    record.AddFile(Entry("b.txt", 5'000'000'000), collation);
    EXPECT_EQ(record.Count, 2);
    EXPECT_EQ(record.TotalSize, 10'000'000'000);
    record.AddFile(Entry("c.doc", 7), collation); // another type: unchanged
    EXPECT_EQ(record.Count, 2);
}

TEST(Records, IndexFindsTypesRegardlessOfLetterCase) {
    const Collation collation("");
    TDataIndexList index(collation);
    EXPECT_EQ(index.IndexOfType(""), -1);
    EXPECT_EQ(index.add(".TXT", 0), 0);
    EXPECT_EQ(index.add("", 1), 1);
    EXPECT_EQ(index.IndexOfType(".txt"), 0);
    EXPECT_EQ(index.IndexOfType(".TXT"), 0);
    EXPECT_EQ(index.IndexOfType(""), 1);
    EXPECT_EQ(index.IndexOfType(".doc"), -1);
    index.clear();
    EXPECT_EQ(index.IndexOfType(".txt"), -1);
    EXPECT_EQ(index.add(".new", 0), 0);
}

// The hashed index must answer exactly what a linear search answers.
TEST(Records, IndexAgreesWithALinearSearch) {
    const Collation collation("de_DE");
    const std::vector<std::string> pool = {".txt",
                                           ".TXT",
                                           ".Txt",
                                           ".\xC3\xA4",
                                           ".\xC3\x84",
                                           ".a",
                                           ".\xC3\xA9",
                                           ".e",
                                           "",
                                           ".",
                                           ".\xFF",
                                           ".\xFE",
                                           ".jpg",
                                           ".JPG",
                                           ".stra\xC3\x9F"
                                           "e",
                                           ".STRASSE",
                                           ".Longer-Than-18-Bytes",
                                           ".longer-than-18-bytes"};
    TDataIndexList index(collation);
    std::vector<std::string> linear;
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        const std::string& type = pool[random() % pool.size()];
        int expected = -1;
        for (size_t j = 0; j < linear.size(); ++j) {
            if (collation.sortKey(linear[j]) == collation.sortKey(type)) {
                expected = static_cast<int>(j);
                break;
            }
        }
        ASSERT_EQ(index.IndexOfType(type), expected) << type;
        if (expected < 0) {
            index.add(type, static_cast<int>(linear.size()));
            linear.push_back(type);
        }
    }
    for (size_t i = 0; i < index.size(); ++i) EXPECT_EQ(index[i].Position, static_cast<int>(i));
}

TEST(Records, ExactTextMapKeepsShortAndLongKeysThroughGrowth) {
    ExactTextMap map;
    for (int i = 0; i < 10'000; ++i) {
        const std::string key =
            i % 3 ? ".k" + std::to_string(i) : ".a-rather-long-extension-" + std::to_string(i);
        map.insert(key, i);
        map.insert(key, -5); // present already: unchanged
    }
    EXPECT_EQ(map.size(), 10'000u);
    for (int i = 0; i < 10'000; ++i) {
        const std::string key =
            i % 3 ? ".k" + std::to_string(i) : ".a-rather-long-extension-" + std::to_string(i);
        ASSERT_EQ(map.find(key), i) << key;
    }
    EXPECT_EQ(map.find(".K1"), -1);
    EXPECT_EQ(map.find(""), -1);
    map.insert("", 7);
    EXPECT_EQ(map.find(""), 7);
    map.clear();
    EXPECT_EQ(map.find(".k1"), -1);
    EXPECT_EQ(map.size(), 0u);
}

TEST(Records, AListDrainedHandsEveryRecordInOrderAndEndsEmpty) {
    TFileList list;
    const std::string folder(1000, 'd'); // about three thousand paths to a storage block
    for (int i = 0; i < 10'000; ++i) list.append(Entry("f" + std::to_string(i), i), folder);
    int handed = 0;
    list.drain([&](const TFileRec& record) {
        EXPECT_EQ(record.FileName, folder + "/f" + std::to_string(handed));
        EXPECT_EQ(record.Size, handed);
        return ++handed < 10'000;
    });
    EXPECT_EQ(handed, 10'000);
    EXPECT_TRUE(list.empty());

    for (int i = 0; i < 10'000; ++i) list.append(Entry("g"), folder);
    list.drain([&](const TFileRec&) { return --handed > 5'000; }); // stops part-way
    EXPECT_EQ(handed, 5'000);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.append(Entry("x"), "").FileName, "x"); // and takes new records again
}

TEST(Records, RepeatedLookUpsAnswerAsTheFirstAndNothingOutlivesAClear) {
    const Collation collation("");
    TDataIndexList index(collation);
    const std::vector<std::string> types = {"",          ".a",        ".A",       ".1234567",
                                            ".12345678", ".12345679", ".txt\xFF", ".TXT\xFF"};
    for (int round = 0; round < 3; ++round) {
        for (const std::string& type : types) {
            const int found = index.IndexOfType(type);
            if (round == 0 && found < 0) index.add(type, static_cast<int>(index.size()) * 10);
        }
    }
    EXPECT_EQ(index.IndexOfType(""), 0);
    EXPECT_EQ(index.IndexOfType(".a"), 10);
    EXPECT_EQ(index.IndexOfType(".A"), 10); // letter case only
    EXPECT_EQ(index.IndexOfType(".1234567"), 20);
    EXPECT_EQ(index.IndexOfType(".12345678"), 30);
    EXPECT_EQ(index.IndexOfType(".12345679"), 40);
    EXPECT_EQ(index.IndexOfType(".txt\xFF"), 50);
    EXPECT_EQ(index.IndexOfType(".TXT\xFF"), 50);
    EXPECT_EQ(index.IndexOfType(".b"), -1);
    index.clear();
    for (const std::string& type : types) EXPECT_EQ(index.IndexOfType(type), -1) << type;
}
