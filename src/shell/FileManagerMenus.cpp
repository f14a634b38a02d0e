#include "FileManagerMenus.h"

#include "ContextMenuVerb.h"
#include "Paths.h"
#include "SafeFile.h"
#include "Utf8.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <QString>
#include <QXmlStreamReader>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vintrel {

namespace {

// Empty when written, else why not. Without a mode, a file of another program's keeps the
// permissions it has (a new one gets the umask's).
std::string WriteMenuFile(const std::string& path, const std::string& text,
                          std::optional<mode_t> mode = std::nullopt) {
    MakeFolders(FolderPart(path), 0755);
    if (const FileWriteResult result = WriteFileReplacing(path, text, mode); !result) {
        return DisplayText(path) + ": " + result.text();
    }
    return {};
}

std::string RemoveMenuFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return {};
    return DisplayText(path) + ": " + std::strerror(errno);
}

// False when the file is not there; raises with the reason when it is there but cannot be
// read.
bool ReadExisting(const std::string& path, std::string& text) {
    const int error = ReadWholeFile(path, text);
    if (error == ENOENT) return false;
    if (error != 0) throw std::runtime_error(std::strerror(error));
    return true;
}

// Where uca.xml's elements stand, in UTF-16 positions of its text.
struct ThunarLayout {
    qsizetype rootStart = -1, rootOpenEnd = -1, rootCloseStart = -1, rootEnd = -1;
    std::vector<std::pair<qsizetype, qsizetype>> ours; // our actions, [start, end)
};

// The start of the tag that ends just before `end`: no "<" can stand inside a tag.
qsizetype TagStart(const QString& text, qsizetype end) {
    return text.lastIndexOf(u'<', end - 1);
}

// Raises with the reader's reason when the text is not a well-formed <actions> document.
ThunarLayout ReadThunarLayout(const QString& text) {
    ThunarLayout layout;
    QXmlStreamReader reader(text);
    int depth = 0;
    qsizetype actionStart = -1;
    QString id;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        const qsizetype offset = reader.characterOffset();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1) {
                if (reader.name() != QLatin1String("actions"))
                    throw std::runtime_error("its root element is not <actions>");
                layout.rootStart = TagStart(text, offset);
                layout.rootOpenEnd = offset;
            } else if (depth == 2 && reader.name() == QLatin1String("action")) {
                actionStart = TagStart(text, offset);
                id.clear();
            } else if (depth == 3 && actionStart >= 0 &&
                       reader.name() == QLatin1String("unique-id")) {
                id = reader.readElementText(QXmlStreamReader::IncludeChildElements);
                --depth; // the text was read up to its end tag
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 2 && actionStart >= 0) {
                if (id == QLatin1String(kThunarActionId))
                    layout.ours.emplace_back(actionStart, offset);
                actionStart = -1;
            } else if (depth == 1) {
                layout.rootCloseStart = offset == layout.rootOpenEnd ? -1 : TagStart(text, offset);
                layout.rootEnd = offset;
            }
            --depth;
        }
    }
    if (reader.hasError()) {
        throw std::runtime_error(QStringLiteral("line %1: %2")
                                     .arg(reader.lineNumber())
                                     .arg(reader.errorString())
                                     .toStdString());
    }
    if (layout.rootStart < 0) throw std::runtime_error("it holds no <actions> element");
    return layout;
}

QString DecodedThunar(const std::string& xml) {
    if (!IsValidUtf8(xml)) throw std::runtime_error("it is not UTF-8 text");
    return QString::fromUtf8(xml.data(), static_cast<qsizetype>(xml.size()));
}

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// Backslashes and control characters escaped as a desktop file's string values need.
std::string DesktopString(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

std::string DolphinServiceMenu(const VerbSettings& settings, bool skin) {
    std::string exec = DesktopExecArgument(settings.executable) + " %f";
    if (skin) exec += " /s";
    return "[Desktop Entry]\n"
           "Type=Service\n"
           "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
           "MimeType=all/all;\n"
           "Actions=runVintrel2;\n"
           "X-KDE-Priority=TopLevel\n"
           "\n"
           "[Desktop Action runVintrel2]\n"
           "Name=" +
           std::string(kVerbMenuText) +
           "\n"
           "Icon=folder\n"
           "Exec=" +
           DesktopString(exec) + "\n";
}

std::string NautilusScript(const VerbSettings& settings, bool skin) {
    return "#!/bin/sh\n"
           "# Added by Vintrel 2; its \"Context menu\" button removes it again.\n"
           "item=$(printf '%s\\n' \"$NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\" | head -n 1)\n"
           "[ -n \"$item\" ] || item=${1:-$PWD}\n"
           "exec " +
           ShellQuoted(settings.executable) + " \"$item\"" + (skin ? " '/s'" : "") + "\n";
}

std::string NemoAction(const VerbSettings& settings, bool skin) {
    std::string exec = ShellQuoted(settings.executable) + " %F";
    if (skin) exec += " '/s'";
    return "[Nemo Action]\n"
           "Name=" +
           std::string(kVerbMenuText) +
           "\n"
           "Comment=Analyse this item with Vintrel 2\n"
           "Exec=" +
           DesktopString(exec) +
           "\n"
           "Icon-Name=folder\n"
           "Selection=s\n"
           "Extensions=any;\n"
           "Quote=double\n";
}

std::string ThunarAction(const VerbSettings& settings, bool skin) {
    std::string command = ShellQuoted(settings.executable) + " %f";
    if (skin) command += " '/s'";
    return "<action>\n"
           "\t<icon>folder</icon>\n"
           "\t<name>" +
           std::string(kVerbMenuText) +
           "</name>\n"
           "\t<submenu></submenu>\n"
           "\t<unique-id>" +
           std::string(kThunarActionId) +
           "</unique-id>\n"
           "\t<command>" +
           XmlEscaped(command) +
           "</command>\n"
           "\t<description>Analyse this item with Vintrel 2</description>\n"
           "\t<range></range>\n"
           "\t<patterns>*</patterns>\n"
           "\t<directories/>\n"
           "\t<audio-files/>\n"
           "\t<image-files/>\n"
           "\t<other-files/>\n"
           "\t<text-files/>\n"
           "\t<video-files/>\n"
           "</action>\n";
}

} // namespace

FileManagerMenuFiles::FileManagerMenuFiles(const VerbSettings& settings)
    : dolphin(settings.dataHome + "/kio/servicemenus/vintrel2-run.desktop"),
      nautilus(settings.dataHome + "/nautilus/scripts/" + kVerbMenuText),
      nemo(settings.dataHome + "/nemo/actions/vintrel2-run.nemo_action"),
      thunar(settings.configHome + "/Thunar/uca.xml") {}

std::string DesktopExecArgument(const std::string& argument) {
    std::string out;
    const bool quote =
        argument.empty() || argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
    if (quote) out += '"';
    for (const char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        if (c == '%') out += '%'; // a field code otherwise
        out += c;
    }
    if (quote) out += '"';
    return out;
}

std::string ShellQuoted(const std::string& argument) {
    std::string out = "'";
    for (const char c : argument) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string XmlEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string ThunarWithoutAction(const std::string& xml) {
    if (IsBlank(xml)) return xml;
    QString text = DecodedThunar(xml);
    const ThunarLayout layout = ReadThunarLayout(text);
    for (auto range = layout.ours.rbegin(); range != layout.ours.rend(); ++range) {
        auto [start, end] = *range;
        while (start > 0 && (text[start - 1] == u' ' || text[start - 1] == u'\t')) --start;
        if (end < text.size() && text[end] == u'\n') ++end;
        text.remove(start, end - start);
    }
    return text.toStdString();
}

std::string ThunarWithAction(const std::string& xml, const std::string& action) {
    if (IsBlank(xml))
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" + action + "</actions>\n";
    QString text = QString::fromStdString(ThunarWithoutAction(xml));
    const ThunarLayout layout = ReadThunarLayout(text);
    const QString added = QString::fromStdString(action);
    if (layout.rootCloseStart < 0) {
        // <actions/>: opened and closed around our action.
        text.replace(layout.rootStart, layout.rootEnd - layout.rootStart,
                     QStringLiteral("<actions>\n") + added + QStringLiteral("</actions>"));
    } else {
        text.insert(layout.rootCloseStart, added);
    }
    return text.toStdString();
}

FileManagerMenuUpdate::FileManagerMenuUpdate(const VerbSettings& settings, bool registering,
                                             bool skin)
    : settings_(settings), files_(settings), registering_(registering), skin_(skin) {
    std::string xml;
    try {
        const bool exists = ReadExisting(files_.thunar, xml);
        if (registering && (exists || settings.thunarInstalled)) {
            thunarText_ = ThunarWithAction(xml, ThunarAction(settings, skin));
        } else if (!registering && exists) {
            std::string without = ThunarWithoutAction(xml);
            if (without != xml) thunarText_ = std::move(without);
        }
    } catch (const std::exception& error) {
        throw std::runtime_error("Thunar's actions file \"" + DisplayText(files_.thunar) +
                                 "\" cannot be read (" + error.what() +
                                 "). It was left unchanged, and so was the context menu.");
    }
}

void FileManagerMenuUpdate::apply() const {
    std::vector<std::string> failures;
    const auto note = [&](std::string failure) {
        if (!failure.empty()) failures.push_back(std::move(failure));
    };
    if (registering_) {
        note(WriteMenuFile(files_.dolphin, DolphinServiceMenu(settings_, skin_), 0755));
        note(WriteMenuFile(files_.nautilus, NautilusScript(settings_, skin_), 0755));
        note(WriteMenuFile(files_.nemo, NemoAction(settings_, skin_), 0644));
    } else {
        for (const std::string* path : {&files_.dolphin, &files_.nautilus, &files_.nemo})
            note(RemoveMenuFile(*path));
    }
    if (thunarText_) note(WriteMenuFile(files_.thunar, *thunarText_));
    if (failures.empty()) return;
    std::string message =
        registering_ ? "The verb is registered, but these file-manager menus could not be written:"
                     : "The verb is removed, but these file-manager menus could not be removed:";
    for (const std::string& failure : failures) message += "\n" + failure;
    throw std::runtime_error(message);
}

} // namespace vintrel
