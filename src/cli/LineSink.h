#pragma once
// Where vintrel2-scan's lines go: standard output, or the CSV file of -o.

#include "Csv.h"

#include <optional>
#include <string>

namespace vintrel {

// Lines to standard output (UTF-8, CR LF) or into the CSV file, as they come.
class LineSink {
  public:
    explicit LineSink(const std::string& fileName) : fileName_(fileName) {
        if (!fileName.empty()) file_.emplace(fileName);
    }

    void add(std::string line);
    // A stopped run's partial result goes to standard output or a descriptor as it is, and
    // into a file only where it replaces none.
    void finish(bool stopped);

  private:
    void flush();

    std::string fileName_;
    std::optional<CsvFileWriter> file_;
    std::string buffer_;
};

} // namespace vintrel
