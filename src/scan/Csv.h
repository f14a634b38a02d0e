#pragma once
// CSV lines, the line text, and the CSV file: UTF-16 little-endian with a byte-order mark.

#include "SafeFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

// Fields joined by commas; a field holding U+0001..U+0020, a quotation mark or a comma is
// quoted with its quotation marks doubled. A line of one empty field is "".
std::string CsvLine(const std::vector<std::string_view>& fields);
void AppendCsvField(std::string& out, std::string_view field);

// Every line followed by CR LF, the last one included.
std::string LineText(const std::vector<std::string>& lines);
// Appends one CSV line and its CR LF to a line text.
void AppendCsvLine(std::string& lineText, const std::vector<std::string_view>& fields);

// FF FE, then the text as UTF-16 little-endian; nothing after it.
std::string CsvFileBytes(std::string_view lineText);

// "Cannot create file "NAME". reason"
std::string CannotCreate(const std::string& fileName, const FileWriteResult& result);

// Writes the CSV file of the lines; an existing file is replaced only once the new one is
// complete (see WriteFileReplacing). Raises UserError "Cannot create file "…". reason" or
// "Stream write error".
void SaveLinesToFile(const std::vector<std::string>& lines, const std::string& fileName);
void SaveLineTextToFile(std::string_view lineText, const std::string& fileName);

// The same file for a line text that comes in pieces, written as it comes (FF FE, then
// UTF-16 little-endian). The constructor raises "Cannot create file …", finish() raises
// either message ("Stream write error. " and the reason); without finish() the file stays
// as it was.
class CsvFileWriter {
  public:
    explicit CsvFileWriter(std::string fileName);
    void add(std::string_view lineText);
    void finish();
    // finish() where no file of the name exists (a partial result); false leaves the one
    // that does as it was. A descriptor, FIFO or device keeps what was written either way.
    bool finishIfNew();
    bool writesDirectly() const { return writer_.writesDirectly(); }

  private:
    void raiseFor(const FileWriteResult& result) const;
    void flush();

    std::string fileName_;
    ReplacingFileWriter writer_;
    std::string pending_; // UTF-16 bytes not yet written
};

} // namespace vintrel
