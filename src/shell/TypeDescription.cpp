#include "TypeDescription.h"

#include "ShownText.h"

#include <algorithm>
#include <fnmatch.h>
#include <QFile>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QString>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vintrel {

namespace {

constexpr int kMaxDescriptionLength = 80;

std::string Limited(const QString& text) {
    return text.left(kMaxDescriptionLength).toStdString();
}

// The names the MIME database can know at all, from its glob patterns, so that the many
// extensions it does not know cost no look-up (about 30 us each). Errs only towards asking.
class KnownNames {
  public:
    explicit KnownNames(const QMimeDatabase& database) {
        // The database's own glob lists are read directly: asking it for every type's
        // patterns parses each type's XML file, about 0.1 s for the whole database.
        bool found = false;
        for (const QString& folder :
             QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("mime"),
                                       QStandardPaths::LocateDirectory)) {
            found |= addGlobsFile(folder + QStringLiteral("/globs2"));
        }
        if (found) return;
        for (const QMimeType& type : database.allMimeTypes()) {
            for (const QString& glob : type.globPatterns()) add(glob);
        }
    }

    // Whether the database may know a file named "x" + the type text.
    bool mayKnow(std::string_view typeText) const {
        std::string name = "x" + std::string(typeText);
        if (IsAscii(name)) { // no Unicode case mapping needed
            for (char& c : name) {
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            }
        } else {
            name = ShownText(name).toLower().toStdString();
        }
        for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', dot + 1)) {
            if (suffixes_.contains(std::string_view(name).substr(dot + 1))) return true;
        }
        for (const OtherPattern& other : others_) {
            const char first = other.pattern.front();
            if (first != '*' && first != '?' && first != '[' && first != name.front()) continue;
            if (!name.ends_with(other.ending) || name.find(other.contained) == std::string::npos)
                continue;
            if (fnmatch(other.pattern.c_str(), name.c_str(), 0) == 0) return true;
        }
        return false;
    }

  private:
    // Lines "weight:type:pattern[:flags]"; comments start with "#".
    bool addGlobsFile(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return false;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(u'#')) continue;
            const QStringList fields = line.split(u':');
            if (fields.size() >= 3 && !fields[2].isEmpty()) add(fields[2]);
        }
        return true;
    }

    void add(const QString& glob) {
        const QString pattern = glob.toLower();
        const QString suffix = pattern.mid(2);
        const bool simple = pattern.startsWith(QLatin1String("*.")) && !suffix.contains(u'*') &&
                            !suffix.contains(u'?') && !suffix.contains(u'[');
        if (simple) {
            suffixes_.insert(suffix.toStdString());
        } else {
            std::string bytes = pattern.toStdString();
            // After leading stars, the characters up to the next special one are in every
            // name the pattern matches: most names are then ruled out without fnmatch.
            const size_t start = bytes.find_first_not_of('*');
            const size_t end = bytes.find_first_of("*?[\\", start);
            std::string contained =
                start == std::string::npos ? "" : bytes.substr(start, end - start);
            // Likewise the characters after the last special one end every such name.
            const size_t lastSpecial = bytes.find_last_of("*?[]\\");
            std::string ending =
                lastSpecial == std::string::npos ? bytes : bytes.substr(lastSpecial + 1);
            others_.push_back({std::move(bytes), std::move(contained), std::move(ending)});
        }
    }

    struct OtherPattern {
        std::string pattern;   // lower-case
        std::string contained; // a part of every name it matches
        std::string ending;    // the end of every name it matches
    };
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_set<std::string, TextHash, std::equal_to<>> suffixes_; // of "*.suffix"
    std::vector<OtherPattern> others_;                                    // every other pattern
};

} // namespace

std::string FallbackTypeDescription(std::string_view typeText) {
    const std::string_view bareBytes = typeText.empty() ? typeText : typeText.substr(1);
    // ASCII, most names, needs no Unicode case mapping: a type table can hold 100,000 of them.
    if (!bareBytes.empty() && IsAscii(bareBytes)) {
        std::string text(bareBytes);
        for (char& c : text) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        text += " File";
        text.resize(std::min(text.size(), static_cast<size_t>(kMaxDescriptionLength)));
        return text;
    }
    const QString bare = ShownText(bareBytes);
    if (bare.isEmpty()) return "File";
    return Limited(bare.toUpper() + QStringLiteral(" File"));
}

std::string GetTypeDescription(std::string_view typeText) {
    static const QMimeDatabase database;
    static const KnownNames known(database);
    if (!known.mayKnow(typeText)) return FallbackTypeDescription(typeText);
    // Only the look-ups of the database are worth keeping (about 30 us each).
    static std::unordered_map<std::string, std::string> cache;
    if (const auto found = cache.find(std::string(typeText)); found != cache.end()) {
        return found->second;
    }
    const QList<QMimeType> types =
        database.mimeTypesForFileName(QStringLiteral("x") + ShownText(typeText));
    std::string description;
    if (!types.isEmpty() && !types.first().comment().isEmpty()) {
        description = Limited(types.first().comment());
    } else {
        description = FallbackTypeDescription(typeText);
    }
    cache.emplace(std::string(typeText), description);
    return description;
}

} // namespace vintrel
