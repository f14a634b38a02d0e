#pragma once
// Folder batches in walk order, read ahead on helper threads. The folders still to be
// walked are kept in the order the depth-first walk will reach them; the walk takes the
// first, the helpers read the next unclaimed ones just behind it, so several requests are
// with the storage at once and read-ahead stays short. What the walk receives is exactly what a
// plain FolderReader would give it.
//
// Open descriptors stay bounded whatever the depth: a folder is closed once all its
// subfolders are open, the oldest folders handed to the walk are closed when too many are
// open, and a closed folder that is needed again is reopened relative to its nearest open
// ancestor (and checked to be the same folder).

#include "FolderReader.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace vintrel {

struct FolderNode;

// Tells from the pace of the last reads whether they wait for the storage: more than half of
// the last eight must be slow. One read whose thread was preempted takes milliseconds on a
// warm cache too, now and then in every walk. Once they wait, they count as waiting until
// `holdFor` after the last time most were slow: from some folders the storage answers
// quickly (their inodes came with a neighbour's), and helpers that stop and start again at
// each of them leave the storage idle.
class ReadPace {
  public:
    using Clock = std::chrono::steady_clock;
    ReadPace(std::chrono::microseconds slowPerEntry, Clock::duration holdFor)
        : slowPerEntry_(slowPerEntry), holdFor_(holdFor) {}
    // Notes a read that ended at `now`; true while reads wait for the storage.
    bool note(Clock::duration took, size_t entries, Clock::time_point now);

  private:
    static constexpr size_t kReadsWeighed = 8;
    std::chrono::microseconds slowPerEntry_;
    Clock::duration holdFor_;
    std::array<float, kReadsWeighed> microsPerEntry_{}; // of the last reads
    size_t noted_ = 0;
    Clock::time_point waitingUntil_{};
};

class ReadAhead {
  public:
    // Says whether a subfolder is left out: its path below the root ("a/b") and its name.
    using FolderFilter = std::function<bool(std::string_view relativePath, std::string_view name)>;

    // With recurse off only the root is read, and no helper runs. Folders the filter leaves
    // out are never read (the walk must not ask for them); with `oneFileSystem`, a folder on
    // another file system than the root's is not read either (child() says so). With
    // `detailFolders` folder entries come with their details, as files do.
    explicit ReadAhead(bool recurse, FolderFilter leaveOut = {}, bool oneFileSystem = false,
                       bool detailFolders = false);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // 0, or the errno of opening the root.
    int openRoot(const std::string& path, std::shared_ptr<FolderNode>& out);

    // The folder of entry `entryIndex` of `parent`: a folder entry other than "." and "..",
    // not left out by the filter, asked for in listing order. 0, an errno,
    // FolderReader::kPseudoFileSystem or FolderReader::kOtherFileSystem.
    int child(FolderNode& parent, size_t entryIndex, std::shared_ptr<FolderNode>& out);

    // Folders the walk holds open at the most; the read-ahead adds a bounded number more.
    static constexpr size_t kMaxOpenWalked = 32;
    // Threads reading ahead: on a cold cache the storage answers several requests at once
    // (seven came nearest to the best of several plain walks); on a warm one the others
    // wait, as more than the cores would only cost switching.
    static constexpr int kHelpers = 7;
    // Reads slower than this per entry wait for the storage: then every helper reads. From
    // the page cache an entry takes about 3 us here, from a disk 20 to 50.
    static constexpr std::chrono::microseconds kStorageWait{12};
    // Every helper reads for this long after reads last waited for the storage.
    static constexpr std::chrono::milliseconds kStorageWaitHeld{100};
    // For tests: every read counts as waiting for the storage, as on a cold cache.
    static inline std::atomic<bool> assumeSlowStorage{false};
    // For tests: a read-ahead made from now on takes a read slower than this many
    // microseconds an entry for one that waits for the storage (0: kStorageWait).
    static inline std::atomic<std::chrono::microseconds::rep> storageWaitForTests{0};
    // For tests: the helper threads started so far.
    size_t helpersStarted();

  private:
    friend struct FolderNode;
    struct Slot;
    // The folder of the parent's entry `entryIndex`; `slot` is its slot, or null when it has
    // none.
    std::shared_ptr<FolderNode> load(FolderReader& reader,
                                     const std::shared_ptr<FolderNode>& parent, size_t entryIndex,
                                     Slot* slot, int& error);
    void openChildrenNow(FolderReader& reader, FolderNode& node);
    // Puts the node's subfolders where the node's slot stood in the walk order; under the lock.
    void replaceSlot(const std::shared_ptr<Slot>& slot, const std::shared_ptr<FolderNode>& node);
    // The first pending folder after `from` in walk order whose parent is open, or null;
    // under the lock.
    std::shared_ptr<Slot> nextPending(std::list<std::shared_ptr<Slot>>::iterator from);
    // Reads a pending slot ahead of the walk and keeps the result for it; under the lock,
    // which it releases while reading.
    void readAhead(FolderReader& reader, const std::shared_ptr<Slot>& slot,
                   std::unique_lock<std::mutex>& lock);
    void announceChildren(FolderNode& node);
    std::string relativePathOf(const FolderNode& node) const; // below the root, "" for it
    void helperLoop(bool onlyWhileStorageWaits);
    void noteReadTime(std::chrono::steady_clock::time_point start,
                      std::chrono::steady_clock::time_point end, size_t entries); // under the lock
    void startHelper(bool onlyWhileStorageWaits);

    // Descriptor bookkeeping, on the walk's thread.
    void handOut(const std::shared_ptr<FolderNode>& node);
    void closeIfDone(FolderNode& node);
    void closeOldest();
    int reopen(FolderNode& node);

    bool recurse_;
    FolderFilter leaveOut_;
    bool oneFileSystem_;
    bool detailFolders_;
    dev_t rootDevice_ = 0;
    std::string rootPath_;
    PseudoFileSystems pseudo_;
    SharedStatxWay statxWay_; // for the walk's reader and every helper's
    FolderReader reader_{&pseudo_, oneFileSystem_, detailFolders_, &statxWay_};
    std::deque<std::weak_ptr<FolderNode>> handedOut_; // to the walk, oldest first

    std::mutex mutex_;
    std::condition_variable workOrRoom_;      // wakes the helper
    std::condition_variable slotDone_;        // wakes the walk
    std::list<std::shared_ptr<Slot>> toWalk_; // folders not yet reached, in walk order
    size_t unclaimed_ = 0;                    // read by the helper, not yet taken
    size_t unclaimedEntries_ = 0;             // in those
    bool stopping_ = false;
    std::condition_variable storageSlow_;   // wakes the helpers beyond the first
    std::atomic<bool> storageWaits_{false}; // reads ahead wait for the storage
    ReadPace pace_;                         // of the reads ahead
    std::vector<std::thread> helpers_;      // the first from the start, the others once needed
    size_t maxUnclaimed_ = 0;               // from the descriptor limit, once
    size_t maxPreOpened_ = 0;
    std::atomic<size_t> preOpened_{0}; // subfolders open and not yet read
};

// One folder read: its descriptor (open while it may be needed), its entries, and its
// subfolders to come.
struct FolderNode : std::enable_shared_from_this<FolderNode> {
    FolderNode();
    ~FolderNode();
    FolderNode(const FolderNode&) = delete;
    FolderNode& operator=(const FolderNode&) = delete;

    OpenFolder folder;
    FolderBatch batch;
    int readError = 0;

  private:
    friend class ReadAhead;
    std::vector<std::shared_ptr<ReadAhead::Slot>> children; // folder entries in listing order
    size_t nextChild = 0;
    std::weak_ptr<FolderNode> parent; // none for the root
    size_t indexInParent = 0;
    int borrowers = 0; // helpers opening a subfolder through it; under the lock
};

} // namespace vintrel
