#include "Skin.h"

#include <QApplication>
#include <QFile>

// The resources live in a static library: register them before first use.
static void RegisterResources() {
    Q_INIT_RESOURCE(vintrel);
}

namespace vintrel {

SkinEngine::SkinEngine() {
    RegisterResources();
    QFile defaultSkin(QStringLiteral(":/vintrel/default.qss"));
    if (defaultSkin.open(QIODevice::ReadOnly))
        styleSheet_ = QString::fromUtf8(defaultSkin.readAll());
}

bool SkinEngine::loadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    styleSheet_ = QString::fromUtf8(file.readAll());
    if (active_) qApp->setStyleSheet(styleSheet_);
    return true;
}

void SkinEngine::setActive(bool active) {
    active_ = active;
    qApp->setStyleSheet(active_ ? styleSheet_ : QString());
}

} // namespace vintrel
