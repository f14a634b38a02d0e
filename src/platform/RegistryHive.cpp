#include "RegistryHive.h"

#include "Utf8.h"
#include "Wildcard.h"

#include <algorithm>
#include <utility>

namespace vintrel {

namespace {

constexpr std::string_view kUserRoot = "HKEY_CURRENT_USER";

std::string Folded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte < 0x80) { // the common case, without decoding
            out += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
            ++pos;
            continue;
        }
        const char32_t c = FoldCase(NextCodePoint(text, pos));
        if (c >= kRawByteBase) {
            out += static_cast<char>(c - kRawByteBase);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::vector<std::string> Components(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string Join(const std::vector<std::string>& parts, size_t count) {
    std::string path;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) path += '\\';
        path += parts[i];
    }
    return path;
}

// The path with empty components and surrounding separators dropped.
std::string Normalized(std::string_view path) {
    if (!path.empty() && path.front() != '\\' && path.back() != '\\' &&
        path.find("\\\\") == std::string_view::npos) {
        return std::string(path);
    }
    const std::vector<std::string> parts = Components(path);
    return Join(parts, parts.size());
}

std::string DefaultValueLine(std::string_view value) {
    std::string line = "@=\"";
    for (const char c : value) {
        if (c == '\\' || c == '"') line += '\\';
        line += c;
    }
    return line + "\"";
}

// Reads "…" with \\ and \" escapes; the whole rest of the line.
std::optional<std::string> ReadQuoted(std::string_view text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::nullopt;
    std::string value;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            if (i + 2 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"'))
                return std::nullopt;
            c = text[++i];
        } else if (c == '"') {
            return std::nullopt;
        }
        value += c;
    }
    return value;
}

bool IsValueLine(std::string_view line) {
    if (line.rfind("@=", 0) == 0) return true;
    if (line.empty() || line.front() != '"') return false;
    // "name"=…, the name with \\ and \" escapes
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '\\') {
            ++i;
        } else if (line[i] == '"') {
            return i + 1 < line.size() && line[i + 1] == '=';
        }
    }
    return false;
}

} // namespace

RegistryHive RegistryHive::Parse(std::string fileText, const std::string& fileName) {
    RegistryHive hive;
    hive.fileText_ = std::make_shared<const std::string>(std::move(fileText));
    std::string_view text = *hive.fileText_;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
        hive.byteOrderMark_ = true;
        text.remove_prefix(3);
    }
    if (text.empty()) return hive;

    const auto fail = [&](size_t lineNumber, const std::string& why) {
        throw RegistryError("The registry file \"" + DisplayText(fileName) +
                            "\" cannot be read at line " + std::to_string(lineNumber) + ": " + why +
                            ". It was left unchanged.");
    };
    bool continued = false;
    size_t lineNumber = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        Line line;
        if (end == std::string_view::npos) {
            line.text = text.substr(start);
            // Kept in memory with an end, so that lines can follow it; taken off when written.
            hive.endsWithoutLineEnd_ = true;
            line.end = hive.newLineEnd_;
            end = text.size();
        } else {
            const bool crlf = end > start && text[end - 1] == '\r';
            line.text = text.substr(start, end - start - (crlf ? 1 : 0));
            line.end = crlf ? "\r\n" : "\n";
        }
        start = end + 1;
        if (++lineNumber == 1) {
            std::string_view version = line.text;
            while (!version.empty() && version.back() == ' ') version.remove_suffix(1);
            if (version != kVersionLine)
                fail(1, "it does not begin with \"" + std::string(kVersionLine) + "\"");
            if (!hive.endsWithoutLineEnd_) hive.newLineEnd_ = line.end;
            hive.version_ = line;
            continue;
        }
        std::vector<Line>& block = hive.lastBlock();
        if (continued) {
            continued = !line.text.empty() && line.text.back() == '\\';
            block.push_back(line);
            continue;
        }
        std::string_view trimmed = line.text;
        while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t'))
            trimmed.remove_prefix(1);
        if (trimmed.empty() || trimmed.front() == ';') {
            block.push_back(line);
        } else if (trimmed.front() == '[') {
            if (trimmed.back() != ']') fail(lineNumber, "a key name without its closing \"]\"");
            Section& section = hive.sections_.emplace_back();
            const std::string_view name = trimmed.substr(1, trimmed.size() - 2);
            if (name.rfind(kUserRoot, 0) == 0 &&
                (name.size() == kUserRoot.size() || name[kUserRoot.size()] == '\\')) {
                section.isUserKey = true;
                section.path = Normalized(name.substr(kUserRoot.size()));
                section.foldedPath = Folded(section.path);
            }
            section.header = line;
        } else if (IsValueLine(trimmed)) {
            if (hive.sections_.empty()) fail(lineNumber, "a value outside any key");
            if (trimmed.rfind("@=\"", 0) == 0 && !ReadQuoted(trimmed.substr(2))) {
                fail(lineNumber, "a default value that is not a complete quoted text");
            }
            continued = trimmed.back() == '\\';
            block.push_back(line);
        } else {
            fail(lineNumber,
                 "\"" + DisplayText(line.text.substr(0, 60)) + "\" is neither a key nor a value");
        }
    }
    return hive;
}

std::string_view RegistryHive::keep(std::string text) {
    return addedTexts_->emplace_back(std::move(text));
}

std::string RegistryHive::serialize() const {
    size_t size = 3 + version_.text.size() + 2;
    for (const Line& line : preamble_) size += line.text.size() + line.end.size();
    for (const Section& section : sections_) {
        size += section.header.text.size() + 2;
        for (const Line& line : section.body) size += line.text.size() + line.end.size();
    }
    std::string text;
    text.reserve(size);
    size_t lastEnd = 0;
    const auto put = [&](const Line& line) {
        text += line.text;
        text += line.end;
        lastEnd = line.end.size();
    };
    if (byteOrderMark_) text += "\xEF\xBB\xBF";
    put(version_);
    for (const Line& line : preamble_) put(line);
    for (const Section& section : sections_) {
        for (const Line& line : section.separator) put(line);
        put(section.header);
        for (const Line& line : section.body) put(line);
    }
    if (endsWithoutLineEnd_) text.resize(text.size() - lastEnd);
    return text;
}

const RegistryHive::Section* RegistryHive::ownSection(std::string_view path) const {
    const std::string folded = Folded(Normalized(path));
    for (const Section& section : sections_) {
        if (section.isUserKey && section.foldedPath == folded) return &section;
    }
    return nullptr;
}

RegistryHive::Section* RegistryHive::ownSection(std::string_view path) {
    return const_cast<Section*>(std::as_const(*this).ownSection(path));
}

namespace {

// Whether the folded path is `prefix` or lies below it.
bool IsAtOrBelow(std::string_view foldedPath, std::string_view prefix) {
    return foldedPath.size() >= prefix.size() &&
           foldedPath.compare(0, prefix.size(), prefix) == 0 &&
           (foldedPath.size() == prefix.size() || prefix.empty() ||
            foldedPath[prefix.size()] == '\\');
}

} // namespace

bool RegistryHive::exists(std::string_view path) const {
    const std::string folded = Folded(Normalized(path));
    if (folded.empty()) return true; // HKEY_CURRENT_USER itself
    return std::any_of(sections_.begin(), sections_.end(), [&](const Section& section) {
        return section.isUserKey && IsAtOrBelow(section.foldedPath, folded);
    });
}

RegistryHive::Placement RegistryHive::placementOf(const std::vector<std::string>& parts) const {
    // The letter case of existing keys is kept, as the first key of each name has it; only
    // new names take the case given.
    Placement placement{0, false, parts};
    const size_t count = parts.size();
    std::vector<std::string> foldedPrefixes(count + 1);
    for (size_t k = 1; k <= count; ++k) foldedPrefixes[k] = Folded(Join(parts, k));
    for (const Section& section : sections_) {
        if (!section.isUserKey) continue;
        size_t same = count;
        while (same > placement.existing && !IsAtOrBelow(section.foldedPath, foldedPrefixes[same]))
            --same;
        if (same == count && section.foldedPath == foldedPrefixes[count])
            placement.ownSection = true;
        if (same == placement.existing) continue;
        const std::vector<std::string> stored = Components(section.path);
        for (size_t i = placement.existing; i < same; ++i) placement.storedCase[i] = stored[i];
        placement.existing = same;
    }
    return placement;
}

std::vector<RegistryHive::Line>& RegistryHive::lastBlock() {
    return sections_.empty() ? preamble_ : sections_.back().body;
}

bool RegistryHive::create(std::string_view path) {
    const std::vector<std::string> parts = Components(path);
    const Placement placement = placementOf(parts);
    bool added = false;
    for (size_t count = 1; count <= parts.size(); ++count) {
        // A parent exists while any key lies below it; the key itself needs its own section.
        const bool needed =
            count == parts.size() ? !placement.ownSection : count > placement.existing;
        if (!needed) continue;
        added = true;
        const std::string stored = Join(placement.storedCase, count);
        const std::vector<Line>& before = lastBlock();
        Section section;
        if (!(sections_.empty() && preamble_.empty()) &&
            (before.empty() || !before.back().text.empty())) {
            section.separator.push_back(newLine(""));
        }
        section.header = newLine("[" + std::string(kUserRoot) + "\\" + stored + "]");
        section.path = stored;
        section.foldedPath = Folded(stored);
        section.isUserKey = true;
        sections_.push_back(std::move(section));
    }
    return added;
}

void RegistryHive::setDefault(std::string_view path, std::string_view value) {
    Section* section = ownSection(path);
    if (!section) throw RegistryError("No such key: " + std::string(path));
    // A quoted value lives on one line: it has no way to carry a line break.
    if (value.find_first_of("\r\n") != std::string_view::npos)
        throw RegistryError("A value with a line break cannot be stored");
    std::vector<Line>& body = section->body;
    const auto old = std::find_if(body.begin(), body.end(),
                                  [](const Line& line) { return line.text.rfind("@=", 0) == 0; });
    if (old != body.end()) {
        auto end = std::next(old);
        bool continued = !old->text.empty() && old->text.back() == '\\';
        while (continued && end != body.end())
            continued = !end->text.empty() && (end++)->text.back() == '\\';
        Line replacement{keep(DefaultValueLine(value)), std::prev(end)->end};
        const auto at = body.erase(old, end);
        body.insert(at, std::move(replacement));
        return;
    }
    auto at = body.end();
    while (at != body.begin() && std::prev(at)->text.empty()) --at;
    body.insert(at, newLine(DefaultValueLine(value)));
}

std::optional<std::string> RegistryHive::defaultValue(std::string_view path) const {
    const Section* section = ownSection(path);
    if (!section) return std::nullopt;
    for (const Line& line : section->body) {
        if (line.text.rfind("@=", 0) == 0) return ReadQuoted(std::string_view(line.text).substr(2));
    }
    return std::nullopt;
}

std::vector<std::string> RegistryHive::subkeys(std::string_view path) const {
    const std::string folded = Folded(Normalized(path));
    const std::string prefix = folded.empty() ? "" : folded + "\\";
    std::vector<std::string> names, foldedNames;
    for (const Section& section : sections_) {
        if (!section.isUserKey || section.foldedPath.size() <= prefix.size() ||
            section.foldedPath.rfind(prefix, 0) != 0) {
            continue;
        }
        const std::vector<std::string> parts = Components(section.path);
        const size_t depth = Components(folded).size();
        if (parts.size() <= depth) continue;
        const std::string foldedName = Folded(parts[depth]);
        if (std::find(foldedNames.begin(), foldedNames.end(), foldedName) != foldedNames.end())
            continue;
        foldedNames.push_back(foldedName);
        names.push_back(parts[depth]);
    }
    return names;
}

bool RegistryHive::remove(std::string_view path) {
    if (!subkeys(path).empty()) return false;
    Section* section = ownSection(path);
    if (!section) return false;
    sections_.erase(sections_.begin() + (section - sections_.data()));
    return true;
}

} // namespace vintrel
