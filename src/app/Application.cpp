#include "Application.h"

#include "Dialogs.h"

#include <QFile>
#include <QFontDatabase>

namespace vintrel {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Vintrel 2"));
    setApplicationDisplayName(QStringLiteral("Vintrel 2"));
    LoadBundledFonts();
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        Dialogs::showError(QString::fromUtf8(error.what()));
    } catch (...) {
        Dialogs::showError(QStringLiteral("Unknown error"));
    }
    return false;
}

void Application::LoadBundledFonts() {
    for (const char* file :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (QFile::exists(QLatin1String(file)))
            QFontDatabase::addApplicationFont(QLatin1String(file));
    }
}

} // namespace vintrel
