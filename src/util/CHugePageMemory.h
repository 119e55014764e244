#pragma once

#include <cstddef>

#include "util/CBlockAllocator.h"

// Memory for large buffers. Each 4 KiB page a program touches first costs a
// page fault; blocks of huge-page size and alignment, advised for transparent
// huge pages, take one fault per 2 MiB where the kernel allows that. Large
// blocks come from the arena readied in the background when it has room
// (CMemoryReadier), otherwise fresh from the system. Small blocks come from
// the ordinary heap.
class CHugePageMemory {
public:
    static constexpr std::size_t kHugePageBytes = std::size_t{2} * 1024 * 1024;
    // Blocks of at least this size are rounded up to whole huge pages.
    static constexpr std::size_t kMinHugeBlock = kHugePageBytes / 2;

    // Never null: throws std::bad_alloc.
    static void* allocate(std::size_t bytes);
    static void release(void* block) noexcept;
    // For allocators, which pass the size back.
    static void deallocate(void* block, std::size_t /*bytes*/) noexcept { release(block); }

    // The size in whole huge pages (no overflow check).
    static std::size_t wholeHugePages(std::size_t bytes)
    {
        return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    }

    // The same, always from the system: for the readied memory itself.
    static void* allocateFresh(std::size_t bytes);
    static void releaseFresh(void* block) noexcept;
};

// Standard allocator over CHugePageMemory, for buffers that grow large.
template <typename T>
using CHugePageAllocator = CBlockAllocator<T, CHugePageMemory>;
