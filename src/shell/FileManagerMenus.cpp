#include "FileManagerMenus.h"

#include "ContextMenuVerb.h"
#include "SafeFile.h"
#include "Utf8.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vintrel {

namespace {

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

void MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0755);
        if (slash == std::string::npos) break;
    }
}

// Empty when written, else why not. Without a mode, a file of another program's keeps the
// permissions it has (a new one gets the umask's).
std::string WriteMenuFile(const std::string& path, const std::string& text,
                          std::optional<mode_t> mode = std::nullopt) {
    MakeFolders(FolderOf(path));
    if (const FileWriteResult result = WriteFileReplacing(path, text, mode); !result) {
        return DisplayText(path) + ": " + result.text();
    }
    return {};
}

std::string RemoveMenuFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return {};
    return DisplayText(path) + ": " + std::strerror(errno);
}

bool ReadText(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
    return true;
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

void RaiseIfAny(const std::vector<std::string>& failures, const char* what) {
    if (failures.empty()) return;
    std::string message = what;
    for (const std::string& failure : failures) message += "\n" + failure;
    throw std::runtime_error(message);
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
    const size_t id = xml.find("<unique-id>" + std::string(kThunarActionId) + "</unique-id>");
    if (id == std::string::npos) return xml;
    size_t start = xml.rfind("<action>", id);
    const size_t close = xml.find("</action>", id);
    if (start == std::string::npos || close == std::string::npos) return xml;
    size_t end = close + std::strlen("</action>");
    while (start > 0 && (xml[start - 1] == ' ' || xml[start - 1] == '\t')) --start;
    if (end < xml.size() && xml[end] == '\n') ++end;
    return xml.substr(0, start) + xml.substr(end);
}

std::string ThunarWithAction(const std::string& xml, const std::string& action) {
    std::string without = ThunarWithoutAction(xml);
    const size_t close = without.rfind("</actions>");
    if (close == std::string::npos) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" + action + "</actions>\n";
    }
    return without.insert(close, action);
}

void WriteFileManagerMenus(const VerbSettings& settings, bool skin) {
    const FileManagerMenuFiles files(settings);
    std::vector<std::string> failures;
    const auto note = [&](std::string failure) {
        if (!failure.empty()) failures.push_back(std::move(failure));
    };
    note(WriteMenuFile(files.dolphin, DolphinServiceMenu(settings, skin), 0755));
    note(WriteMenuFile(files.nautilus, NautilusScript(settings, skin), 0755));
    note(WriteMenuFile(files.nemo, NemoAction(settings, skin), 0644));
    std::string xml;
    const bool thunarFile = ReadText(files.thunar, xml);
    if (thunarFile || settings.thunarInstalled) {
        note(WriteMenuFile(files.thunar, ThunarWithAction(xml, ThunarAction(settings, skin))));
    }
    RaiseIfAny(failures,
               "The verb is registered, but these file-manager menus could not be written:");
}

void RemoveFileManagerMenus(const VerbSettings& settings) {
    const FileManagerMenuFiles files(settings);
    std::vector<std::string> failures;
    for (const std::string* path : {&files.dolphin, &files.nautilus, &files.nemo}) {
        if (std::string failure = RemoveMenuFile(*path); !failure.empty())
            failures.push_back(failure);
    }
    std::string xml;
    if (ReadText(files.thunar, xml)) {
        const std::string without = ThunarWithoutAction(xml);
        if (without != xml) {
            if (std::string failure = WriteMenuFile(files.thunar, without);
                !failure.empty()) {
                failures.push_back(failure);
            }
        }
    }
    RaiseIfAny(failures, "The verb is removed, but these file-manager menus could not be removed:");
}

} // namespace vintrel
