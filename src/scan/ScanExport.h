#pragma once
// A walk written as a saved scan: the JSON scan file that ncdu and gdu read and write,
// folders as nested arrays, every other entry as an object, with keys of our own (prefixed
// "vintrel_") for what the tables need beyond the common fields.

#include "FolderScanner.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

class ScanExporter : public WalkObserver {
  public:
    using Output = std::function<void(std::string_view)>;
    explicit ScanExporter(Output out);

    void root(const std::string& path) override;
    void enterFolder(const FindRecord& folder, bool readError) override;
    void leaveFolder() override;
    void folderNotEntered(const FindRecord& folder, NotEntered why) override;
    void entry(const FindRecord& entry) override;
    // Closes the root folder and the file; a stopped walk is not finished, so that what was
    // written never reads as a whole scan.
    void finish();

  private:
    // The object of an entry, without its closing brace.
    void openObject(const FindRecord& entry, bool folder);
    void flushIfFull();

    Output out_;
    std::string buffer_;
    std::vector<uint64_t> devices_; // of the folders open, the root first
};

// This machine's host name and machine id, as a saved scan records them.
std::string HostName();
std::string MachineId();

} // namespace vintrel
