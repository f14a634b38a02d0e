#include "PropertiesDialog.h"

#include "DateTime.h"
#include "FolderReader.h"
#include "Formatting.h"
#include "Records.h"
#include "ShownText.h"
#include "TypeDescription.h"
#include "Utf8.h"

#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <sys/stat.h>

namespace vintrel {

namespace {

QString Permissions(mode_t mode) {
    const char* letters = "rwxrwxrwx";
    QString text;
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? QChar(letters[bit]) : QChar(u'-');
    return text;
}

} // namespace

PropertiesDialog::PropertiesDialog(const std::string& path, const LocaleSettings& locale,
                                   QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("File properties"));
    auto* form = new QFormLayout(this);
    const DateTextFormat dates(locale);
    facts_ << qMakePair(QStringLiteral("File"), ShownText(path));
    facts_ << qMakePair(QStringLiteral("Type"), ShownText(GetTypeDescription(
                                                    DisplayText(ExtensionOf(FileNamePart(path))))));
    PathRecord record;
    if (const int error = ReadPathRecord(path, record); error == 0) {
        facts_ << qMakePair(QStringLiteral("Size"),
                            QString::fromStdString(FormatFileSize(record.size, locale)) +
                                QStringLiteral(" (%1 bytes)").arg(record.size));
        facts_ << qMakePair(
            QStringLiteral("Created"),
            QString::fromStdString(dates.format(FileTimeToLocalDateTime(record.created))));
        facts_ << qMakePair(
            QStringLiteral("Modified"),
            QString::fromStdString(dates.format(FileTimeToLocalDateTime(record.modified))));
        facts_ << qMakePair(QStringLiteral("Attributes"),
                            QString::fromStdString(AttributeLetters(record.attributes)));
        facts_ << qMakePair(QStringLiteral("Permissions"), Permissions(record.mode));
        const passwd* owner = getpwuid(record.uid);
        const group* team = getgrgid(record.gid);
        facts_ << qMakePair(
            QStringLiteral("Owner"),
            QString::fromLocal8Bit(owner ? owner->pw_name : std::to_string(record.uid).c_str()) +
                u':' +
                QString::fromLocal8Bit(team ? team->gr_name : std::to_string(record.gid).c_str()));
    } else {
        facts_ << qMakePair(QStringLiteral("State"), QString::fromUtf8(std::strerror(error)));
    }
    for (const auto& [caption, value] : facts_) {
        auto* shown = new QLabel(value, this);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption + u':', shown);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    form->addRow(buttons);
}

} // namespace vintrel
