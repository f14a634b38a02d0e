#include "RecordingHost.h"

namespace vintrel::test {

ScanRig::ScanRig() = default;

std::vector<std::string> ScanRig::listed(const std::string& root) const {
    std::vector<std::string> names;
    for (const TFileRec& record : lists.FileList) {
        names.emplace_back(record.FileName.substr(root.size() + 1));
    }
    return names;
}

std::vector<std::string> ScanRig::types() const {
    std::vector<std::string> texts;
    for (size_t i = 0; i < lists.TypeIndex.size(); ++i)
        texts.push_back(lists.TypeIndex[i].Extension);
    return texts;
}

} // namespace vintrel::test
