#include "ScanImport.h"

#include "Descriptor.h"
#include "Errors.h"
#include "FileAttributes.h"
#include "Utf8.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace vintrel {

namespace {

// What one entry's object says; fields it leaves out are not "had".
struct EntryFields {
    std::string name;
    bool hadName = false;
    int64_t asize = 0, dsize = 0, ino = 0, dev = 0, nlink = 0, uid = 0, gid = 0, mode = 0;
    int64_t mtime = 0, mtimeNs = 0, btime = 0, btimeNs = 0;
    bool hadDev = false, hadMode = false, hadMtime = false, hadBtime = false, hadNlink = false;
    bool hardLinked = false, readError = false, partial = false, notRegular = false;
    bool unknown = false;
    bool immutable = false, compressed = false;
    SavedFolder::Excluded excluded = SavedFolder::Excluded::No;
    bool hadExcluded = false;

    void reset() {
        std::string kept = std::move(name);
        *this = EntryFields();
        name = std::move(kept);
        name.clear();
    }
};

} // namespace

class SavedScanReader::Parser {
  public:
    Parser(int fd, const std::string& name, SavedScanInfo& info, MissingFields& missing)
        : fd_(fd), name_(name), info_(info), missing_(missing) {}

    // True when the scan was read to its end, false when the sink asked to stop.
    bool run(SavedScanSink& sink);

  private:
    struct Level {
        uint64_t device;
        bool wanted;    // the sink takes this folder's entries
        bool announced; // the sink was told of the folder, and is told when it ends
    };

    [[noreturn]] void fail(const std::string& what) const {
        throw UserError("'" + DisplayText(name_) + "' is not a scan file that can be read: " +
                        what + " (at byte " + std::to_string(base_ + pos_) + ")");
    }

    bool refill() {
        if (ended_) return false;
        if (!input_) {
            try {
                input_ = std::make_unique<DecompressingReader>(fd_);
            } catch (const std::exception& e) {
                fail(e.what());
            }
        }
        base_ += end_;
        pos_ = end_ = 0;
        size_t got = 0;
        try {
            got = input_->read(buffer_.data(), buffer_.size());
        } catch (const std::exception& e) {
            fail(e.what());
        }
        if (got == 0) {
            ended_ = true;
            return false;
        }
        end_ = got;
        return true;
    }
    int peekByte() {
        if (pos_ == end_ && !refill()) return -1;
        return static_cast<unsigned char>(buffer_[pos_]);
    }
    // The next byte that is not white space, not taken.
    int peek() {
        for (;;) {
            const int c = peekByte();
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t') return c;
            ++pos_;
        }
    }
    void expect(char wanted, const char* what) {
        if (peek() != static_cast<unsigned char>(wanted)) fail(std::string("expected ") + what);
        ++pos_;
    }

    void parseString(std::string& out);
    void appendEscape(std::string& out);
    unsigned hex4();
    int64_t parseInteger();
    bool parseBool();
    void skipValue();
    void parseMetadata();
    void parseEntry(EntryFields& fields);
    FindRecord fileRecord(const EntryFields& fields, uint64_t device);
    FindRecord folderRecord(const EntryFields& fields, uint64_t device) const;

    int fd_;
    const std::string& name_;
    SavedScanInfo& info_;
    MissingFields& missing_;
    bool ownFile_ = false; // written by this program: no birth time means the modification time
    std::unique_ptr<DecompressingReader> input_;
    std::vector<char> buffer_ = std::vector<char>(1 << 20);
    size_t pos_ = 0, end_ = 0;
    uint64_t base_ = 0; // bytes before the buffer
    bool ended_ = false;
    std::string key_;
};

void SavedScanReader::Parser::parseString(std::string& out) {
    out.clear();
    expect('"', "a string");
    for (;;) {
        if (pos_ == end_ && !refill()) fail("the file ends inside a string");
        const char* const from = buffer_.data() + pos_;
        const char* const to = buffer_.data() + end_;
        const char* at = from;
        while (at != to && *at != '"' && *at != '\\') ++at;
        out.append(from, at);
        pos_ += static_cast<size_t>(at - from);
        if (at == to) continue;
        ++pos_;
        if (*at == '"') return;
        appendEscape(out);
    }
}

unsigned SavedScanReader::Parser::hex4() {
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
        const int c = peekByte();
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) fail("a \\u escape needs four hexadecimal digits");
        ++pos_;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

void SavedScanReader::Parser::appendEscape(std::string& out) {
    const int c = peekByte();
    if (c < 0) fail("the file ends inside a string");
    ++pos_;
    switch (c) {
    case '"':
    case '\\':
    case '/':
        out += static_cast<char>(c);
        return;
    case 'b':
        out += '\b';
        return;
    case 'f':
        out += '\f';
        return;
    case 'n':
        out += '\n';
        return;
    case 'r':
        out += '\r';
        return;
    case 't':
        out += '\t';
        return;
    case 'u':
        break;
    default:
        fail("an unknown escape in a string");
    }
    uint32_t code = hex4();
    // A surrogate pair is one code point; a lone surrogate is kept as it is.
    if (code >= 0xD800 && code < 0xDC00 && peekByte() == '\\') {
        ++pos_;
        if (peekByte() != 'u') {
            AppendUtf8(out, code);
            appendEscape(out);
            return;
        }
        ++pos_;
        const uint32_t low = hex4();
        if (low >= 0xDC00 && low < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else {
            AppendUtf8(out, code);
            code = low;
        }
    }
    AppendUtf8(out, code);
}

int64_t SavedScanReader::Parser::parseInteger() {
    char text[64];
    size_t length = 0;
    for (;;) {
        const int c = peekByte();
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'))
            break;
        if (length == sizeof text) fail("a number too long");
        text[length++] = static_cast<char>(c);
        ++pos_;
    }
    int64_t value = 0;
    const auto r = std::from_chars(text, text + length, value);
    if (r.ec == std::errc() && r.ptr == text + length) return value;
    double real = 0;
    const auto d = std::from_chars(text, text + length, real);
    if (length == 0 || d.ec != std::errc() || d.ptr != text + length || !std::isfinite(real))
        fail("expected a number");
    if (real >= 9.2e18) return INT64_MAX;
    if (real <= -9.2e18) return INT64_MIN;
    return static_cast<int64_t>(real);
}

bool SavedScanReader::Parser::parseBool() {
    const int c = peek();
    const char* word = c == 't' ? "true" : c == 'f' ? "false" : c == 'n' ? "null" : nullptr;
    if (!word) fail("expected true or false");
    for (const char* at = word; *at; ++at) {
        if (peekByte() != static_cast<unsigned char>(*at)) fail("expected true or false");
        ++pos_;
    }
    return c == 't';
}

// Any value, nested or not, without keeping it.
void SavedScanReader::Parser::skipValue() {
    std::vector<char> closers; // of the containers open
    for (;;) {
        bool closed = false;
        const int c = peek();
        if (c == '{' || c == '[') {
            ++pos_;
            const char closer = c == '{' ? '}' : ']';
            if (peek() == closer) {
                ++pos_;
                closed = true;
            } else {
                closers.push_back(closer);
                if (closer == '}') {
                    parseString(key_);
                    expect(':', "':'");
                }
                continue;
            }
        }
        if (!closed) {
            if (c == '"') {
                parseString(key_);
            } else if (c == 't' || c == 'f' || c == 'n') {
                parseBool();
            } else {
                parseInteger();
            }
        }
        for (;;) { // after a value: more of its container, or the container's end
            if (closers.empty()) return;
            const int d = peek();
            if (d == ',') {
                ++pos_;
                if (closers.back() == '}') {
                    parseString(key_);
                    expect(':', "':'");
                }
                break;
            }
            if (d != static_cast<unsigned char>(closers.back())) fail("expected ',' or an end");
            ++pos_;
            closers.pop_back();
        }
    }
}

void SavedScanReader::Parser::parseMetadata() {
    expect('{', "the metadata object");
    if (peek() == '}') {
        ++pos_;
        return;
    }
    std::string value;
    for (;;) {
        parseString(key_);
        expect(':', "':'");
        const int c = peek();
        if (key_ == "progname" && c == '"') {
            parseString(info_.program);
        } else if (key_ == "timestamp" && c != '"') {
            info_.timestamp = parseInteger();
        } else if (key_ == "vintrel_host" && c == '"') {
            parseString(info_.host);
        } else if (key_ == "vintrel_machine" && c == '"') {
            parseString(info_.machine);
        } else {
            skipValue();
        }
        if (peek() == ',') {
            ++pos_;
            continue;
        }
        expect('}', "',' or '}' in the metadata");
        return;
    }
}

void SavedScanReader::Parser::parseEntry(EntryFields& f) {
    f.reset();
    expect('{', "an entry's object");
    if (peek() == '}') fail("an entry without a name");
    for (;;) {
        parseString(key_);
        expect(':', "':'");
        const std::string_view key = key_;
        const int c = peek();
        const bool number = c == '-' || (c >= '0' && c <= '9');
        if (key == "name") {
            parseString(f.name);
            f.hadName = true;
        } else if (number && key == "asize") {
            f.asize = parseInteger();
        } else if (number && key == "dsize") {
            f.dsize = parseInteger();
            missing_.allocated = false;
        } else if (number && key == "mtime") {
            f.mtime = parseInteger(), f.hadMtime = true;
        } else if (number && key == "mode") {
            f.mode = parseInteger(), f.hadMode = true;
        } else if (number && key == "uid") {
            f.uid = parseInteger();
        } else if (number && key == "gid") {
            f.gid = parseInteger();
        } else if (number && key == "ino") {
            f.ino = parseInteger();
        } else if (number && key == "dev") {
            f.dev = parseInteger(), f.hadDev = true;
        } else if (number && key == "nlink") {
            f.nlink = parseInteger(), f.hadNlink = true;
        } else if (key == "hlnkc") {
            f.hardLinked = parseBool();
        } else if (key == "notreg") {
            f.notRegular = parseBool();
        } else if (key == "read_error") {
            f.readError = parseBool();
        } else if (key == "excluded") {
            f.hadExcluded = true;
            if (c == '"') {
                parseString(key_);
                f.excluded = key_ == "otherfs"  ? SavedFolder::Excluded::OtherFileSystem
                             : key_ == "kernfs" ? SavedFolder::Excluded::PseudoFileSystem
                                                : SavedFolder::Excluded::Pattern;
            } else {
                f.hadExcluded = parseBool();
                f.excluded = SavedFolder::Excluded::Pattern;
            }
        } else if (number && key == "vintrel_mtime_ns") {
            f.mtimeNs = parseInteger();
        } else if (number && key == "vintrel_btime") {
            f.btime = parseInteger(), f.hadBtime = true;
        } else if (number && key == "vintrel_btime_ns") {
            f.btimeNs = parseInteger();
        } else if (key == "vintrel_attr" && c == '"') {
            parseString(key_);
            f.immutable = key_.find('i') != std::string::npos;
            f.compressed = key_.find('c') != std::string::npos;
        } else if (key == "vintrel_partial") {
            f.partial = parseBool();
        } else if (key == "vintrel_unknown") {
            f.unknown = parseBool();
        } else {
            skipValue();
        }
        if (peek() == ',') {
            ++pos_;
            continue;
        }
        expect('}', "',' or '}' in an entry");
        break;
    }
    if (!f.hadName) fail("an entry without a name");
}

namespace {

uint32_t Clamped32(int64_t value) {
    return value < 0 ? 0 : value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

FileTime TimeOf(int64_t seconds, int64_t nanoseconds) {
    if (nanoseconds < 0 || nanoseconds > 999'999'999) nanoseconds = 0;
    return FileTimeFromUnix(seconds, static_cast<uint32_t>(nanoseconds));
}

} // namespace

FindRecord SavedScanReader::Parser::fileRecord(const EntryFields& f, uint64_t device) {
    FindRecord r;
    r.name = f.name;
    r.attributes = IsHiddenName(f.name) ? kAttrHidden : 0;
    if (f.unknown) {
        r.detailsKnown = false;
        return r;
    }
    if (f.hadMode) {
        r.mode = Clamped32(f.mode);
        const mode_t type = r.mode & S_IFMT;
        if (type == S_IFLNK) r.attributes |= kAttrReparsePoint;
        if (type == S_IFCHR || type == S_IFBLK || type == S_IFIFO || type == S_IFSOCK)
            r.attributes |= kAttrSystem;
        if (type != S_IFLNK && (!(r.mode & S_IWUSR) || f.immutable)) r.attributes |= kAttrReadOnly;
    } else {
        ++missing_.mode;
        if (f.notRegular) r.attributes |= kAttrSystem; // a link cannot be told from a FIFO
    }
    if (f.compressed) r.attributes |= kAttrCompressed;
    r.size = f.asize < 0 ? 0 : f.asize;
    r.allocated = f.dsize < 0 ? 0 : f.dsize;
    r.identity = {device, static_cast<uint64_t>(f.ino)};
    r.linkCount = f.hadNlink ? Clamped32(f.nlink) : f.hardLinked ? 2 : 1;
    if (r.linkCount > 1 && f.ino == 0) ++missing_.linkWithoutInode;
    r.uid = Clamped32(f.uid);
    r.gid = Clamped32(f.gid);
    if (f.hadMtime) {
        r.modified = TimeOf(f.mtime, f.mtimeNs);
    } else {
        r.modified = kUnknownFileTime;
        ++missing_.modified;
    }
    if (f.hadBtime) {
        r.created = TimeOf(f.btime, f.btimeNs);
    } else {
        r.created = r.modified;
        if (!ownFile_) ++missing_.birth;
    }
    return r;
}

FindRecord SavedScanReader::Parser::folderRecord(const EntryFields& f, uint64_t device) const {
    FindRecord r;
    r.name = f.name;
    r.attributes = kAttrDirectory | (IsHiddenName(f.name) ? kAttrHidden : 0);
    r.identity = {device, static_cast<uint64_t>(f.ino)};
    r.mode = Clamped32(f.mode);
    r.size = f.asize < 0 ? 0 : f.asize;
    r.allocated = f.dsize < 0 ? 0 : f.dsize;
    r.modified = r.created = f.hadMtime ? TimeOf(f.mtime, f.mtimeNs) : kUnknownFileTime;
    return r;
}

bool SavedScanReader::Parser::run(SavedScanSink& sink) {
    expect('[', "'[' at the start");
    if (parseInteger() != 1) fail("a scan file of another major version");
    expect(',', "','");
    parseInteger();
    expect(',', "','");
    parseMetadata();
    ownFile_ = info_.program == "vintrel2";
    expect(',', "','");
    if (peek() != '[') fail("the scan's root is not a folder");
    ++pos_;

    EntryFields f;
    parseEntry(f);
    const uint64_t rootDevice = static_cast<uint64_t>(f.dev);
    sink.root(f.name, folderRecord(f, rootDevice));
    if (sink.stopRequested()) return false;
    std::vector<Level> levels{{rootDevice, true, true}};
    size_t sinceStopCheck = 0;
    while (!levels.empty()) {
        const int c = peek();
        if (c == ']') {
            ++pos_;
            if (levels.back().announced) sink.leaveFolder();
            levels.pop_back();
            continue;
        }
        if (c != ',') fail(c < 0 ? "the file ends inside a folder" : "expected ',' or ']'");
        ++pos_;
        if (++sinceStopCheck == 256) {
            sinceStopCheck = 0;
            if (sink.stopRequested()) return false;
        }
        const Level& level = levels.back();
        const int item = peek();
        if (item == '[') {
            ++pos_;
            parseEntry(f);
            const uint64_t device = f.hadDev ? static_cast<uint64_t>(f.dev) : level.device;
            // ncdu marks a folder it read in part as it marks one it could not read: with
            // entries after it, it was read in part.
            const bool partial = f.partial || (f.readError && peek() == ',');
            const SavedFolder saved{f.hadExcluded ? f.excluded : SavedFolder::Excluded::No,
                                    f.readError, partial};
            if (level.wanted) {
                const bool wanted = sink.enterFolder(folderRecord(f, device), saved);
                levels.push_back({device, wanted, true});
            } else {
                levels.push_back({device, false, false});
            }
        } else if (item == '{') {
            parseEntry(f);
            if (!level.wanted) continue;
            const uint64_t device = f.hadDev ? static_cast<uint64_t>(f.dev) : level.device;
            if (f.hadExcluded || (f.hadMode && S_ISDIR(f.mode))) { // a folder without entries
                const SavedFolder saved{f.hadExcluded ? f.excluded : SavedFolder::Excluded::No,
                                        f.readError, false};
                sink.enterFolder(folderRecord(f, device), saved);
                sink.leaveFolder();
            } else {
                sink.entry(fileRecord(f, level.device));
            }
        } else {
            fail("expected an entry");
        }
    }
    expect(']', "']' at the end");
    if (peek() >= 0) fail("more after the end of the scan");
    return true;
}

SavedScanReader::SavedScanReader(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
SavedScanReader::~SavedScanReader() = default;

void SavedScanReader::read(SavedScanSink& sink) {
    info_ = {};
    missing_ = {};
    Parser parser(fd_, name_, info_, missing_);
    complete_ = parser.run(sink);
}

int OpenSavedScanFile(const std::string& path) {
    // Not blocking, so that a FIFO in its place is refused instead of waited on.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file) return -1;
    struct stat st {};
    if (fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    fcntl(file.get(), F_SETFL, fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return file.release();
}

namespace {

// Takes the root and asks the reader to stop there.
class HeaderSink final : public SavedScanSink {
  public:
    void root(std::string_view path, const FindRecord&) override {
        root_ = path;
        done_ = true;
    }
    bool enterFolder(const FindRecord&, const SavedFolder&) override { return false; }
    void leaveFolder() override {}
    void entry(const FindRecord&) override {}
    bool stopRequested() const override { return done_; }
    const std::string& rootPath() const { return root_; }

  private:
    std::string root_;
    bool done_ = false;
};

} // namespace

std::optional<SavedScanHeader> ReadSavedScanHeader(const std::string& path) {
    const Descriptor file(OpenSavedScanFile(path));
    if (!file) return std::nullopt;
    try {
        SavedScanReader reader(file.get(), path);
        HeaderSink sink;
        reader.read(sink);
        if (sink.rootPath().empty()) return std::nullopt;
        return SavedScanHeader{reader.info(), sink.rootPath()};
    } catch (const std::exception&) {
        return std::nullopt; // not a saved scan
    }
}

} // namespace vintrel
