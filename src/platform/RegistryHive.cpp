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

RegistryHive RegistryHive::Parse(std::string_view text, const std::string& fileName) {
    RegistryHive hive;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.remove_prefix(3);
    if (text.empty()) return hive;

    const auto fail = [&](size_t lineNumber, const std::string& why) {
        throw RegistryError("The registry file \"" + DisplayText(fileName) +
                            "\" cannot be read at line " + std::to_string(lineNumber) + ": " + why +
                            ". It was left unchanged.");
    };
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    std::string_view version = lines[0];
    while (!version.empty() && version.back() == ' ') version.remove_suffix(1);
    if (version != kVersionLine)
        fail(1, "it does not begin with \"" + std::string(kVersionLine) + "\"");

    bool continued = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::vector<std::string>& block =
            hive.sections_.empty() ? hive.preamble_ : hive.sections_.back().body;
        if (continued) {
            continued = !line.empty() && line.back() == '\\';
            block.push_back(line);
            continue;
        }
        std::string_view trimmed = line;
        while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t'))
            trimmed.remove_prefix(1);
        if (trimmed.empty() || trimmed.front() == ';') {
            block.push_back(line);
        } else if (trimmed.front() == '[') {
            if (trimmed.back() != ']') fail(i + 1, "a key name without its closing \"]\"");
            Section section;
            section.header = line;
            const std::string_view name = trimmed.substr(1, trimmed.size() - 2);
            if (name.rfind(kUserRoot, 0) == 0 &&
                (name.size() == kUserRoot.size() || name[kUserRoot.size()] == '\\')) {
                section.isUserKey = true;
                section.path = Normalized(name.substr(kUserRoot.size()));
                section.foldedPath = Folded(section.path);
            }
            hive.sections_.push_back(std::move(section));
        } else if (IsValueLine(trimmed)) {
            if (hive.sections_.empty()) fail(i + 1, "a value outside any key");
            if (trimmed.rfind("@=\"", 0) == 0 && !ReadQuoted(trimmed.substr(2))) {
                fail(i + 1, "a default value that is not a complete quoted text");
            }
            continued = trimmed.back() == '\\';
            block.push_back(line);
        } else {
            fail(i + 1, "\"" + DisplayText(line.substr(0, 60)) + "\" is neither a key nor a value");
        }
    }
    // A file that ends with a line break leaves one empty line behind: not part of the text.
    auto& last = hive.sections_.empty() ? hive.preamble_ : hive.sections_.back().body;
    if (!last.empty() && last.back().empty() && text.back() == '\n') last.pop_back();
    return hive;
}

std::string RegistryHive::serialize() const {
    std::string text(kVersionLine);
    text += '\n';
    for (const std::string& line : preamble_) text += line + '\n';
    for (const Section& section : sections_) {
        text += section.header + '\n';
        for (const std::string& line : section.body) text += line + '\n';
    }
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

bool RegistryHive::exists(std::string_view path) const {
    const std::string folded = Folded(Normalized(path));
    if (folded.empty()) return true; // HKEY_CURRENT_USER itself
    for (const Section& section : sections_) {
        if (!section.isUserKey) continue;
        if (section.foldedPath == folded || (section.foldedPath.size() > folded.size() &&
                                             section.foldedPath.rfind(folded + "\\", 0) == 0)) {
            return true;
        }
    }
    return false;
}

std::string RegistryHive::storedCasePrefix(const std::vector<std::string>& components,
                                           size_t count) const {
    // The letter case of existing keys is kept; only new names take the case given.
    std::vector<std::string> stored(components.begin(), components.begin() + count);
    for (const Section& section : sections_) {
        if (!section.isUserKey) continue;
        const std::vector<std::string> parts = Components(section.path);
        size_t same = 0;
        while (same < count && same < parts.size() &&
               Folded(parts[same]) == Folded(components[same]))
            ++same;
        for (size_t i = 0; i < same; ++i) stored[i] = parts[i];
        if (same == count) break;
    }
    return Join(stored, count);
}

std::vector<std::string>& RegistryHive::lastBlock() {
    return sections_.empty() ? preamble_ : sections_.back().body;
}

bool RegistryHive::create(std::string_view path) {
    const std::vector<std::string> parts = Components(path);
    bool added = false;
    for (size_t count = 1; count <= parts.size(); ++count) {
        const std::string prefix = Join(parts, count);
        const bool needed = count == parts.size() ? ownSection(prefix) == nullptr : !exists(prefix);
        if (!needed) continue;
        added = true;
        const std::string stored = storedCasePrefix(parts, count);
        std::vector<std::string>& before = lastBlock();
        if (!(sections_.empty() && preamble_.empty()) &&
            (before.empty() || !before.back().empty())) {
            before.emplace_back();
        }
        Section section;
        section.header = "[" + std::string(kUserRoot) + "\\" + stored + "]";
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
    std::vector<std::string>& body = section->body;
    const auto old = std::find_if(body.begin(), body.end(),
                                  [](const std::string& line) { return line.rfind("@=", 0) == 0; });
    if (old != body.end()) {
        auto end = std::next(old);
        bool continued = !old->empty() && old->back() == '\\';
        while (continued && end != body.end()) continued = !end->empty() && (end++)->back() == '\\';
        const auto at = body.erase(old, end);
        body.insert(at, DefaultValueLine(value));
        return;
    }
    auto at = body.end();
    while (at != body.begin() && std::prev(at)->empty()) --at;
    body.insert(at, DefaultValueLine(value));
}

std::optional<std::string> RegistryHive::defaultValue(std::string_view path) const {
    const Section* section = ownSection(path);
    if (!section) return std::nullopt;
    for (const std::string& line : section->body) {
        if (line.rfind("@=", 0) == 0) return ReadQuoted(std::string_view(line).substr(2));
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
