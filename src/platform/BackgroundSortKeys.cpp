#include "BackgroundSortKeys.h"

#include <algorithm>
#include <cstring>
#include <pthread.h>
#include <sched.h>

namespace vintrel {

namespace {

// Texts the helper takes at a time: short enough that a pause waits only microseconds.
constexpr size_t kChunk = 64;

void AppendNumber(std::string& out, size_t value) {
    while (value >= 0x80) {
        out += static_cast<char>(value | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

size_t ReadNumber(const std::string& in, size_t& at) {
    size_t value = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(in[at++]);
        value |= static_cast<size_t>(byte & 0x7F) << shift;
        if (byte < 0x80) return value;
    }
}

} // namespace

void SortKeyTable::append(const SortKeyTable& more) {
    const size_t offset = bytes_.size();
    bytes_ += more.bytes_;
    for (const size_t end : more.ends_) ends_.push_back(offset + end);
}

SortKeyTable MakeSortKeys(const std::string_view* texts, size_t count, const Collation& collation) {
    const size_t half = count > 20000 ? count / 2 : count;
    SortKeyTable first, second;
    std::thread helper;
    if (half < count) {
        helper = std::thread([&, own = collation.clone()] {
            for (size_t i = half; i < count; ++i) second.add(texts[i], own);
        });
    }
    for (size_t i = 0; i < half; ++i) first.add(texts[i], collation);
    if (helper.joinable()) helper.join();
    first.append(second);
    return first;
}

class BackgroundSortKeys::Pause {
  public:
    explicit Pause(BackgroundSortKeys& keys) : keys_(keys), lock_(keys.mutex_) {
        ++keys_.pauses_; // the helper takes no more texts until the pause ends
        keys_.idle_.wait(lock_, [&] { return !keys_.busy_; });
    }
    ~Pause() {
        --keys_.pauses_;
        keys_.wake_.notify_all();
    }
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;

  private:
    BackgroundSortKeys& keys_;
    std::unique_lock<std::mutex> lock_;
};

BackgroundSortKeys::BackgroundSortKeys(const Collation& collation)
    : collation_(collation.clone()) {}

BackgroundSortKeys::~BackgroundSortKeys() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (helper_.joinable()) helper_.join();
}

uint32_t BackgroundSortKeys::add(const std::vector<std::string_view>& texts) {
    const std::lock_guard lock(mutex_);
    const uint32_t first = added_;
    queue_.insert(queue_.end(), texts.begin(), texts.end());
    added_ += static_cast<uint32_t>(texts.size());
    if (!helper_.joinable()) helper_ = std::thread([this] { helperLoop(); });
    wake_.notify_all();
    return first;
}

void BackgroundSortKeys::forget(const std::vector<uint32_t>& indexes) {
    const Pause pause(*this);
    for (const uint32_t index : indexes) {
        if (index >= made_ && index < added_) queue_[queueStart_ + (index - made_)] = {};
    }
}

void BackgroundSortKeys::clearUnderLock() {
    queue_.clear();
    queue_.shrink_to_fit();
    queueStart_ = 0;
    added_ = made_ = 0;
    coded_.clear();
    coded_.shrink_to_fit();
    lastKey_.clear();
}

void BackgroundSortKeys::reset() {
    const Pause pause(*this);
    clearUnderLock();
}

void BackgroundSortKeys::reset(const Collation& collation) {
    const Pause pause(*this);
    clearUnderLock();
    collation_ = collation.clone();
}

size_t BackgroundSortKeys::made() const {
    const std::lock_guard lock(mutex_);
    return made_;
}

void BackgroundSortKeys::store(const SortKeyTable& keys) {
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string_view key = keys[static_cast<uint32_t>(i)];
        const size_t shared = static_cast<size_t>(
            std::mismatch(key.begin(), key.end(), lastKey_.begin(), lastKey_.end()).first -
            key.begin());
        AppendNumber(coded_, shared);
        AppendNumber(coded_, key.size() - shared);
        coded_.append(key.substr(shared));
        lastKey_.assign(key);
    }
    made_ += static_cast<uint32_t>(keys.size());
    queueStart_ += keys.size();
    if (queueStart_ == queue_.size()) {
        queue_.clear();
        queueStart_ = 0;
    } else if (queueStart_ > 4096 && queueStart_ > queue_.size() / 2) {
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<ptrdiff_t>(queueStart_));
        queueStart_ = 0;
    }
}

void BackgroundSortKeys::helperLoop() {
    // Idle priority: the walk, the window and everything else go first.
    const sched_param idle{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || (pauses_ == 0 && made_ < added_); });
        if (stopping_) return;
        const size_t count = std::min<size_t>(kChunk, added_ - made_);
        const std::vector<std::string_view> texts(
            queue_.begin() + static_cast<ptrdiff_t>(queueStart_),
            queue_.begin() + static_cast<ptrdiff_t>(queueStart_ + count));
        busy_ = true;
        lock.unlock();
        SortKeyTable keys;
        for (const std::string_view text : texts) keys.add(text, collation_);
        lock.lock();
        busy_ = false;
        store(keys); // a reset waits for the helper: these texts are still wanted
        idle_.notify_all();
    }
}

SortKeyTable BackgroundSortKeys::all() {
    const Pause pause(*this);
    SortKeyTable table;
    // One pass for the size, so that the keys are written once, in place.
    size_t total = 0;
    for (size_t at = 0, keys = 0; keys < made_; ++keys) {
        total += ReadNumber(coded_, at);
        const size_t rest = ReadNumber(coded_, at);
        total += rest;
        at += rest;
    }
    table.bytes_.resize(total);
    table.ends_.resize(made_);
    char* const out = table.bytes_.data();
    for (size_t at = 0, begin = 0, end = 0, key = 0; key < made_; ++key) {
        const size_t shared = ReadNumber(coded_, at);
        const size_t rest = ReadNumber(coded_, at);
        std::memmove(out + end, out + begin, shared); // the beginning of the key before
        std::memcpy(out + end + shared, coded_.data() + at, rest);
        at += rest;
        begin = end;
        end += shared + rest;
        table.ends_[key] = end;
    }
    if (made_ < added_) { // the rest is made now
        const SortKeyTable rest =
            MakeSortKeys(queue_.data() + queueStart_, added_ - made_, collation_);
        table.append(rest);
        store(rest);
    }
    return table;
}

} // namespace vintrel
