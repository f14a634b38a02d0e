#include "Trash.h"

#include "Utf8.h"

#include <cerrno>
#include <cstring>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vintrel {

namespace {

bool IsGone(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

// Why the entry at `path` is not the file that was listed, or nothing. A path that is gone
// says nothing here: the trash reports it.
std::string ChangedSinceListed(const std::string& path, FileIdentity listed) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return {};
    if (S_ISDIR(st.st_mode)) return "it is now a folder; it was left as it is";
    if (listed.known() && (st.st_dev != listed.device || st.st_ino != listed.inode))
        return "another file took its place since it was listed; it was left as it is";
    return {};
}

} // namespace

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

DeleteReport DeleteFiles(const std::vector<std::string>& paths, const DeleteCallbacks& callbacks,
                         const std::vector<FileIdentity>& identities) {
    DeleteReport report;
    report.gone.assign(paths.size(), false);
    bool forGoodToAll = false;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (callbacks.progress && !callbacks.progress(i, paths.size(), path)) {
            report.cancelled = true;
            break;
        }
        const std::string changed =
            ChangedSinceListed(path, i < identities.size() ? identities[i] : FileIdentity{});
        if (!changed.empty()) {
            report.failures.push_back(DisplayText(path) + ": " + changed);
            continue;
        }
        const TrashResult trashed = MoveToTrash(path);
        if (trashed.outcome == TrashResult::Outcome::Failed) {
            report.failures.push_back(DisplayText(path) + ": " + trashed.message);
            continue;
        }
        if (trashed.outcome == TrashResult::Outcome::NotSupported) {
            DeleteAnswer answer = DeleteAnswer::Yes;
            if (!forGoodToAll) {
                answer =
                    callbacks.forGood ? callbacks.forGood(path, trashed.message) : DeleteAnswer::No;
            }
            if (answer == DeleteAnswer::Cancel) {
                report.cancelled = true;
                break;
            }
            if (answer == DeleteAnswer::No) {
                ++report.kept;
                continue;
            }
            forGoodToAll = forGoodToAll || answer == DeleteAnswer::YesToAll;
            // The question may have taken a while.
            const std::string changedMeanwhile =
                ChangedSinceListed(path, i < identities.size() ? identities[i] : FileIdentity{});
            if (!changedMeanwhile.empty()) {
                report.failures.push_back(DisplayText(path) + ": " + changedMeanwhile);
                continue;
            }
            if (const std::string failure = DeleteForGood(path); !failure.empty()) {
                report.failures.push_back(DisplayText(path) + ": " + failure);
                continue;
            }
        }
        report.gone[i] = IsGone(path);
        if (!report.gone[i])
            report.failures.push_back(DisplayText(path) + ": the file is still there");
    }
    if (callbacks.progress && !report.cancelled) callbacks.progress(paths.size(), paths.size(), {});
    return report;
}

} // namespace vintrel
