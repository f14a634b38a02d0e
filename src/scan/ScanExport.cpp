#include "ScanExport.h"

#include "JsonText.h"
#include "Version.h"

#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vintrel {

namespace {

constexpr size_t kFlushAt = 1 << 18;

void Key(std::string& out, std::string_view key) {
    out += ",\"";
    out += key;
    out += "\":";
}

void IntegerField(std::string& out, std::string_view key, int64_t value) {
    Key(out, key);
    AppendJsonInteger(out, value);
}

// Whole seconds since 1970 and the nanoseconds past them.
void SplitFileTime(FileTime time, int64_t& seconds, int64_t& nanoseconds) {
    seconds = UnixSecondsOf(time);
    nanoseconds = (time - kUnixEpochInTicks - seconds * kTicksPerSecond) * 100;
}

void TimeFields(std::string& out, std::string_view key, std::string_view nanosecondsKey,
                FileTime time) {
    int64_t seconds = 0, nanoseconds = 0;
    SplitFileTime(time, seconds, nanoseconds);
    IntegerField(out, key, seconds);
    if (nanoseconds != 0) IntegerField(out, nanosecondsKey, nanoseconds);
}

} // namespace

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string MachineId() {
    std::ifstream file("/etc/machine-id");
    std::string id;
    std::getline(file, id);
    return id;
}

ScanExporter::ScanExporter(Output out) : out_(std::move(out)) {}

void ScanExporter::flushIfFull() {
    if (buffer_.size() < kFlushAt) return;
    out_(buffer_);
    buffer_.clear();
}

void ScanExporter::root(const std::string& path) {
    buffer_ += "[1,2,{\"progname\":\"vintrel2\",\"progver\":";
    AppendJsonString(buffer_, kVersion);
    IntegerField(buffer_, "timestamp", static_cast<int64_t>(std::time(nullptr)));
    Key(buffer_, "vintrel_host");
    AppendJsonString(buffer_, HostName());
    Key(buffer_, "vintrel_machine");
    AppendJsonString(buffer_, MachineId());
    buffer_ += "},\n[{\"name\":";
    AppendJsonString(buffer_, path);
    struct stat st {};
    uint64_t device = 0;
    if (::stat(path.c_str(), &st) == 0) {
        device = st.st_dev;
        if (st.st_size != 0) IntegerField(buffer_, "asize", st.st_size);
        if (st.st_blocks != 0) IntegerField(buffer_, "dsize", st.st_blocks * 512);
        IntegerField(buffer_, "dev", static_cast<int64_t>(device));
        IntegerField(buffer_, "uid", st.st_uid);
        IntegerField(buffer_, "gid", st.st_gid);
        IntegerField(buffer_, "mode", st.st_mode);
        IntegerField(buffer_, "mtime", st.st_mtim.tv_sec);
    }
    buffer_ += '}';
    devices_.assign(1, device);
}

void ScanExporter::openObject(const FindRecord& entry, bool folder) {
    buffer_ += ",\n";
    if (folder) buffer_ += '[';
    buffer_ += "{\"name\":";
    AppendJsonString(buffer_, entry.name);
    if (!entry.detailsKnown) {
        buffer_ += ",\"vintrel_unknown\":true";
        return;
    }
    if (entry.size != 0) IntegerField(buffer_, "asize", entry.size);
    if (entry.allocated != 0) IntegerField(buffer_, "dsize", entry.allocated);
    if (folder) {
        if (entry.identity.device != devices_.back() && entry.identity.known())
            IntegerField(buffer_, "dev", static_cast<int64_t>(entry.identity.device));
    } else if (entry.linkCount > 1) {
        IntegerField(buffer_, "ino", static_cast<int64_t>(entry.identity.inode));
        buffer_ += ",\"hlnkc\":true";
        IntegerField(buffer_, "nlink", entry.linkCount);
    }
    if (entry.mode != 0) {
        IntegerField(buffer_, "uid", entry.uid);
        IntegerField(buffer_, "gid", entry.gid);
        IntegerField(buffer_, "mode", entry.mode);
    }
    TimeFields(buffer_, "mtime", "vintrel_mtime_ns", entry.modified);
    if (entry.created != entry.modified)
        TimeFields(buffer_, "vintrel_btime", "vintrel_btime_ns", entry.created);
    // What the mode does not tell: read-only by the immutable attribute, compression.
    const bool immutable = (entry.attributes & kAttrReadOnly) && (entry.mode & S_IWUSR);
    const bool compressed = entry.attributes & kAttrCompressed;
    if (immutable || compressed) {
        Key(buffer_, "vintrel_attr");
        buffer_ += immutable ? (compressed ? "\"ic\"" : "\"i\"") : "\"c\"";
    }
    if (!folder && entry.mode != 0 && !S_ISREG(entry.mode)) buffer_ += ",\"notreg\":true";
}

void ScanExporter::enterFolder(const FindRecord& folder, bool readError) {
    openObject(folder, true);
    // Read up to an error: its entries read so far follow.
    if (readError) buffer_ += ",\"read_error\":true,\"vintrel_partial\":true";
    buffer_ += '}';
    devices_.push_back(folder.identity.known() ? folder.identity.device : devices_.back());
    flushIfFull();
}

void ScanExporter::leaveFolder() {
    buffer_ += ']';
    devices_.pop_back();
}

void ScanExporter::folderNotEntered(const FindRecord& folder, NotEntered why) {
    if (why == NotEntered::Unreadable) { // an empty folder that says so
        openObject(folder, true);
        buffer_ += ",\"read_error\":true}]";
        return;
    }
    openObject(folder, false);
    buffer_ += why == NotEntered::Excluded          ? ",\"excluded\":\"pattern\"}"
               : why == NotEntered::OtherFileSystem ? ",\"excluded\":\"otherfs\"}"
                                                    : ",\"excluded\":\"kernfs\"}";
    flushIfFull();
}

void ScanExporter::entry(const FindRecord& entry) {
    openObject(entry, false);
    buffer_ += '}';
    flushIfFull();
}

void ScanExporter::finish() {
    buffer_ += "]\n"; // the root folder was closed as it was left
    out_(buffer_);
    buffer_.clear();
}

} // namespace vintrel
