#include "DateTime.h"
#include "FileAttributes.h"
#include "RecordingHost.h"
#include "TempTree.h"
#include "ZoneGuard.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vintrel;
using namespace vintrel::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

// The names of one folder in the order the file system lists them.
std::vector<std::string> ListingOrder(const std::string& folder) {
    FolderReader reader;
    OpenFolder open;
    FolderBatch batch;
    reader.openRoot(folder, open);
    reader.read(open, batch);
    std::vector<std::string> names;
    for (size_t i = 0; i < batch.size(); ++i) {
        if (!batch[i].isFolder()) names.emplace_back(batch[i].name);
    }
    return names;
}

} // namespace

TEST(FolderScanner, VisitsEveryEntryIncludingDotAndDotDot) {
    TempTree tree;
    tree.file("a");
    tree.file("b");
    tree.file("c");
    ScanRig rig;
    rig.scan(tree.root(), ScanMode::Types());
    EXPECT_EQ(rig.state.VisitedCount, 5);
    EXPECT_EQ(rig.host.pumpCount, 5);
    EXPECT_EQ(rig.state.TypedFileCount, 3);
    EXPECT_EQ(rig.host.lastTypedFileCount, 3);
    EXPECT_EQ(rig.host.lastVisited, 5);
    EXPECT_EQ(rig.host.lastListed, 0u); // N/0 in the type statistics
}

TEST(FolderScanner, TypesGroupIgnoringCaseInTheOrderFirstMet) {
    TempTree tree;
    tree.file("a.TXT", "1234");
    tree.file("b.txt", "12");
    tree.file("c.doc");
    tree.file("README");
    tree.file("name.");
    tree.file("x.\xC3\x84"
              "BC");
    tree.file("y.\xC3\xA4"
              "bc");
    tree.file("z\xFF.txt", "1");
    ScanRig rig;
    rig.scan(tree.root(), ScanMode::Types());

    std::vector<std::string> expected;
    for (const std::string& name : ListingOrder(tree.root())) {
        const std::string type(ExtensionOf(name));
        const bool known = std::any_of(expected.begin(), expected.end(), [&](const std::string& t) {
            return rig.collation.sortKey(t) == rig.collation.sortKey(type);
        });
        if (!known) expected.push_back(type);
    }
    EXPECT_EQ(rig.types(), expected);
    ASSERT_EQ(rig.lists.TypeList.size(), 5u);
    for (size_t i = 0; i < rig.lists.TypeIndex.size(); ++i) {
        EXPECT_EQ(rig.lists.TypeIndex[i].Position, static_cast<int>(i));
        EXPECT_EQ(rig.lists.TypeIndex[i].Extension, rig.lists.TypeList[i].Extension);
    }
    const auto countOf = [&](std::string_view type) {
        return rig.lists.TypeList[rig.lists.TypeIndex.IndexOfType(type)];
    };
    EXPECT_EQ(countOf(".txt").Count, 3);
    EXPECT_EQ(countOf(".txt").TotalSize, 7);
    EXPECT_EQ(countOf(".\xC3\xA4"
                      "bc")
                  .Count,
              2);
    EXPECT_EQ(countOf("").Count, 1);
    EXPECT_EQ(countOf(".").Count, 1);
}

TEST(FolderScanner, ExclusionJudgesFilesNotFolders) {
    TempTree tree;
    tree.file("visible.txt");
    tree.file(".hidden.txt");
    tree.file(".hid/inside.txt");
    tree.fifo("pipe");
    tree.file("locked.txt");
    tree.chmod("locked.txt", 0444);
    tree.file(".hid/.locked");
    tree.chmod(".hid/.locked", 0444);

    ScanRig rig;
    rig.host.opts.attribsChk = true; // no letter: every file that is not excluded
    rig.scan(tree.root(), ScanMode::Filtered());
    EXPECT_THAT(rig.listed(tree.root()),
                UnorderedElementsAre("visible.txt", ".hid/inside.txt", "locked.txt"));

    ScanRig readOnly;
    readOnly.host.opts.attribsChk = readOnly.host.opts.readChk = true;
    readOnly.scan(tree.root(), ScanMode::Filtered());
    EXPECT_THAT(readOnly.listed(tree.root()), ElementsAre("locked.txt"));

    ScanRig everything;
    everything.host.opts.excludeHidden = everything.host.opts.excludeSystem = false;
    everything.host.opts.attribsChk = true;
    everything.scan(tree.root(), ScanMode::Filtered());
    EXPECT_EQ(everything.listed(tree.root()).size(), 6u);

    ScanRig archive; // the archive bit is never set here
    archive.host.opts.attribsChk = archive.host.opts.archiveChk = true;
    archive.scan(tree.root(), ScanMode::Filtered());
    EXPECT_THAT(archive.listed(tree.root()), IsEmpty());
}

TEST(FolderScanner, ATypeListingListsExactlyThatType) {
    TempTree tree;
    tree.file("a.TXT");
    tree.file("b.txt");
    tree.file("README");
    tree.file("name.");
    tree.file("c.tx");
    tree.file("q.t?");
    tree.file("s.*");
    tree.file("d.a;b");
    ScanRig rig;
    rig.host.opts.singleFile = true; // filters play no part in a type listing
    rig.host.opts.fileType = WildcardPattern(".doc");
    rig.scan(tree.root(), ScanMode::OfType(".txt"));
    EXPECT_THAT(rig.listed(tree.root()), UnorderedElementsAre("a.TXT", "b.txt"));
    // "*", "?" and ";" are characters of the type here, not wildcards.
    const std::pair<const char*, const char*> exact[] = {
        {"", "README"}, {".t?", "q.t?"}, {".*", "s.*"}, {".a;b", "d.a;b"}, {".", "name."}};
    for (const auto& [type, file] : exact) {
        ScanRig one;
        one.scan(tree.root(), ScanMode::OfType(type));
        EXPECT_THAT(one.listed(tree.root()), ElementsAre(file)) << type;
    }
}

TEST(FolderScanner, EveryTypeRowCountsWhatItsListingLists) {
    // Names that group by letter case only: full-width letters, ligatures, sharp s, kana,
    // canonically equivalent accents, bytes that are not UTF-8 beside the characters that
    // once stood in for them, and the characters a pattern would read as wildcards.
    TempTree tree;
    const char* names[] = {"a.txt",
                           "b.TXT",
                           "c.\xEF\xBD\x94\xEF\xBD\x98\xEF\xBD\x94",
                           "d.Tx\xEF\xBD\x94",
                           "e.fi",
                           "f.\xEF\xAC\x81",
                           "g.FI",
                           "h.ss",
                           "i.\xC3\x9F",
                           "j.SS",
                           "k.\xC3\xA9",
                           "l.e\xCC\x81",
                           "m.\xC3\x89",
                           "n.e",
                           "o.\x80",
                           "p.\xEF\x9E\x80",
                           "q.\x81",
                           "r.?",
                           "s.*",
                           "t.x",
                           "u.*x",
                           "v.;",
                           "w.\xE3\x81\x82",
                           "x.\xE3\x82\xA2",
                           "y",
                           "z.",
                           ".hidden",
                           "A.\xCE\xA3",
                           "B.\xCF\x83",
                           "C.\xCF\x82"};
    for (const char* name : names) tree.file(name);
    ScanRig types;
    types.scan(tree.root(), ScanMode::Types());
    int64_t counted = 0;
    for (const TDataRec& row : types.lists.TypeList) {
        ScanRig listing;
        listing.scan(tree.root(), ScanMode::OfType(row.Extension));
        EXPECT_EQ(static_cast<int64_t>(listing.lists.FileList.size()), row.Count)
            << "type " << row.Extension;
        counted += row.Count;
    }
    EXPECT_EQ(counted, static_cast<int64_t>(std::size(names)) - 1); // .hidden is excluded
    // Letter case only (and canonical equivalence): .txt/.TXT, .fi/.FI, .ss/.SS, the three
    // spellings of .é, the three sigmas; the rest stay apart.
    EXPECT_EQ(types.lists.TypeList.size(), std::size(names) - 1 - 7);
}

TEST(FolderScanner, FilteredListingAppliesEveryCheckedTest) {
    TempTree tree;
    tree.file("report.txt");
    tree.file("notes.doc");
    tree.file("report.doc");
    const auto listing = [&](auto setUp) {
        ScanRig rig;
        setUp(rig.host.opts);
        rig.scan(tree.root(), ScanMode::Filtered());
        return rig.listed(tree.root());
    };
    const auto mask = [&](const char* pattern) {
        return listing([&](SearchOptions& o) {
            o.singleFile = true;
            o.fileType = WildcardPattern(pattern);
        });
    };
    EXPECT_THAT(mask("txt"), IsEmpty());
    EXPECT_THAT(mask(".txt"), ElementsAre("report.txt"));
    EXPECT_THAT(mask("*.txt"), ElementsAre("report.txt"));
    EXPECT_THAT(mask(".txt;.doc"), UnorderedElementsAre("report.txt", "notes.doc", "report.doc"));
    EXPECT_THAT(listing([](SearchOptions& o) {
                    o.singleFile = o.inFile = true;
                    o.fileType = WildcardPattern(".doc");
                    o.inText = WildcardPattern("REP*");
                }),
                ElementsAre("report.doc"));
}

TEST(FolderScanner, SizeFilterUsesSinglePrecisionAndATolerance) {
    TempTree tree;
    for (int size : {0, 10, 11, 1034, 1035}) tree.sizedFile(std::to_string(size), size);
    const auto bySize = [&](int index, double kb) {
        ScanRig rig;
        rig.host.opts.fileSize = true;
        rig.host.opts.fileSizeIndex = index;
        rig.host.opts.fileSizeKb = kb;
        rig.scan(tree.root(), ScanMode::Filtered());
        return rig.listed(tree.root());
    };
    EXPECT_THAT(bySize(1, 0.0), UnorderedElementsAre("0", "10"));
    EXPECT_THAT(bySize(0, 1.0), ElementsAre("1035"));
    EXPECT_THAT(bySize(2, 0.011), UnorderedElementsAre("0"));
    EXPECT_THAT(bySize(-1, 0.0), IsEmpty()); // no item chosen passes nothing
}

TEST(FolderScanner, DateFiltersCompareLocalDays) {
    const vintrel::test::ZoneGuard zone("Europe/Berlin");
    TempTree tree;
    tree.file("early");
    tree.file("late");
    tree.file("next");
    tree.setModified("early", 1'392'678'000); // 2014-02-18 00:00 local
    tree.setModified("late", 1'392'764'399);  // 2014-02-18 23:59:59 local
    tree.setModified("next", 1'392'764'400);  // 2014-02-19 00:00 local
    CivilTime day;
    day.year = 2014, day.month = 2, day.day = 18, day.hour = 15;
    const auto byDate = [&](int index) {
        ScanRig rig;
        rig.host.opts.fileModified = true;
        rig.host.opts.fileModifiedIndex = index;
        rig.host.opts.modDate = EncodeLocalDateTime(day);
        rig.scan(tree.root(), ScanMode::Filtered());
        return rig.listed(tree.root());
    };
    EXPECT_THAT(byDate(1), UnorderedElementsAre("early", "late"));
    EXPECT_THAT(byDate(0), ElementsAre("next"));
    EXPECT_THAT(byDate(2), IsEmpty());

    ScanRig created; // every file here was created today, not on that day
    created.host.opts.fileCreated = true;
    created.host.opts.fileCreatedIndex = 1;
    created.host.opts.createDate = EncodeLocalDateTime(day);
    created.scan(tree.root(), ScanMode::Filtered());
    EXPECT_THAT(created.listed(tree.root()), IsEmpty());
}

TEST(FolderScanner, OptionsChangedDuringTheWalkApplyFromTheNextFile) {
    TempTree tree;
    for (int i = 0; i < 20; ++i) tree.file("f" + std::to_string(i) + ".txt");
    ScanRig rig;
    rig.host.opts.attribsChk = true;
    rig.host.onEvents = [&] {
        if (rig.lists.FileList.size() == 5) rig.host.opts.attribsChk = rig.host.opts.readChk = true;
    };
    rig.scan(tree.root(), ScanMode::Filtered());
    EXPECT_EQ(rig.lists.FileList.size(), 5u);
    EXPECT_EQ(rig.state.VisitedCount, 22);
}

TEST(FolderScanner, SubfoldersAreWalkedWhereTheyStandOrNotAtAll) {
    TempTree tree;
    tree.file("top.txt");
    tree.file("a/one.txt");
    tree.file("a/b/two.txt");
    tree.folder("empty");
    ScanRig deep;
    deep.scan(tree.root(), ScanMode::OfType(".txt"));
    EXPECT_THAT(deep.listed(tree.root()),
                UnorderedElementsAre("top.txt", "a/one.txt", "a/b/two.txt"));
    EXPECT_EQ(deep.state.VisitedCount, 2 + 4 + 3 + 3 + 2); // root, a, a/b, empty

    ScanRig flat;
    flat.scan(tree.root(), ScanMode::OfType(".txt"), false);
    EXPECT_THAT(flat.listed(tree.root()), ElementsAre("top.txt"));
    EXPECT_EQ(flat.state.VisitedCount, 5);
}

TEST(FolderScanner, StopEndsEveryLevelAndKeepsWhatWasCollected) {
    TempTree tree;
    for (int i = 0; i < 5; ++i) tree.file("f" + std::to_string(i));
    for (int i = 0; i < 5; ++i) tree.file("a/g" + std::to_string(i));
    for (int i = 0; i < 5; ++i) tree.file("a/b/h" + std::to_string(i));
    for (int64_t stopAt = 1; stopAt <= 23; ++stopAt) { // 23 entries in all
        ScanRig rig;
        rig.host.opts.attribsChk = true;
        rig.host.onEvents = [&] {
            if (rig.host.pumpCount == stopAt) rig.state.StopRequested = true;
        };
        rig.scan(tree.root(), ScanMode::Filtered());
        // The walk ends at the entry being examined, or, when that entry is a folder, at
        // the first entry inside it (which may be a folder again: three levels here).
        EXPECT_GE(rig.state.VisitedCount, stopAt) << stopAt;
        EXPECT_LE(rig.state.VisitedCount, stopAt + 2) << stopAt;
        EXPECT_EQ(rig.host.pumpCount, rig.state.VisitedCount);
        EXPECT_LE(rig.lists.FileList.size(), static_cast<size_t>(stopAt));
    }
}

TEST(FolderScanner, EmptyRootScansNothingAndBadRootIsReported) {
    ScanRig rig;
    rig.scan("", ScanMode::Types());
    EXPECT_EQ(rig.state.VisitedCount, 0);
    EXPECT_TRUE(rig.state.RootError.empty());

    rig.scan("/nonexistent-vintrel-folder", ScanMode::Types());
    EXPECT_EQ(rig.state.VisitedCount, 0);
    EXPECT_EQ(rig.state.RootError, "No such file or directory");

    TempTree tree;
    tree.folder("empty");
    rig.scan(tree.path("empty"), ScanMode::Types());
    EXPECT_TRUE(rig.state.RootError.empty());
    EXPECT_EQ(rig.state.VisitedCount, 2);
}

TEST(FolderScanner, ErrorsFromTheEventPumpLeaveTheWalkAndItCanRunAgain) {
    TempTree tree;
    tree.file("a/b/c.txt");
    ScanRig rig;
    rig.host.onEvents = [&] {
        if (rig.host.pumpCount == 6) throw std::runtime_error("from a handler");
    };
    EXPECT_THROW(rig.scan(tree.root(), ScanMode::Types()), std::runtime_error);
    rig.host.onEvents = nullptr;
    rig.scan(tree.root(), ScanMode::Types());
    EXPECT_EQ(rig.state.TypedFileCount, 1);
}

TEST(FolderScanner, ListedPathsKeepTheirExactBytes) {
    TempTree tree;
    tree.file("dir\xFE/file\xFF.txt", "x");
    tree.file("caf\xC3\xA9 b,c.txt");
    ScanRig rig;
    rig.host.opts.attribsChk = true;
    rig.scan(tree.root(), ScanMode::Filtered());
    EXPECT_THAT(rig.listed(tree.root()),
                UnorderedElementsAre("dir\xFE/file\xFF.txt", "caf\xC3\xA9 b,c.txt"));
}
