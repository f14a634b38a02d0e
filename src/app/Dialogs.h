#pragma once
// Every message box and file dialog of the program goes through here, so that tests can
// answer them instead of a person: a hook, when set, receives each request and returns
// the answer ("OK", "Yes", "No", a folder, a file name, or "" for a cancel).

#include <functional>
#include <QString>

class QDialog;
class QWidget;

namespace vintrel {

struct DialogRequest {
    enum class Kind {
        Error,
        Message,
        Confirm,
        Warning,
        Replace,
        DeleteForGood,
        ChooseFolder,
        SaveFile,
        Dialog
    };
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
    // "Confirm" with a question mark, or "Warning" with an exclamation mark: "&Yes" and
    // "&No", Enter for Yes and Esc for No. True only for Yes.
    static bool confirm(const QString& text);
    static bool warn(const QString& text);
    // Before a file is replaced: "Yes", "Yes to all" (only when `offerAll`), "No" or
    // "Cancel".
    static QString askReplace(const QString& text, bool offerAll);
    // Before a file that cannot go to the trash is deleted for good, titled "Confirm":
    // "Yes", "Yes to all", "No" or "Cancel".
    static QString askDeleteForGood(const QString& text);

    // The folder browser; the chosen folder, or "" when cancelled.
    static QString chooseFolder(QWidget* owner, const QString& title);

    // The save dialog of the CSV exports: "CSV Files (*.csv)", default suffix csv, no
    // question when the file exists, offering `suggested`; the chosen name or "".
    static QString saveCsvFile(QWidget* owner, const QString& suggested);

    // Any other modal dialog of ours; the hook gets its title and `summary`.
    static void showDialog(QDialog& dialog, const QString& summary);

    static QString WithFullStop(const QString& message);

  private:
    static Hook& hook();
    static QString askFourWay(const QString& title, const QString& text, bool offerAll);
};

} // namespace vintrel
