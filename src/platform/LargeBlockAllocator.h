#pragma once
// An allocator for the few containers that grow to megabytes (the type table's records and
// indexes, with 100,000 types): their blocks of 2 MiB and more are asked to be backed by huge
// pages, so that growing them costs a page fault per 2 MiB instead of one per 4 KiB, which is
// most of the cost of a large type table on machines where a fault is slow. Where the kernel
// gives no huge pages the advice is ignored and the memory is ordinary.

#include <cstddef>
#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <vector>

namespace vintrel {

inline constexpr size_t kHugePage = size_t{2} << 20;

template <typename T> class LargeBlockAllocator {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);

  public:
    using value_type = T;

    LargeBlockAllocator() = default;
    template <typename U> LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

    T* allocate(size_t count) {
        if (count > static_cast<size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        const size_t bytes = count * sizeof(T);
        if (bytes < kHugePage) return static_cast<T*>(::operator new(bytes));
        const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* block = std::aligned_alloc(kHugePage, rounded);
        if (block == nullptr) throw std::bad_alloc();
        madvise(block, rounded, MADV_HUGEPAGE);
        return static_cast<T*>(block);
    }

    void deallocate(T* block, size_t count) noexcept {
        if (count * sizeof(T) < kHugePage) {
            ::operator delete(block);
        } else {
            std::free(block);
        }
    }

    template <typename U> bool operator==(const LargeBlockAllocator<U>&) const noexcept {
        return true;
    }
};

template <typename T> using LargeVector = std::vector<T, LargeBlockAllocator<T>>;

} // namespace vintrel
