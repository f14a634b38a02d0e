#include "PropertiesDialog.h"

#include "DateTime.h"
#include "FolderReader.h"
#include "Formatting.h"
#include "Records.h"
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

QString Text(const std::string& text) {
    return QString::fromStdString(DisplayText(text));
}

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
    struct statx sx {};
    const DateTextFormat dates(locale);
    facts_ << qMakePair(QStringLiteral("File"), Text(path));
    facts_ << qMakePair(QStringLiteral("Type"),
                        Text(GetTypeDescription(DisplayText(ExtensionOf(FileNamePart(path))))));
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) ==
        0) {
        const FileTime modified = FileTimeFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
        const FileTime created = (sx.stx_mask & STATX_BTIME)
                                     ? FileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec)
                                     : modified;
        uint32_t attributes = 0;
        ReadPathAttributes(path, attributes);
        facts_ << qMakePair(
            QStringLiteral("Size"),
            QString::fromStdString(FormatFileSize(static_cast<int64_t>(sx.stx_size), locale)) +
                QStringLiteral(" (%1 bytes)").arg(sx.stx_size));
        facts_ << qMakePair(QStringLiteral("Created"),
                            QString::fromStdString(dates.format(FileTimeToLocalDateTime(created))));
        facts_ << qMakePair(QStringLiteral("Modified"), QString::fromStdString(dates.format(
                                                            FileTimeToLocalDateTime(modified))));
        facts_ << qMakePair(QStringLiteral("Attributes"),
                            QString::fromStdString(AttributeLetters(attributes)));
        facts_ << qMakePair(QStringLiteral("Permissions"), Permissions(sx.stx_mode));
        const passwd* owner = getpwuid(sx.stx_uid);
        const group* team = getgrgid(sx.stx_gid);
        facts_ << qMakePair(
            QStringLiteral("Owner"),
            QString::fromLocal8Bit(owner ? owner->pw_name : std::to_string(sx.stx_uid).c_str()) +
                u':' +
                QString::fromLocal8Bit(team ? team->gr_name : std::to_string(sx.stx_gid).c_str()));
    } else {
        facts_ << qMakePair(QStringLiteral("State"), QString::fromUtf8(std::strerror(errno)));
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
