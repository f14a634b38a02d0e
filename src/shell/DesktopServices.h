#pragma once
// Opening files and showing them in the file manager: xdg-open for opening, and
// org.freedesktop.FileManager1 on the session bus for showing a file and its properties.
// Tests can take the place of the desktop with a hook.

#include <functional>
#include <string>

namespace vintrel {

class DesktopServices {
  public:
    enum class Action { Open, OpenFolder };
    using Hook = std::function<void(Action action, const std::string& path)>;
    static void setTestHook(Hook hook);

    static void openFile(const std::string& path);
    static void openFolder(const std::string& folder);
    // ShowItems, called without waiting; on any error the folder is opened instead.
    static void showInFileManager(const std::string& path);
    // ShowItemProperties; `fallback` runs when no file manager answers.
    static void showProperties(const std::string& path, std::function<void()> fallback);
};

} // namespace vintrel
