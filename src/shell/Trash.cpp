#include "Trash.h"

#include <cerrno>
#include <cstring>
#include <gio/gio.h>
#include <unistd.h>

namespace vintrel {

TrashResult MoveToTrash(const std::string& path) {
    GFile* file = g_file_new_for_path(path.c_str()); // the exact bytes
    GError* error = nullptr;
    const gboolean trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (trashed) return {TrashResult::Outcome::Trashed, {}};
    TrashResult result{TrashResult::Outcome::Failed, error ? error->message : "unknown error"};
    if (error && error->domain == G_IO_ERROR && error->code == G_IO_ERROR_NOT_SUPPORTED) {
        result.outcome = TrashResult::Outcome::NotSupported;
    }
    if (error) g_error_free(error);
    return result;
}

std::string DeleteForGood(const std::string& path) {
    if (::unlink(path.c_str()) == 0) return {};
    return std::strerror(errno);
}

} // namespace vintrel
