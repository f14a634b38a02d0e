#include "ReadAhead.h"

#include "FileAttributes.h"

namespace vintrel {

namespace {
// Folders read ahead and not yet walked; bounds memory, open descriptors and the look-up.
constexpr size_t kMaxUnclaimed = 64;
} // namespace

struct ReadAhead::Slot {
    enum class State { Pending, Busy, Done };
    std::weak_ptr<FolderNode> parent;
    size_t entryIndex = 0;
    State state = State::Pending;
    std::shared_ptr<FolderNode> node;
    int error = 0;
    std::list<std::shared_ptr<Slot>>::iterator place; // in toWalk_ while Pending or Busy
};

ReadAhead::ReadAhead(bool recurse) : recurse_(recurse) {
    if (recurse_) helper_ = std::thread([this] { helperLoop(); });
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workOrRoom_.notify_all();
    if (helper_.joinable()) helper_.join();
}

int ReadAhead::openRoot(const std::string& path, std::shared_ptr<FolderNode>& out) {
    auto node = std::make_shared<FolderNode>();
    if (const int error = reader_.openRoot(path, node->folder); error != 0) return error;
    node->readError = reader_.read(node->folder, node->batch);
    announceChildren(*node);
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
    for (size_t i = 0; i < node.batch.size(); ++i) {
        const FindRecord entry = node.batch[i];
        if (!entry.isFolder() || IsDotOrDotDot(entry.name)) continue;
        auto slot = std::make_shared<Slot>();
        slot->parent = node.weak_from_this();
        slot->entryIndex = i;
        node.children.push_back(std::move(slot));
    }
}

std::shared_ptr<FolderNode> ReadAhead::load(FolderReader& reader, const FolderNode& parent,
                                            size_t entryIndex, int& error) {
    auto node = std::make_shared<FolderNode>();
    error = reader.openChild(parent.folder, parent.batch[entryIndex].name.data(), node->folder);
    if (error != 0) return nullptr;
    node->readError = reader.read(node->folder, node->batch);
    announceChildren(*node);
    return node;
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
    if (unclaimed_ >= kMaxUnclaimed || from == toWalk_.end()) return nullptr;
    for (auto it = std::next(from); it != toWalk_.end(); ++it) {
        if ((*it)->state == Slot::State::Pending) return *it;
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
    lock.unlock();
    int error = 0;
    auto node = load(reader, *parent, slot->entryIndex, error);
    parent.reset();
    lock.lock();
    replaceSlot(slot, node);
    slot->node = std::move(node);
    slot->error = error;
    slot->state = Slot::State::Done;
    ++unclaimed_;
}

int ReadAhead::child(FolderNode& parent, size_t entryIndex, std::shared_ptr<FolderNode>& out) {
    if (parent.nextChild >= parent.children.size() ||
        parent.children[parent.nextChild]->entryIndex != entryIndex) {
        int error = 0; // not announced (recurse off): read it directly
        out = load(reader_, parent, entryIndex, error);
        return error;
    }
    const std::shared_ptr<Slot> slot = parent.children[parent.nextChild++];
    std::unique_lock lock(mutex_);
    if (slot->state == Slot::State::Pending) {
        slot->state = Slot::State::Busy;
        lock.unlock();
        int error = 0;
        out = load(reader_, parent, entryIndex, error);
        lock.lock();
        replaceSlot(slot, out);
        slot->state = Slot::State::Done;
        lock.unlock();
        workOrRoom_.notify_one();
        return error;
    }
    // The helper is reading it: read further ahead meanwhile rather than wait idle.
    while (slot->state != Slot::State::Done) {
        if (const auto other = nextPending(slot->place)) {
            readAhead(reader_, other, lock);
        } else {
            slotDone_.wait(lock);
        }
    }
    --unclaimed_;
    out = std::move(slot->node);
    const int error = slot->error;
    lock.unlock();
    workOrRoom_.notify_one();
    return error;
}

void ReadAhead::helperLoop() {
    FolderReader reader(&pseudo_);
    std::unique_lock lock(mutex_);
    for (;;) {
        // The first pending folder after the one the walk will take next.
        std::shared_ptr<Slot> slot;
        workOrRoom_.wait(
            lock, [&] { return stopping_ || (slot = nextPending(toWalk_.begin())) != nullptr; });
        if (stopping_) return;
        readAhead(reader, slot, lock);
        slotDone_.notify_one();
    }
}

} // namespace vintrel
