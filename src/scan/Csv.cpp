#include "Csv.h"

#include "Errors.h"
#include "SafeFile.h"
#include "Utf8.h"

#include <algorithm>
#include <cerrno>

namespace vintrel {

namespace {

bool NeedsQuotes(std::string_view field) {
    return std::any_of(field.begin(), field.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte >= 0x01 && byte <= 0x20) || c == '"' || c == ',';
    });
}

} // namespace

std::string CannotCreate(const std::string& fileName, const FileWriteResult& result) {
    return "Cannot create file \"" + DisplayText(fileName) + "\". " + result.text();
}

void AppendCsvField(std::string& out, std::string_view field) {
    if (!NeedsQuotes(field)) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string CsvLine(const std::vector<std::string_view>& fields) {
    std::string line;
    AppendCsvLine(line, fields);
    line.resize(line.size() - 2); // without its CR LF
    return line;
}

std::string LineText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string CsvFileBytes(std::string_view lineText) {
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + lineText.size() * 2);
    AppendUtf16LE(bytes, lineText);
    return bytes;
}

void AppendCsvLine(std::string& lineText, const std::vector<std::string_view>& fields) {
    if (fields.size() == 1 && fields[0].empty()) {
        lineText += "\"\"";
    } else {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) lineText += ',';
            AppendCsvField(lineText, fields[i]);
        }
    }
    lineText += "\r\n";
}

void SaveLinesToFile(const std::vector<std::string>& lines, const std::string& fileName) {
    SaveLineTextToFile(LineText(lines), fileName);
}

void SaveLineTextToFile(std::string_view lineText, const std::string& fileName) {
    CsvFileWriter file(fileName);
    file.add(lineText);
    file.finish();
}

CsvFileWriter::CsvFileWriter(std::string fileName)
    : fileName_(std::move(fileName)), writer_(fileName_), pending_("\xFF\xFE") {
    raiseFor(writer_.open());
}

void CsvFileWriter::add(std::string_view lineText) {
    constexpr size_t kPiece = 1 << 16;
    while (!lineText.empty()) {
        // Cut where no character continues: a byte that is not 10xxxxxx starts one.
        size_t cut = std::min(kPiece, lineText.size());
        while (cut < lineText.size() && (static_cast<unsigned char>(lineText[cut]) & 0xC0) == 0x80)
            ++cut;
        pending_.reserve(pending_.size() + cut * 2);
        AppendUtf16LE(pending_, lineText.substr(0, cut));
        lineText.remove_prefix(cut);
        if (pending_.size() >= kPiece) flush();
    }
}

void CsvFileWriter::flush() {
    writer_.write(pending_); // a failure comes with the commit
    pending_.clear();
}

void CsvFileWriter::finish() {
    flush();
    raiseFor(writer_.commit());
}

bool CsvFileWriter::finishIfNew() {
    flush();
    const FileWriteResult result = writer_.commitIfNew();
    if (result.failure == FileWriteResult::Failure::Create && result.error == EEXIST) return false;
    raiseFor(result);
    return true;
}

void CsvFileWriter::raiseFor(const FileWriteResult& result) const {
    if (result.failure == FileWriteResult::Failure::Create)
        throw UserError(CannotCreate(fileName_, result));
    if (result.failure == FileWriteResult::Failure::Write)
        throw UserError(StreamWriteError(result.error));
}

} // namespace vintrel
