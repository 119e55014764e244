#pragma once

#include <cstddef>
#include <new>

// Memory for large buffers. Each 4 KiB page a program touches first costs a
// page fault; blocks of huge-page size and alignment, advised for transparent
// huge pages, take one fault per 2 MiB where the kernel allows that. Small
// blocks come from the ordinary heap.
class CHugePageMemory {
public:
    static constexpr std::size_t kHugePageBytes = std::size_t{2} * 1024 * 1024;
    // Blocks of at least this size are rounded up to whole huge pages.
    static constexpr std::size_t kMinHugeBlock = kHugePageBytes / 2;

    // Never null: throws std::bad_alloc.
    static void* allocate(std::size_t bytes);
    static void release(void* block) noexcept;
};

// Standard allocator over CHugePageMemory, for buffers that grow large.
template <typename T>
struct CHugePageAllocator {
    using value_type = T;

    CHugePageAllocator() = default;
    template <typename U>
    CHugePageAllocator(const CHugePageAllocator<U>& /*other*/) noexcept
    {
    }

    T* allocate(std::size_t count)
    {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(CHugePageMemory::allocate(count * sizeof(T)));
    }
    void deallocate(T* block, std::size_t /*count*/) noexcept { CHugePageMemory::release(block); }

    template <typename U>
    bool operator==(const CHugePageAllocator<U>& /*other*/) const noexcept
    {
        return true;
    }
};
