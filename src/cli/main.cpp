// vintrel2-scan: the type table or a filtered file list of a folder tree, as CSV.

#include "CliArguments.h"
#include "CliHost.h"
#include "Collation.h"
#include "Csv.h"
#include "Errors.h"
#include "FolderScanner.h"
#include "Paths.h"
#include "RowTexts.h"
#include "SystemLocale.h"
#include "TypeDescription.h"
#include "Utf8.h"
#include "Version.h"

#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

using namespace vintrel;

namespace {

ScanState* gState = nullptr;

extern "C" void OnInterrupt(int) {
    if (gState) gState->StopRequested.store(true);
}

// Lines to standard output (UTF-8, CR LF) or into the CSV file, as they come.
class LineSink {
  public:
    explicit LineSink(const std::string& fileName) {
        if (!fileName.empty()) file_.emplace(fileName);
    }

    void add(std::string line) {
        line += "\r\n";
        if (file_) {
            file_->add(line);
            return;
        }
        buffer_ += line;
        if (buffer_.size() >= 1 << 16) flush();
    }
    void finish() {
        if (file_) file_->finish();
        flush();
        if (std::fflush(stdout) != 0) throw UserError("Stream write error");
    }

  private:
    void flush() {
        if (!buffer_.empty() &&
            std::fwrite(buffer_.data(), 1, buffer_.size(), stdout) != buffer_.size()) {
            throw UserError("Stream write error");
        }
        buffer_.clear();
    }

    std::optional<CsvFileWriter> file_;
    std::string buffer_;
};

// One CSV line of a row's cells or a table's captions.
template <typename Cells> std::string CsvOf(const Cells& cells) {
    return CsvLine(std::vector<std::string_view>(cells.begin(), cells.end()));
}

int Run(const CliArguments& args) {
    const LocaleSettings locale = SystemLocaleSettings();
    const Collation collation = Collation::FromEnvironment();
    ResultLists lists(collation);
    ScanState state;
    const bool typeStatistics = args.mode.kind == ScanMode::Kind::Types;
    CliHost host(args.options, typeStatistics, isatty(STDERR_FILENO));
    FolderScanner scanner(host, state, lists);

    gState = &state;
    std::signal(SIGINT, OnInterrupt);
    // Listed paths are absolute, whatever the folder was given as.
    const std::string folder = AbsolutePath(args.folder);
    scanner.ScanFolder(folder, args.recurse, args.mode);
    host.finish();
    std::signal(SIGINT, SIG_DFL);

    if (!state.RootError.empty()) {
        std::fprintf(stderr, "vintrel2-scan: cannot read folder '%s': %s\n",
                     DisplayText(args.folder).c_str(), state.RootError.c_str());
        return 1;
    }

    LineSink sink(args.outputFile);
    int64_t totalSize = 0;
    size_t listedCount = 0;
    if (typeStatistics) {
        sink.add(CsvOf(kTypeColumns));
        for (size_t i = 0; i < lists.TypeIndex.size(); ++i) {
            const TDataRec& record = lists.TypeList[lists.TypeIndex[i].Position];
            totalSize = SaturatingAdd(totalSize, record.TotalSize);
            sink.add(CsvOf(
                MakeTypeRow(record, GetTypeDescription(DisplayText(record.Extension)), locale)));
        }
    } else {
        sink.add(CsvOf(kFileColumns));
        const DateTextFormat dates(locale);
        listedCount = lists.FileList.size();
        for (const TFileRec& record : lists.FileList) {
            totalSize = SaturatingAdd(totalSize, record.Size);
            sink.add(CsvOf(MakeFileRow(record, dates, locale)));
        }
        lists.FileList.clear();
    }
    sink.finish();

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
    if (state.StopRequested) {
        std::fputs("vintrel2-scan: stopped; the results are incomplete\n", stderr);
        return 130;
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
