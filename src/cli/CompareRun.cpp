#include "CompareRun.h"

#include "Descriptor.h"
#include "Formatting.h"
#include "JsonText.h"
#include "LineSink.h"
#include "Paths.h"
#include "RawRows.h"
#include "RowTexts.h"
#include "SavedScans.h"
#include "ScanImport.h"
#include "TypeDescription.h"
#include "Utf8.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace vintrel {

namespace {

struct ChangedType {
    TDataRec record; // as the newer side counts it (0 files where the type is gone)
    int64_t countChange;
    int64_t sizeChange;
};

// Sizes and counts are far below the ends of int64; a change cannot overflow.
int64_t Change(int64_t now, int64_t before) {
    int64_t change = 0;
    if (__builtin_sub_overflow(now, before, &change)) return now < before ? INT64_MIN : INT64_MAX;
    return change;
}

// One side's type table, from a saved scan or a walk; false when a saved scan cannot be
// counted as --disk-usage asks.
bool ReadSide(const std::string& savedFile, const std::string& folder, const CliArguments& args,
              CliHost& host, ScanState& state, ResultLists& lists, std::string& root) {
    FolderScanner scanner(host, state, lists);
    if (savedFile.empty()) {
        scanner.ScanFolder(AbsolutePath(folder), args.recurse, args.mode);
        root = scanner.rootPath();
        return true;
    }
    const Descriptor file(OpenSavedScan(savedFile));
    SavedScanReader reader(file.get(), savedFile);
    scanner.ScanSaved(reader, args.recurse, args.mode);
    root = scanner.rootPath();
    if (args.options.diskUsage && reader.complete() && !reader.carriesDiskUsage()) {
        std::fprintf(stderr,
                     "vintrel2-scan: --disk-usage needs a saved scan with the allocated size "
                     "(dsize) of its entries and the inode (ino) of every hard-linked file; '%s' "
                     "lacks them\n",
                     DisplayText(savedFile).c_str());
        return false;
    }
    return true;
}

std::vector<ChangedType> Changes(const ResultLists& now, const ResultLists& before) {
    std::vector<ChangedType> rows;
    for (size_t i = 0; i < now.TypeIndex.size(); ++i) {
        const TDataRec& record = now.TypeList[now.TypeIndex[i].Position];
        const int old = before.TypeIndex.IndexOfType(record.Extension);
        const int64_t oldCount = old < 0 ? 0 : before.TypeList[old].Count;
        const int64_t oldSize = old < 0 ? 0 : before.TypeList[old].TotalSize;
        rows.push_back({record, Change(record.Count, oldCount), Change(record.TotalSize, oldSize)});
    }
    // Types gone since: none of their files left.
    for (size_t i = 0; i < before.TypeIndex.size(); ++i) {
        const TDataRec& record = before.TypeList[before.TypeIndex[i].Position];
        if (now.TypeIndex.IndexOfType(record.Extension) >= 0) continue;
        TDataRec gone = record;
        gone.Count = 0;
        gone.TotalSize = 0;
        rows.push_back({gone, Change(0, record.Count), Change(0, record.TotalSize)});
    }
    return rows;
}

// --sort, --reverse and --top as on the type table, with "change" for the size change.
void Order(std::vector<ChangedType>& rows, const CliArguments& args, const Collation& collation) {
    if (args.sortBy == "name") {
        std::vector<std::string> keys;
        for (const ChangedType& row : rows)
            keys.push_back(collation.sortKey(DisplayText(row.record.Extension)));
        std::vector<size_t> order(rows.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return args.reverse ? keys[b] < keys[a] : keys[a] < keys[b];
        });
        std::vector<ChangedType> sorted;
        for (const size_t i : order) sorted.push_back(rows[i]);
        rows = std::move(sorted);
    } else if (!args.sortBy.empty()) {
        const auto number = [&](const ChangedType& row) {
            return args.sortBy == "count"  ? row.record.Count
                   : args.sortBy == "size" ? row.record.TotalSize
                                           : row.sizeChange;
        };
        std::stable_sort(rows.begin(), rows.end(), [&](const ChangedType& a, const ChangedType& b) {
            return args.reverse ? number(b) < number(a) : number(a) < number(b);
        });
    } else if (args.reverse) {
        std::reverse(rows.begin(), rows.end());
    }
    if (args.top && rows.size() > *args.top)
        rows.erase(rows.begin() + static_cast<ptrdiff_t>(*args.top), rows.end());
}

std::string Line(std::vector<std::string> cells) {
    return CsvLine(std::vector<std::string_view>(cells.begin(), cells.end()));
}

} // namespace

int RunCompare(const CliArguments& args, CliHost& host, ScanState& state,
               const LocaleSettings& locale, const Collation& collation) {
    ResultLists before(collation), now(collation);
    std::string oldRoot, newRoot;
    if (!ReadSide(args.compareFile, {}, args, host, state, before, oldRoot)) return 2;
    if (state.StopRequested) return 0;
    if (!ReadSide(args.importFile, args.folder, args, host, state, now, newRoot)) return 2;
    host.finish();
    if (!state.RootError.empty()) {
        std::fprintf(stderr, "vintrel2-scan: cannot read folder '%s': %s\n",
                     DisplayText(args.folder).c_str(), state.RootError.c_str());
        return 1;
    }
    if (oldRoot != newRoot) {
        std::fprintf(stderr,
                     "vintrel2-scan: warning: the scans are of different folders: '%s' and '%s'\n",
                     DisplayText(oldRoot).c_str(), DisplayText(newRoot).c_str());
    }

    std::vector<ChangedType> rows = Changes(now, before);
    Order(rows, args, collation);
    LineSink sink(args.outputFile);
    if (!args.json) {
        sink.add(Line({kTypeColumns[0], kTypeColumns[1], kTypeColumns[2], kTypeColumns[3],
                       "Count change", "Size change"}));
    }
    for (const ChangedType& row : rows) {
        const std::string description = GetTypeDescription(DisplayText(row.record.Extension));
        if (args.json) {
            std::string json = TypeJson(row.record, description);
            json.pop_back(); // the closing brace
            json += ",\"count_change\":";
            AppendJsonInteger(json, row.countChange);
            json += ",\"bytes_change\":";
            AppendJsonInteger(json, row.sizeChange);
            json += '}';
            sink.add(std::move(json));
            continue;
        }
        std::vector<std::string> cells;
        if (args.bytes) {
            cells = RawTypeCells(row.record, description);
            cells.push_back(std::to_string(row.countChange));
            cells.push_back(std::to_string(row.sizeChange));
        } else {
            const TypeRowTexts texts = MakeTypeRow(row.record, description, locale);
            cells.assign(texts.begin(), texts.end());
            cells.push_back(std::to_string(row.countChange));
            cells.push_back(FormatFileSize(row.sizeChange, locale));
        }
        sink.add(Line(std::move(cells)));
    }
    sink.finish(state.StopRequested);
    if (args.summary) {
        const auto totals = [](const ResultLists& lists, int64_t& files, int64_t& size) {
            files = size = 0;
            for (size_t i = 0; i < lists.TypeIndex.size(); ++i) {
                const TDataRec& record = lists.TypeList[lists.TypeIndex[i].Position];
                files += record.Count;
                size = SaturatingAdd(size, record.TotalSize);
            }
        };
        int64_t files = 0, size = 0, filesBefore = 0, sizeBefore = 0;
        totals(now, files, size);
        totals(before, filesBefore, sizeBefore);
        std::fprintf(stderr,
                     "Total files: %lld\nTotal size: %s\nTotal types: %zu\n"
                     "Total files before: %lld\nTotal size before: %s\nTotal types before: %zu\n",
                     static_cast<long long>(files), FormatFileSize(size, locale).c_str(),
                     now.TypeIndex.size(), static_cast<long long>(filesBefore),
                     FormatFileSize(sizeBefore, locale).c_str(), before.TypeIndex.size());
    }
    return 0;
}

} // namespace vintrel
