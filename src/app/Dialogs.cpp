#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace vintrel {

namespace {
const QString kTitle = QStringLiteral("Vintrel 2");
} // namespace

namespace {

// Modal and centred on the screen.
int Centred(QMessageBox& box) {
    box.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        box.move(screen->availableGeometry().center() - box.rect().center());
    }
    return box.exec();
}

bool YesNo(QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    Centred(box);
    return box.clickedButton() == yes;
}

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
    Centred(box);
}

void Dialogs::showMessage(const QString& text) {
    if (hook()) {
        hook()({DialogRequest::Kind::Message, kTitle, text});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    Centred(box);
}

bool Dialogs::confirm(const QString& text) {
    if (hook())
        return hook()({DialogRequest::Kind::Confirm, QStringLiteral("Confirm"), text}) ==
               QLatin1String("Yes");
    return YesNo(QMessageBox::Question, QStringLiteral("Confirm"), text);
}

bool Dialogs::warn(const QString& text) {
    if (hook())
        return hook()({DialogRequest::Kind::Warning, QStringLiteral("Warning"), text}) ==
               QLatin1String("Yes");
    return YesNo(QMessageBox::Warning, QStringLiteral("Warning"), text);
}

QString Dialogs::askReplace(const QString& text, bool offerAll) {
    if (hook()) return hook()({DialogRequest::Kind::Replace, kTitle, text});
    return askFourWay(kTitle, text, offerAll);
}

QString Dialogs::askDeleteForGood(const QString& text) {
    const QString title = QStringLiteral("Confirm");
    if (hook()) return hook()({DialogRequest::Kind::DeleteForGood, title, text});
    return askFourWay(title, text, true);
}

QString Dialogs::askFourWay(const QString& title, const QString& text, bool offerAll) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    const QString answers[] = {QStringLiteral("Yes"), QStringLiteral("Yes to all"),
                               QStringLiteral("No"), QStringLiteral("Cancel")};
    QPushButton* buttons[4] = {};
    buttons[0] = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    if (offerAll) buttons[1] = box.addButton(QStringLiteral("Yes to &all"), QMessageBox::YesRole);
    buttons[2] = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    buttons[3] = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(buttons[2]);
    box.setEscapeButton(buttons[3]);
    Centred(box);
    for (int i = 0; i < 4; ++i) {
        if (buttons[i] && box.clickedButton() == buttons[i]) return answers[i];
    }
    return answers[3];
}

void Dialogs::showDialog(QDialog& dialog, const QString& summary) {
    if (hook()) {
        hook()({DialogRequest::Kind::Dialog, dialog.windowTitle(), summary});
        return;
    }
    dialog.exec();
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
