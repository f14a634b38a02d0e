// The saved-scan reader: any bytes are read or refused with a UserError, never a crash or a
// hang, and what it hands on is well formed: folders left as often as entered, every entry
// named.

#include "Errors.h"
#include "FuzzCheck.h"
#include "ScanImport.h"

#include <sys/mman.h>
#include <unistd.h>

using namespace vintrel;

namespace {

class CheckingSink : public SavedScanSink {
  public:
    void root(std::string_view, const FindRecord& details) override {
        FUZZ_CHECK(!rooted_);
        FUZZ_CHECK(details.isFolder());
        rooted_ = true;
        depth_ = 1;
    }
    bool enterFolder(const FindRecord& folder, const SavedFolder&) override {
        FUZZ_CHECK(rooted_ && depth_ > 0 && folder.isFolder());
        ++depth_;
        return (++folders_ % 3) != 0; // some folders are not wanted
    }
    void leaveFolder() override {
        FUZZ_CHECK(depth_ > 0);
        --depth_;
    }
    void entry(const FindRecord& entry) override {
        FUZZ_CHECK(rooted_ && depth_ > 0 && !entry.isFolder());
    }
    bool stopRequested() const override { return false; }
    bool balanced() const { return depth_ == 0; }

  private:
    bool rooted_ = false;
    int depth_ = 0;
    int folders_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("scan", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (write(fd, data, size) != static_cast<ssize_t>(size) || lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return 0;
    }
    SavedScanReader reader(fd, "fuzz");
    CheckingSink sink;
    try {
        reader.read(sink);
        FUZZ_CHECK(reader.complete() && sink.balanced());
    } catch (const UserError&) {
    }
    close(fd);
    return 0;
}
