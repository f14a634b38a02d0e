// vintrel2-scan: the type table or a filtered file list of a folder tree, as CSV.

#include "CliArguments.h"
#include "CliHost.h"
#include "Collation.h"
#include "CompareRun.h"
#include "Csv.h"
#include "Descriptor.h"
#include "Errors.h"
#include "FolderScanner.h"
#include "LineSink.h"
#include "Paths.h"
#include "RawRows.h"
#include "RowTexts.h"
#include "SavedScans.h"
#include "ScanImport.h"
#include "SystemLocale.h"
#include "TopRows.h"
#include "TypeDescription.h"
#include "Utf8.h"
#include "Version.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

using namespace vintrel;

namespace {

ScanState* gState = nullptr;
volatile sig_atomic_t gStopSignal = 0;

// Ctrl+C, SIGTERM and SIGHUP stop the walk; what was found so far is still written.
extern "C" void OnStopSignal(int signal) {
    gStopSignal = signal;
    if (gState) gState->StopRequested.store(true);
}

void HandleStopSignals(bool handle) {
    struct sigaction action {};
    action.sa_handler = handle ? OnStopSignal : SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// One CSV line of a row's cells or a table's captions.
template <typename Cells> std::string CsvOf(const Cells& cells) {
    return CsvLine(std::vector<std::string_view>(cells.begin(), cells.end()));
}

// The listing's lines in the chosen format, the CSV captions first. The sink is made with the
// first line, so that a folder that cannot be read leaves no output file.
class FileRowWriter {
  public:
    FileRowWriter(const CliArguments& args, const LocaleSettings& locale)
        : args_(args), locale_(locale), dates_(locale) {}

    void add(const TFileRec& record) {
        LineSink& out = sink();
        if (args_.json) {
            out.add(FileJson(record));
        } else if (args_.bytes) {
            out.add(CsvOf(RawFileCells(record)));
        } else {
            out.add(CsvOf(MakeFileRow(record, dates_, locale_)));
        }
    }
    void finish(bool stopped) { sink().finish(stopped); }

  private:
    LineSink& sink() {
        if (!sink_) {
            sink_.emplace(args_.outputFile);
            if (!args_.json) sink_->add(CsvOf(kFileColumns));
        }
        return *sink_;
    }

    const CliArguments& args_;
    const LocaleSettings& locale_;
    const DateTextFormat dates_;
    std::optional<LineSink> sink_;
};

// The number a row sorts by under --sort; the parser has matched the key to the table.
double SortNumber(const TDataRec& row, const std::string& key) {
    return static_cast<double>(key == "count" ? row.Count : row.TotalSize);
}
double SortNumber(const TFileRec& row, const std::string& key) {
    if (key == "size") return static_cast<double>(row.Size);
    return static_cast<double>(key == "created" ? row.Created : row.Modified);
}
std::string_view SortName(const TDataRec& row) {
    return row.Extension;
}
std::string_view SortName(const TFileRec& row) {
    return row.FileName;
}

// What a row sorts by under --sort: the collation key of the shown name, or the value.
template <typename Row>
TopRows::Key SortKeyOf(const Row& row, const std::string& key, const Collation& collation) {
    if (key == "name") return {collation.sortKey(DisplayText(SortName(row))), 0};
    return {std::string(), SortNumber(row, key)};
}

// --sort, --reverse and --top: the orders of the window's column sorts (names by the user's
// collation of the shown text, the rest by value), ties kept in walk order.
template <typename Row>
void OrderRows(std::vector<const Row*>& rows, const CliArguments& args,
               const Collation& collation) {
    if (!args.sortBy.empty()) {
        std::vector<TopRows::Key> keys(rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            keys[i] = SortKeyOf(*rows[i], args.sortBy, collation);
        std::vector<size_t> order(rows.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return args.reverse ? keys[b] < keys[a] : keys[a] < keys[b];
        });
        std::vector<const Row*> sorted;
        sorted.reserve(rows.size());
        for (const size_t i : order) sorted.push_back(rows[i]);
        rows = std::move(sorted);
    } else if (args.reverse) {
        std::reverse(rows.begin(), rows.end());
    }
    if (args.top && rows.size() > *args.top) rows.resize(*args.top);
}

int Run(const CliArguments& args) {
    const LocaleSettings locale = SystemLocaleSettings();
    const Collation collation = Collation::FromEnvironment();
    ResultLists lists(collation);
    ScanState state;
    const bool typeStatistics = args.mode.kind == ScanMode::Kind::Types;
    // A listing in walk order is written as the walk goes, a batch at a time, so that its
    // memory stays bounded whatever the number of files; a sorted or reversed one is kept.
    // An import counted as the disk counts is kept until its file has shown it can be.
    const bool streamed = !typeStatistics && args.sortBy.empty() && !args.reverse &&
                          !(args.options.diskUsage && !args.importFile.empty());
    // Rows coming on the same terminal would break the progress line.
    const bool rowsOnTerminal = streamed && args.outputFile.empty() && isatty(STDOUT_FILENO);
    CliHost host(args.options, typeStatistics, isatty(STDERR_FILENO) && !rowsOnTerminal);
    FolderScanner scanner(host, state, lists);
    constexpr size_t kBatch = 8192; // rows the walk lists before they are written or taken

    std::optional<FileRowWriter> fileRows;
    if (!typeStatistics) fileRows.emplace(args, locale);
    int64_t totalSize = 0;
    size_t listedCount = 0;
    const auto writeListed = [&] {
        for (const TFileRec& record : lists.FileList) {
            if (!args.top || listedCount < *args.top) fileRows->add(record);
            ++listedCount;
            totalSize = SaturatingAdd(totalSize, record.Size);
        }
        lists.FileList.clear();
    };
    // A sorted --top listing keeps its N rows as the walk goes, a batch at a time.
    std::optional<TopRows> top;
    if (streamed) {
        host.onListed = [&](size_t listed) {
            if (listed >= kBatch) writeListed();
        };
    } else if (!typeStatistics && args.top && !args.sortBy.empty()) {
        top.emplace(*args.top, args.reverse,
                    [&](const TFileRec& row) { return SortKeyOf(row, args.sortBy, collation); });
        host.onListed = [&](size_t listed) {
            if (listed < kBatch) return;
            top->take(lists.FileList);
            lists.FileList.clear();
        };
    }
    gState = &state;
    HandleStopSignals(true);
    if (!args.compareFile.empty()) {
        const int status = RunCompare(args, host, state, locale, collation);
        HandleStopSignals(false);
        if (state.StopRequested) {
            std::fputs("vintrel2-scan: stopped; the results are incomplete\n", stderr);
            return 128 + (gStopSignal ? gStopSignal : SIGINT);
        }
        return status;
    }
    std::optional<SavedScanReader> saved;
    if (!args.exportFile.empty()) {
        ExportScan(args, scanner, state);
    } else if (!args.importFile.empty()) {
        const Descriptor file(OpenSavedScan(args.importFile));
        saved.emplace(file.get(), args.importFile);
        scanner.ScanSaved(*saved, args.recurse, args.mode);
    } else {
        // Listed paths are absolute, whatever the folder was given as.
        scanner.ScanFolder(AbsolutePath(args.folder), args.recurse, args.mode);
    }
    host.finish();
    HandleStopSignals(false);
    const bool stopped = state.StopRequested;

    if (saved && args.options.diskUsage && saved->complete() && !saved->carriesDiskUsage()) {
        std::fprintf(stderr,
                     "vintrel2-scan: --disk-usage needs a saved scan with the allocated size "
                     "(dsize) of its entries and the inode (ino) of every hard-linked file; '%s' "
                     "lacks them\n",
                     DisplayText(args.importFile).c_str());
        return 2;
    }
    if (!state.RootError.empty()) {
        std::fprintf(stderr, "vintrel2-scan: cannot read folder '%s': %s\n",
                     DisplayText(args.folder).c_str(), state.RootError.c_str());
        return 1;
    }

    if (!args.exportFile.empty()) {
        // The scan file is the output; the type table was counted for --summary alone.
        for (size_t i = 0; i < lists.TypeIndex.size(); ++i) {
            totalSize =
                SaturatingAdd(totalSize, lists.TypeList[lists.TypeIndex[i].Position].TotalSize);
        }
    } else if (typeStatistics) {
        LineSink sink(args.outputFile);
        std::vector<const TDataRec*> rows;
        for (size_t i = 0; i < lists.TypeIndex.size(); ++i) {
            rows.push_back(&lists.TypeList[lists.TypeIndex[i].Position]);
            totalSize = SaturatingAdd(totalSize, rows.back()->TotalSize);
        }
        OrderRows(rows, args, collation);
        if (!args.json) sink.add(CsvOf(kTypeColumns));
        for (const TDataRec* record : rows) {
            const std::string description = GetTypeDescription(DisplayText(record->Extension));
            if (args.json) {
                sink.add(TypeJson(*record, description));
            } else if (args.bytes) {
                sink.add(CsvOf(RawTypeCells(*record, description)));
            } else {
                sink.add(CsvOf(MakeTypeRow(*record, description, locale)));
            }
        }
        sink.finish(stopped);
    } else if (streamed) {
        writeListed();
        fileRows->finish(stopped);
    } else {
        std::vector<const TFileRec*> rows;
        std::vector<TFileRec> kept;
        if (top) {
            top->take(lists.FileList);
            lists.FileList.clear();
            kept = top->rows();
            for (const TFileRec& record : kept) rows.push_back(&record);
            listedCount = top->rowsTaken();
            totalSize = top->totalSize();
        } else {
            listedCount = lists.FileList.size();
            rows.reserve(listedCount);
            for (const TFileRec& record : lists.FileList) {
                rows.push_back(&record);
                totalSize = SaturatingAdd(totalSize, record.Size);
            }
            OrderRows(rows, args, collation);
        }
        for (const TFileRec* record : rows) fileRows->add(*record);
        fileRows->finish(stopped);
    }

    if (args.summary) {
        if (typeStatistics) {
            std::fprintf(stderr, "Total files: %lld\nTotal size: %s\nTotal types: %zu\n",
                         static_cast<long long>(state.TypedFileCount),
                         FormatFileSize(totalSize, locale).c_str(), lists.TypeIndex.size());
        } else {
            std::fprintf(stderr, "Total files: %zu\nTotal size: %s\nVisited/listed: %s\n",
                         listedCount, FormatFileSize(totalSize, locale).c_str(),
                         FileCountText(state.VisitedCount, listedCount).c_str());
        }
        std::fprintf(stderr, "Unreadable folders: %lld\nUnreadable entries: %lld\n",
                     static_cast<long long>(state.UnreadableFolders),
                     static_cast<long long>(state.UnreadableEntries));
        if (!args.options.excludeFolders.empty()) {
            std::fprintf(stderr, "Excluded folders: %lld\n",
                         static_cast<long long>(state.ExcludedFolders));
        }
        if (args.options.oneFileSystem) {
            std::fprintf(stderr, "Folders on other file systems: %lld\n",
                         static_cast<long long>(state.OtherFileSystems));
        }
        if (saved) {
            const MissingFields& missing = saved->missing();
            std::fprintf(stderr,
                         "Entries without modification time: %lld\n"
                         "Entries without birth time: %lld\nEntries without mode: %lld\n",
                         static_cast<long long>(missing.modified),
                         static_cast<long long>(missing.birth),
                         static_cast<long long>(missing.mode));
        }
    } else {
        if (state.UnreadableFolders > 0) {
            std::fprintf(stderr,
                         "vintrel2-scan: %lld folder(s) could not be read and were skipped\n",
                         static_cast<long long>(state.UnreadableFolders));
        }
        if (state.UnreadableEntries > 0) {
            std::fprintf(stderr,
                         "vintrel2-scan: %lld entries could not be read and were left out\n",
                         static_cast<long long>(state.UnreadableEntries));
        }
    }
    if (stopped) {
        std::fputs("vintrel2-scan: stopped; the results are incomplete\n", stderr);
        return 128 + (gStopSignal ? gStopSignal : SIGINT);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    CliArguments parsed;
    try {
        parsed = ParseCliArguments(args, SystemLocaleSettings().decimalSeparator);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "vintrel2-scan: %s\n\n%s", e.what(), kUsage);
        return 2;
    }
    if (parsed.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parsed.version) {
        std::printf("vintrel2-scan %s\n", kVersion);
        return 0;
    }
    try {
        return Run(parsed);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vintrel2-scan: %s\n", e.what());
        return 1;
    }
}
