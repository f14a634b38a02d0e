#include "FileClipboard.h"

#include "ShownText.h"
#include "Utf8.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <unordered_set>

namespace vintrel {

QString FileUri(const std::string& path) {
    static const char* kHex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return QString::fromLatin1(uri.data(), static_cast<qsizetype>(uri.size()));
}

QMimeData* MakeFileListData(const std::vector<std::string>& paths) {
    QStringList uris;
    QStringList shown;
    std::unordered_set<std::string> seen;
    for (const std::string& path : paths) {
        if (!seen.insert(path).second) continue; // each file once
        uris << FileUri(path);
        shown << ShownText(path);
    }
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/uri-list"),
                  (uris.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
    const QByteArray copied = (QStringLiteral("copy\n") + uris.join(u'\n')).toLatin1();
    data->setData(QStringLiteral("x-special/gnome-copied-files"), copied);
    data->setData(QStringLiteral("x-special/mate-copied-files"), copied);
    data->setData(QStringLiteral("application/x-kde-cutselection"), QByteArrayLiteral("0"));
    data->setText(shown.join(u'\n'));
    return data;
}

void CopyFilesToClipboard(const std::vector<std::string>& paths) {
    QGuiApplication::clipboard()->setMimeData(MakeFileListData(paths));
}

} // namespace vintrel
