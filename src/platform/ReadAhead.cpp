#include "ReadAhead.h"

#include "FileAttributes.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace vintrel {

namespace {
// Entries read ahead and not yet walked at the most, beside the folders' count: bounds
// memory where folders are huge.
constexpr size_t kMaxUnclaimedEntries = size_t{1} << 18;
// Folders read ahead and not yet walked while reads come from the page cache (fewer than 32
// leave the helper waiting for room).
constexpr size_t kMaxUnclaimedWarm = 64;

// The descriptors left beside the program's own files, the walk's open folders and the
// reads in progress are shared between folders read ahead (each may stay open until the
// walk takes it) and subfolders opened ahead of their reading.
struct DescriptorShares {
    size_t readAhead;
    size_t preOpened;
};

constexpr rlim_t kReservedDescriptors = 128 + ReadAhead::kMaxOpenWalked + ReadAhead::kHelpers;

DescriptorShares SharesOfDescriptors() {
    rlimit limit{};
    const rlim_t spare =
        getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur > kReservedDescriptors
            ? limit.rlim_cur - kReservedDescriptors
            : 0;
    // 256 folders ahead: with a cold cache, fewer leave the helpers waiting for work, more
    // gain nothing; a few even when descriptors are scarce.
    return {std::clamp<size_t>(spare / 2, 8, 256), std::min<size_t>(spare / 2, 1024)};
}

// The memory of batches the walk is done with, kept for the next folders read: a walk
// reads and drops tens of thousands of them, each on another thread than the one that
// read it. A few small ones are kept; the rare large folder's memory is given back.
class SpareBatches {
  public:
    FolderBatch take() {
        const std::lock_guard lock(mutex_);
        if (spare_.empty()) return {};
        FolderBatch batch = std::move(spare_.back());
        spare_.pop_back();
        return batch;
    }
    void give(FolderBatch&& batch) {
        if (batch.memoryKept() > kLargest) return;
        const std::lock_guard lock(mutex_);
        if (spare_.size() < kKept) spare_.push_back(std::move(batch));
    }

  private:
    static constexpr size_t kKept = 64;
    static constexpr size_t kLargest = 32 * 1024; // bytes
    std::mutex mutex_;
    std::vector<FolderBatch> spare_;
};

// Grows the process's table of descriptors at once to hold `count` of them. Each time a
// process with several threads outgrows the table the kernel waits for every core to pass
// through the scheduler before it frees the old one, which takes milliseconds; a walk that
// opened its folders ahead would wait so at 128, 256, 512 and 1024 open descriptors.
void ReserveDescriptors(size_t count) {
    const int any = ::open("/", O_PATH | O_CLOEXEC);
    if (any < 0) return;
    const int last = ::fcntl(any, F_DUPFD_CLOEXEC, static_cast<int>(count) - 1);
    if (last >= 0) ::close(last);
    ::close(any);
}

SpareBatches& Spares() {
    static SpareBatches spares;
    return spares;
}
} // namespace

FolderNode::FolderNode() : batch(Spares().take()) {}

FolderNode::~FolderNode() {
    Spares().give(std::move(batch));
}

struct ReadAhead::Slot {
    enum class State { Pending, Busy, Done };
    std::weak_ptr<FolderNode> parent;
    size_t entryIndex = 0;
    State state = State::Pending;
    std::shared_ptr<FolderNode> node;
    int error = 0;
    std::list<std::shared_ptr<Slot>>::iterator place; // in toWalk_ while Pending or Busy
    // Opened right after its parent was read (see openChildrenNow): the descriptor, or why
    // it could not be opened.
    bool preOpened = false;
    OpenFolder opened;
    int openError = 0;
};

ReadAhead::ReadAhead(bool recurse, FolderFilter leaveOut, bool oneFileSystem, bool detailFolders)
    : recurse_(recurse), leaveOut_(std::move(leaveOut)), oneFileSystem_(oneFileSystem),
      detailFolders_(detailFolders),
      pace_(storageWaitForTests > 0 ? std::chrono::microseconds(storageWaitForTests.load())
                                    : kStorageWait,
            kStorageWaitHeld) {
    const DescriptorShares shares = SharesOfDescriptors();
    maxUnclaimed_ = shares.readAhead;
    maxPreOpened_ = shares.preOpened;
    if (!recurse_) return;
    ReserveDescriptors(kReservedDescriptors + maxUnclaimed_ + maxPreOpened_);
    startHelper(false); // the one that reads ahead on a warm cache too
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workOrRoom_.notify_all();
    storageSlow_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
}

int ReadAhead::openRoot(const std::string& path, std::shared_ptr<FolderNode>& out) {
    auto node = std::make_shared<FolderNode>();
    if (const int error = reader_.openRoot(path, node->folder); error != 0) return error;
    rootPath_ = path;
    rootDevice_ = node->folder.device();
    node->readError = reader_.read(node->folder, node->batch);
    announceChildren(*node);
    openChildrenNow(reader_, *node);
    {
        const std::lock_guard lock(mutex_);
        replaceSlot(nullptr, node);
    }
    workOrRoom_.notify_one();
    out = std::move(node);
    return 0;
}

void ReadAhead::announceChildren(FolderNode& node) {
    if (!recurse_) return;
    std::string below; // the node's path below the root, worked out once when asked for
    bool belowKnown = false;
    for (size_t i = 0; i < node.batch.size(); ++i) {
        const FindRecord entry = node.batch[i];
        if (!entry.isFolder() || IsDotOrDotDot(entry.name)) continue;
        if (leaveOut_) {
            if (!belowKnown) below = relativePathOf(node), belowKnown = true;
            const std::string path =
                below.empty() ? std::string(entry.name) : below + '/' + std::string(entry.name);
            if (leaveOut_(path, entry.name)) continue;
        }
        auto slot = std::make_shared<Slot>();
        slot->parent = node.weak_from_this();
        slot->entryIndex = i;
        node.children.push_back(std::move(slot));
    }
}

std::string ReadAhead::relativePathOf(const FolderNode& node) const {
    std::vector<std::string_view> names; // from the node up
    for (const FolderNode* at = &node;;) {
        const std::shared_ptr<FolderNode> up = at->parent.lock();
        if (!up) break;
        names.push_back(up->batch[at->indexInParent].name);
        at = up.get();
    }
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (!path.empty()) path += '/';
        path += *name;
    }
    return path;
}

// Unless the slot's folder is open already, the parent is open and stays open while this
// runs (the walk's own, or borrowed).
std::shared_ptr<FolderNode> ReadAhead::load(FolderReader& reader,
                                            const std::shared_ptr<FolderNode>& parent,
                                            size_t entryIndex, Slot* slot, int& error) {
    auto node = std::make_shared<FolderNode>();
    node->parent = parent;
    node->indexInParent = entryIndex;
    if (slot != nullptr && slot->preOpened) {
        preOpened_.fetch_sub(1, std::memory_order_relaxed);
        node->folder = std::move(slot->opened);
        error = slot->openError;
    } else {
        error =
            reader.openChild(parent->folder, parent->batch[entryIndex].name.data(), node->folder);
    }
    if (error != 0) return nullptr;
    if (oneFileSystem_ && node->folder.device() != rootDevice_) {
        error = FolderReader::kOtherFileSystem;
        return nullptr;
    }
    node->readError = reader.read(node->folder, node->batch);
    announceChildren(*node);
    openChildrenNow(reader, *node);
    if (node->children.empty()) node->folder.close(); // nothing more to open through it
    return node;
}

// With a warm cache a folder's subfolders are opened as soon as it has been read, while
// their names are fresh in the kernel's caches, and the folder is closed at once instead of
// staying open until the walk reaches its last subfolder. On a cold cache each one is left
// to the thread that reads it, so that their inodes come from the storage in parallel.
// Before the walk's thread or a helper may see the node.
void ReadAhead::openChildrenNow(FolderReader& reader, FolderNode& node) {
    const size_t count = node.children.size();
    if (count == 0 || storageWaits_.load(std::memory_order_relaxed)) return;
    if (preOpened_.fetch_add(count, std::memory_order_relaxed) + count > maxPreOpened_) {
        preOpened_.fetch_sub(count, std::memory_order_relaxed);
        return;
    }
    size_t opened = 0;
    for (const auto& slot : node.children) {
        const int error =
            reader.openChild(node.folder, node.batch[slot->entryIndex].name.data(), slot->opened);
        if (error == EMFILE || error == ENFILE) break; // the rest are opened in their turn
        slot->openError = error;
        slot->preOpened = true;
        ++opened;
    }
    preOpened_.fetch_sub(count - opened, std::memory_order_relaxed);
    if (opened == count) node.folder.close();
}

void ReadAhead::replaceSlot(const std::shared_ptr<Slot>& slot,
                            const std::shared_ptr<FolderNode>& node) {
    const auto at = slot ? std::next(slot->place) : toWalk_.end();
    if (node) {
        for (const auto& child : node->children) child->place = toWalk_.insert(at, child);
    }
    if (slot) toWalk_.erase(slot->place);
}

std::shared_ptr<ReadAhead::Slot>
ReadAhead::nextPending(std::list<std::shared_ptr<Slot>>::iterator from) {
    // From the page cache one helper keeps ahead with a few folders; more would only hold
    // memory while the walk is slower (writing its rows, say).
    const size_t maxUnclaimed =
        storageWaits_ ? maxUnclaimed_ : std::min(maxUnclaimed_, kMaxUnclaimedWarm);
    if (unclaimed_ >= maxUnclaimed || unclaimedEntries_ >= kMaxUnclaimedEntries ||
        from == toWalk_.end())
        return nullptr;
    for (auto it = std::next(from); it != toWalk_.end(); ++it) {
        if ((*it)->state != Slot::State::Pending) continue;
        const std::shared_ptr<FolderNode> parent = (*it)->parent.lock();
        // One under a closed parent is the walk's to do: it reopens the parent.
        if (parent && ((*it)->preOpened || parent->folder.isOpen())) return *it;
    }
    return nullptr;
}

void ReadAhead::readAhead(FolderReader& reader, const std::shared_ptr<Slot>& slot,
                          std::unique_lock<std::mutex>& lock) {
    std::shared_ptr<FolderNode> parent = slot->parent.lock();
    if (!parent) { // the walk has left that folder already
        toWalk_.erase(slot->place);
        return;
    }
    slot->state = Slot::State::Busy;
    ++parent->borrowers; // the walk does not close it meanwhile
    lock.unlock();
    int error = 0;
    const bool trying = statxWay_.trying();
    const auto start = std::chrono::steady_clock::now();
    auto node = load(reader, parent, slot->entryIndex, slot.get(), error);
    const auto end = std::chrono::steady_clock::now();
    lock.lock();
    // A trial of the other statx way tells nothing of the storage's pace.
    if (!trying && !statxWay_.trying()) noteReadTime(start, end, node ? node->batch.size() : 0);
    --parent->borrowers;
    parent.reset();
    replaceSlot(slot, node);
    slot->node = std::move(node);
    slot->error = error;
    slot->state = Slot::State::Done;
    ++unclaimed_;
    unclaimedEntries_ += slot->node ? slot->node->batch.size() : 0;
}

int ReadAhead::child(FolderNode& parent, size_t entryIndex, std::shared_ptr<FolderNode>& out) {
    const std::shared_ptr<FolderNode> self = parent.shared_from_this();
    if (parent.nextChild >= parent.children.size() ||
        parent.children[parent.nextChild]->entryIndex != entryIndex) {
        int error = 0; // not announced (recurse off): read it directly
        out = load(reader_, self, entryIndex, nullptr, error);
        return error;
    }
    const std::shared_ptr<Slot> slot = parent.children[parent.nextChild++];
    std::unique_lock lock(mutex_);
    int error = 0;
    if (slot->state == Slot::State::Pending) {
        slot->state = Slot::State::Busy;
        lock.unlock();
        error = slot->preOpened || parent.folder.isOpen() ? 0 : reopen(parent);
        if (error == 0) out = load(reader_, self, entryIndex, slot.get(), error);
        lock.lock();
        replaceSlot(slot, out);
        slot->state = Slot::State::Done;
    } else {
        // The helper is reading it: read further ahead meanwhile rather than wait idle.
        while (slot->state != Slot::State::Done) {
            if (const auto other = nextPending(slot->place)) {
                readAhead(reader_, other, lock);
            } else {
                slotDone_.wait(lock);
            }
        }
        --unclaimed_;
        unclaimedEntries_ -= slot->node ? slot->node->batch.size() : 0;
        out = std::move(slot->node);
        error = slot->error;
    }
    const bool storageWaits = storageWaits_;
    lock.unlock();
    workOrRoom_.notify_one();
    if (storageWaits) storageSlow_.notify_all(); // room for them too
    closeIfDone(parent);
    if (out) handOut(out);
    return error;
}

void ReadAhead::closeIfDone(FolderNode& node) {
    if (node.nextChild < node.children.size()) return;
    const std::lock_guard lock(mutex_);
    if (node.borrowers == 0) node.folder.close();
}

void ReadAhead::handOut(const std::shared_ptr<FolderNode>& node) {
    if (!node->folder.isOpen()) return;
    handedOut_.push_back(node);
    if (handedOut_.size() > kMaxOpenWalked) closeOldest();
}

// Closes the folders handed out longest ago until few enough are open.
void ReadAhead::closeOldest() {
    const std::lock_guard lock(mutex_);
    std::erase_if(handedOut_, [](const std::weak_ptr<FolderNode>& weak) {
        const auto node = weak.lock();
        return !node || !node->folder.isOpen();
    });
    for (auto it = handedOut_.begin();
         it != handedOut_.end() && handedOut_.size() > kMaxOpenWalked;) {
        const auto node = it->lock();
        if (node->borrowers > 0) {
            ++it;
            continue;
        }
        node->folder.identify(); // to know it again when it is reopened
        node->folder.close();
        it = handedOut_.erase(it);
    }
}

// The folder is needed again to open its subfolders: opened through the names from its
// nearest open ancestor, or from the root's path when none is open.
int ReadAhead::reopen(FolderNode& node) {
    std::vector<std::string_view> names; // from the node up
    std::shared_ptr<FolderNode> at = node.shared_from_this(), ancestor;
    for (;;) {
        const std::shared_ptr<FolderNode> up = at->parent.lock();
        if (!up) break; // `at` is the root
        names.push_back(up->batch[at->indexInParent].name);
        at = up;
        if (at->folder.isOpen()) {
            ancestor = at;
            break;
        }
    }
    std::string path;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (!path.empty()) path += '/';
        path += *name;
    }
    OpenFolder fresh;
    int error = 0;
    if (ancestor) {
        error = reader_.reopen(ancestor->folder.fd(), path, node.folder, fresh);
    } else {
        OpenFolder root;
        error = reader_.openRoot(rootPath_, root);
        if (error == 0 &&
            (root.device() != at->folder.device() || root.inode() != at->folder.inode()))
            error = ESTALE;
        if (error == 0 && path.empty()) fresh = std::move(root);
        if (error == 0 && !path.empty())
            error = reader_.reopen(root.fd(), path, node.folder, fresh);
    }
    if (error != 0) return error;
    const std::lock_guard lock(mutex_);
    node.folder = std::move(fresh);
    return 0;
}

bool ReadPace::note(Clock::duration took, size_t entries, Clock::time_point now) {
    microsPerEntry_[noted_++ % kReadsWeighed] =
        std::chrono::duration<float, std::micro>(took).count() / static_cast<float>(entries + 1);
    // The lower median is slow when more than half of the reads are.
    const auto slow =
        std::count_if(microsPerEntry_.begin(), microsPerEntry_.end(), [this](float pace) {
            return pace > static_cast<float>(slowPerEntry_.count());
        });
    if (static_cast<size_t>(slow) > kReadsWeighed / 2) waitingUntil_ = now + holdFor_;
    return now < waitingUntil_;
}

// Reads that take much longer per entry than the page cache answers wait for the storage.
void ReadAhead::noteReadTime(std::chrono::steady_clock::time_point start,
                             std::chrono::steady_clock::time_point end, size_t entries) {
    const bool wasWaiting = storageWaits_;
    storageWaits_ =
        pace_.note(end - start, entries, end) || assumeSlowStorage.load(std::memory_order_relaxed);
    if (storageWaits_ && !wasWaiting) {
        // The others start the first time reads wait for the storage: on a warm cache they
        // would never read, and starting one costs about a millisecond.
        for (size_t i = helpers_.size(); !stopping_ && i < static_cast<size_t>(kHelpers); ++i)
            startHelper(true);
        storageSlow_.notify_all();
    }
}

// Before the first helper runs, or under the lock. A thread that cannot be started leaves
// its share of the reading to the others and the walk.
void ReadAhead::startHelper(bool onlyWhileStorageWaits) {
    try {
        helpers_.emplace_back([this, onlyWhileStorageWaits] { helperLoop(onlyWhileStorageWaits); });
    } catch (const std::system_error&) {
    }
}

size_t ReadAhead::helpersStarted() {
    const std::lock_guard lock(mutex_);
    return helpers_.size();
}

void ReadAhead::helperLoop(bool onlyWhileStorageWaits) {
    FolderReader reader(&pseudo_, oneFileSystem_, detailFolders_, &statxWay_);
    std::unique_lock lock(mutex_);
    // With a warm cache one helper keeps up; more would only take turns with the walk on the
    // cores, so the others wait until reads wait for the storage.
    std::condition_variable& wakeUp = onlyWhileStorageWaits ? storageSlow_ : workOrRoom_;
    for (;;) {
        // The first pending folder after the one the walk will take next.
        std::shared_ptr<Slot> slot;
        wakeUp.wait(lock, [&] {
            return stopping_ || ((!onlyWhileStorageWaits || storageWaits_) &&
                                 (slot = nextPending(toWalk_.begin())) != nullptr);
        });
        if (stopping_) return;
        readAhead(reader, slot, lock);
        slotDone_.notify_one();
        workOrRoom_.notify_one();
        if (storageWaits_) storageSlow_.notify_all(); // its subfolders may be work for others
    }
}

} // namespace vintrel
