#include "CliArguments.h"

#include "LocalTime.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace vintrel {

const char* const kUsage =
    "Usage: vintrel2-scan [OPTIONS] FOLDER\n"
    "       vintrel2-scan [OPTIONS] --import FILE\n"
    "       vintrel2-scan --export FILE [--exclude MASK] [-x] FOLDER\n"
    "       vintrel2-scan --compare OLD [OPTIONS] FOLDER | --import NEW\n"
    "Without a filter option: one CSV row per file type (Type,Description,Count,Size),\n"
    "in the order the types were first met. With any filter option: the matching files\n"
    "(Filename,\"Date Created\",\"Date modified\",Size,Attribs).\n"
    "\n"
    "  --type-mask MASK      extension patterns, e.g. \".txt;*.doc\"\n"
    "  --name-mask MASK      file name patterns, e.g. \"report*\"\n"
    "  --created after|equal|before:YYYY-MM-DD\n"
    "  --modified after|equal|before:YYYY-MM-DD\n"
    "  --size greater|equal|less:KB   a size in KB, with \".\" or the locale's decimal\n"
    "                        separator (1.5 or 1,5)\n"
    "  --attributes=[r][a]   only read-only (r) or archive (a) files; no letter: all files\n"
    "  --list                list every file that is not excluded\n"
    "  --type TEXT           every file of one type: exactly the files the type table counts\n"
    "                        under it (\"\" for files without extension; \"*\", \"?\" and \";\"\n"
    "                        are characters)\n"
    "  --include-hidden      do not exclude hidden files\n"
    "  --include-system      do not exclude system files (devices, FIFOs, sockets)\n"
    "  --no-subfolders       do not walk subfolders\n"
    "  -o, --output FILE     write a CSV file (UTF-16 with byte-order mark); a stopped run\n"
    "                        leaves an existing FILE as it was\n"
    "  --summary             totals on standard error\n"
    "  --exclude MASK        do not enter folders whose name (or, with a \"/\", whose path\n"
    "                        below FOLDER) matches; a leading \"/\" anchors the mask at\n"
    "                        FOLDER, a trailing one is ignored; repeatable\n"
    "  -x, --one-file-system do not enter folders on another file system\n"
    "  --bytes               sizes in bytes, dates as ISO 8601 local times with offset\n"
    "  --json                one JSON object per line, raw values\n"
    "  --sort size|count|name|created|modified|change   --reverse   --top N\n"
    "  --disk-usage          sizes are the bytes allocated on disk, and a file with several\n"
    "                        hard links counts once (its first link met)\n"
    "  --export FILE         save the walk as a scan file (the JSON of ncdu and gdu; FILE\n"
    "                        \"-\" is standard output, a name ending in .gz or .zst is\n"
    "                        compressed) instead of writing a table\n"
    "  --compare OLD         the type table with \"Count change\" and \"Size change\" against\n"
    "                        the saved scan OLD (filters count only the files that pass,\n"
    "                        on both sides); --sort change sorts by the size change\n"
    "  --import FILE         read a saved scan (of vintrel2-scan, ncdu or gdu; plain, gzip\n"
    "                        or zstd; \"-\" is standard input) in place of FOLDER\n"
    "  -h, --help            this text\n"
    "  --version             the program's version\n";

namespace {

// Date as YYYY-MM-DD, midnight local time.
std::optional<LocalDateTime> ParseDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int year = 0, month = 0, day = 0;
    const auto number = [&](size_t at, size_t length, int& out) {
        const auto r = std::from_chars(text.data() + at, text.data() + at + length, out);
        return r.ec == std::errc() && r.ptr == text.data() + at + length;
    };
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day)) return std::nullopt;
    if (!IsValidDate(year, month, day)) return std::nullopt;
    CivilTime t;
    t.year = year, t.month = month, t.day = day;
    return EncodeLocalDateTime(t);
}

// "." or the locale's decimal separator.
std::optional<double> ParseKb(std::string text, const std::string& decimalSeparator) {
    if (!decimalSeparator.empty() && decimalSeparator != ".") {
        if (const size_t at = text.find(decimalSeparator); at != std::string::npos)
            text.replace(at, decimalSeparator.size(), ".");
    }
    double value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() ||
        !std::isfinite(value) || value < 0) {
        return std::nullopt;
    }
    return value;
}

// "word:value" with word one of three; returns its index.
int SplitComparison(const std::string& option, const std::string& text,
                    const char* const (&words)[3], std::string& value) {
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const std::string word = text.substr(0, colon);
        for (int i = 0; i < 3; ++i) {
            if (word == words[i]) {
                value = text.substr(colon + 1);
                return i;
            }
        }
    }
    throw UsageError(option + " needs " + words[0] + "|" + words[1] + "|" + words[2] +
                     ":VALUE, not '" + text + "'");
}

} // namespace

CliArguments ParseCliArguments(const std::vector<std::string>& args,
                               const std::string& decimalSeparator) {
    CliArguments result;
    std::vector<std::string> folders;
    bool listAll = false;
    bool typeMode = false;
    bool optionsEnded = false;
    std::vector<std::string> tableOptions; // given options that make or shape a table

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            folders.push_back(arg);
            continue;
        }
        std::optional<std::string> attached;
        if (arg.rfind("--", 0) == 0) {
            if (const size_t eq = arg.find('='); eq != std::string::npos) {
                attached = arg.substr(eq + 1);
                arg.resize(eq);
            }
        }
        const auto value = [&]() -> std::string {
            if (attached) return *attached;
            if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
            return args[++i];
        };
        const auto flag = [&] {
            if (attached) throw UsageError(arg + " takes no value");
        };

        SearchOptions& o = result.options;
        static const char* const kTableOptions[] = {
            "--type-mask",     "--name-mask",  "--created", "--modified",
            "--size",          "--attributes", "--list",    "--type",
            "--no-subfolders", "-o",           "--output",  "--bytes",
            "--json",          "--sort",       "--reverse", "--top"};
        if (std::find(std::begin(kTableOptions), std::end(kTableOptions), arg) !=
            std::end(kTableOptions))
            tableOptions.push_back(arg);
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--type-mask") {
            o.singleFile = true;
            o.fileType = WildcardPattern(value());
        } else if (arg == "--name-mask") {
            o.inFile = true;
            o.inText = WildcardPattern(value());
        } else if (arg == "--created" || arg == "--modified") {
            static const char* const kWords[3] = {"after", "equal", "before"};
            std::string dateText;
            const int index = SplitComparison(arg, value(), kWords, dateText);
            const auto date = ParseDate(dateText);
            if (!date) throw UsageError(arg + ": '" + dateText + "' is not a date (YYYY-MM-DD)");
            if (arg == "--created") {
                o.fileCreated = true, o.fileCreatedIndex = index, o.createDate = *date;
            } else {
                o.fileModified = true, o.fileModifiedIndex = index, o.modDate = *date;
            }
        } else if (arg == "--size") {
            static const char* const kWords[3] = {"greater", "equal", "less"};
            std::string kbText;
            const int index = SplitComparison(arg, value(), kWords, kbText);
            const auto kb = ParseKb(kbText, decimalSeparator);
            if (!kb) throw UsageError("--size: '" + kbText + "' is not a size in KB");
            o.fileSize = true, o.fileSizeIndex = index, o.fileSizeKb = *kb;
        } else if (arg == "--attributes") {
            o.attribsChk = true;
            for (const char letter : attached.value_or("")) {
                if (letter == 'r')
                    o.readChk = true;
                else if (letter == 'a')
                    o.archiveChk = true;
                else
                    throw UsageError("--attributes takes the letters r and a");
            }
        } else if (arg == "--list") {
            flag();
            listAll = true;
        } else if (arg == "--type") {
            typeMode = true;
            result.mode = ScanMode::OfType(value());
        } else if (arg == "--include-hidden") {
            flag();
            o.excludeHidden = false;
        } else if (arg == "--include-system") {
            flag();
            o.excludeSystem = false;
        } else if (arg == "--no-subfolders") {
            flag();
            result.recurse = false;
        } else if (arg == "-o" || arg == "--output") {
            result.outputFile = value();
            if (result.outputFile.empty()) throw UsageError(arg + " needs a file name");
        } else if (arg == "--exclude") {
            const std::vector<FolderMask> masks = ParseFolderMasks(value());
            if (masks.empty()) throw UsageError("--exclude needs a folder mask");
            o.excludeFolders.insert(o.excludeFolders.end(), masks.begin(), masks.end());
        } else if (arg == "-x" || arg == "--one-file-system") {
            flag();
            o.oneFileSystem = true;
        } else if (arg == "--disk-usage") {
            flag();
            o.diskUsage = true;
        } else if (arg == "--bytes") {
            flag();
            result.bytes = true;
        } else if (arg == "--json") {
            flag();
            result.json = true;
        } else if (arg == "--sort") {
            const std::string key = value();
            static const char* const kKeys[] = {"size",    "count",    "name",
                                                "created", "modified", "change"};
            if (std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys))
                throw UsageError("--sort takes size, count, name, created, modified or change");
            result.sortBy = key;
        } else if (arg == "--reverse") {
            flag();
            result.reverse = true;
        } else if (arg == "--top") {
            const std::string count = value();
            size_t n = 0;
            const auto r = std::from_chars(count.data(), count.data() + count.size(), n);
            if (count.empty() || r.ec != std::errc() || r.ptr != count.data() + count.size())
                throw UsageError("--top: '" + count + "' is not a number of rows");
            result.top = n;
        } else if (arg == "--export" || arg == "--import" || arg == "--compare") {
            std::string& file = arg == "--export"   ? result.exportFile
                                : arg == "--import" ? result.importFile
                                                    : result.compareFile;
            file = value();
            if (file.empty()) throw UsageError(arg + " needs a file name");
        } else if (arg == "--summary") {
            flag();
            result.summary = true;
        } else if (arg == "-h" || arg == "--help") {
            result.help = true;
            return result;
        } else if (arg == "--version") {
            result.version = true;
            return result;
        } else {
            throw UsageError("unknown option '" + arg + "'");
        }
    }

    if (!result.exportFile.empty()) {
        if (!tableOptions.empty())
            throw UsageError("--export writes no table: " + tableOptions.front() +
                             " does not go with it");
        if (!result.importFile.empty())
            throw UsageError("--export and --import do not go together");
    }
    if (!result.importFile.empty()) {
        if (!folders.empty()) throw UsageError("--import reads a saved scan in place of FOLDER");
        folders.push_back(result.importFile);
    }
    if (folders.empty()) throw UsageError("no FOLDER given");
    if (result.bytes && result.json) throw UsageError("--bytes and --json do not go together");
    if (result.json && !result.outputFile.empty())
        throw UsageError("--json writes to standard output only");
    if (folders.size() > 1) throw UsageError("more than one FOLDER given");
    result.folder = folders.front();
    if (result.folder.empty()) throw UsageError("FOLDER is empty");

    if (!result.compareFile.empty()) {
        if (listAll || typeMode) throw UsageError("--compare compares type tables, not listings");
        if (!result.exportFile.empty())
            throw UsageError("--compare and --export do not go together");
        if (result.compareFile == "-" && result.importFile == "-")
            throw UsageError("--compare and --import cannot both read standard input");
        if (result.sortBy == "created" || result.sortBy == "modified")
            throw UsageError("--sort " + result.sortBy + " applies to the file listing only");
        result.mode = result.options.anyFilter() ? ScanMode::FilteredTypes() : ScanMode::Types();
        return result;
    }
    if (result.sortBy == "change") throw UsageError("--sort change needs --compare");
    if (listAll) result.options.attribsChk = true;
    if (!typeMode)
        result.mode = result.options.anyFilter() ? ScanMode::Filtered() : ScanMode::Types();
    const bool types = result.mode.kind == ScanMode::Kind::Types;
    if (types && (result.sortBy == "created" || result.sortBy == "modified"))
        throw UsageError("--sort " + result.sortBy + " applies to the file listing only");
    if (!types && result.sortBy == "count")
        throw UsageError("--sort count applies to the type table only");
    return result;
}

} // namespace vintrel
