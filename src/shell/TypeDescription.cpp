#include "TypeDescription.h"

#include "Utf8.h"

#include <QMimeDatabase>
#include <QString>
#include <unordered_map>

namespace vintrel {

namespace {

constexpr int kMaxDescriptionLength = 80;

QString FromBytes(std::string_view bytes) {
    const std::string shown = DisplayText(bytes);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

std::string Limited(const QString& text) {
    return text.left(kMaxDescriptionLength).toStdString();
}

} // namespace

std::string FallbackTypeDescription(std::string_view typeText) {
    const QString bare = FromBytes(typeText.empty() ? typeText : typeText.substr(1));
    if (bare.isEmpty()) return "File";
    return Limited(bare.toUpper() + QStringLiteral(" File"));
}

std::string GetTypeDescription(std::string_view typeText) {
    static std::unordered_map<std::string, std::string> cache;
    if (const auto known = cache.find(std::string(typeText)); known != cache.end()) {
        return known->second;
    }
    static const QMimeDatabase database;
    const QList<QMimeType> types =
        database.mimeTypesForFileName(QStringLiteral("x") + FromBytes(typeText));
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
