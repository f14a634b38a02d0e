#include "DesktopServices.h"

#include "FileClipboard.h"
#include "Paths.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QUrl>

namespace vintrel {

namespace {

DesktopServices::Hook& TestHook() {
    static DesktopServices::Hook hook;
    return hook;
}

// Calls a FileManager1 method with one file URI; `failed` runs when no answer comes back.
void CallFileManager(const char* method, const std::string& path, std::function<void()> failed) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QLatin1String(method));
    call << QStringList{FileUri(path)} << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        failed();
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [failed = std::move(failed)](QDBusPendingCallWatcher* self) {
                         if (self->isError()) failed();
                         self->deleteLater();
                     });
}

} // namespace

void DesktopServices::setTestHook(Hook hook) {
    TestHook() = std::move(hook);
}

void DesktopServices::openFile(const std::string& path) {
    if (TestHook()) return TestHook()(Action::Open, path);
    QDesktopServices::openUrl(QUrl::fromEncoded(FileUri(path).toLatin1()));
}

void DesktopServices::openFolder(const std::string& folder) {
    if (TestHook()) return TestHook()(Action::OpenFolder, folder);
    QDesktopServices::openUrl(QUrl::fromEncoded(FileUri(folder).toLatin1()));
}

void DesktopServices::showInFileManager(const std::string& path) {
    CallFileManager("ShowItems", path, [path] { openFolder(std::string(FolderPart(path))); });
}

void DesktopServices::showProperties(const std::string& path, std::function<void()> fallback) {
    CallFileManager("ShowItemProperties", path, std::move(fallback));
}

} // namespace vintrel
