#include "TypeDescription.h"

#include "ShownText.h"

#include <fnmatch.h>
#include <QFile>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>
#include <QString>
#include <unordered_map>
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

    bool mayKnow(const QString& fileName) const {
        const QString name = fileName.toLower();
        for (qsizetype dot = name.indexOf(u'.'); dot >= 0; dot = name.indexOf(u'.', dot + 1)) {
            if (suffixes_.contains(name.mid(dot + 1))) return true;
        }
        const std::string bytes = name.toStdString();
        for (const std::string& pattern : others_) {
            const char first = pattern.front();
            if (first != '*' && first != '?' && first != '[' && first != bytes.front()) continue;
            if (fnmatch(pattern.c_str(), bytes.c_str(), 0) == 0) return true;
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
            suffixes_.insert(suffix);
        } else {
            others_.push_back(pattern.toStdString());
        }
    }

    QSet<QString> suffixes_;          // of the patterns "*.suffix"
    std::vector<std::string> others_; // every other pattern, lower-case
};

} // namespace

std::string FallbackTypeDescription(std::string_view typeText) {
    const QString bare = ShownText(typeText.empty() ? typeText : typeText.substr(1));
    if (bare.isEmpty()) return "File";
    return Limited(bare.toUpper() + QStringLiteral(" File"));
}

std::string GetTypeDescription(std::string_view typeText) {
    static const QMimeDatabase database;
    static const KnownNames known(database);
    const QString fileName = QStringLiteral("x") + ShownText(typeText);
    if (!known.mayKnow(fileName)) return FallbackTypeDescription(typeText);
    // Only the look-ups of the database are worth keeping (about 30 us each).
    static std::unordered_map<std::string, std::string> cache;
    if (const auto found = cache.find(std::string(typeText)); found != cache.end()) {
        return found->second;
    }
    const QList<QMimeType> types = database.mimeTypesForFileName(fileName);
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
