#pragma once
// Every message box and file dialog of the program goes through here, so that tests can
// answer them instead of a person: a hook, when set, receives each request and returns
// the answer ("OK", "Yes", "No", a folder, a file name, or "" for a cancel).

#include <functional>
#include <QString>

class QWidget;

namespace vintrel {

struct DialogRequest {
    enum class Kind { Error, Message, Confirm, Warning, ChooseFolder, SaveFile };
    Kind kind;
    QString title;
    QString text;
};

class Dialogs {
  public:
    using Hook = std::function<QString(const DialogRequest&)>;
    static void setTestHook(Hook hook);

    // The default error box: the message, a full stop added when it ends in a character
    // that sorts after ".", titled "Vintrel 2", error icon, OK.
    static void showError(const QString& message);
    // A plain message titled "Vintrel 2" with only OK.
    static void showMessage(const QString& text);
    // The folder browser; the chosen folder, or "" when cancelled.
    static QString chooseFolder(QWidget* owner, const QString& title);

    // The save dialog of the CSV exports: "CSV Files (*.csv)", default suffix csv, no
    // question when the file exists, offering `suggested`; the chosen name or "".
    static QString saveCsvFile(QWidget* owner, const QString& suggested);

    static QString WithFullStop(const QString& message);

  private:
    static Hook& hook();
};

} // namespace vintrel
