#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace vintrel {

namespace {
const QString kTitle = QStringLiteral("Vintrel 2");
} // namespace

Dialogs::Hook& Dialogs::hook() {
    static Hook instance;
    return instance;
}

void Dialogs::setTestHook(Hook newHook) {
    hook() = std::move(newHook);
}

QString Dialogs::WithFullStop(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
    return message;
}

void Dialogs::showError(const QString& message) {
    const QString text = WithFullStop(message);
    if (hook()) {
        hook()({DialogRequest::Kind::Error, kTitle, text});
        return;
    }
    QMessageBox box(QMessageBox::Critical, kTitle, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void Dialogs::showMessage(const QString& text) {
    if (hook()) {
        hook()({DialogRequest::Kind::Message, kTitle, text});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

QString Dialogs::chooseFolder(QWidget* owner, const QString& title) {
    if (hook()) return hook()({DialogRequest::Kind::ChooseFolder, title, {}});
    return QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
}

QString Dialogs::saveCsvFile(QWidget* owner, const QString& suggested) {
    if (hook()) return hook()({DialogRequest::Kind::SaveFile, {}, suggested});
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("CSV Files (*.csv)"));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setSizeGripEnabled(true);
    if (!suggested.isEmpty()) dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

} // namespace vintrel
