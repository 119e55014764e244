#pragma once

#include <cstddef>

// Recycled storage for the many small records of a run (statements, operands,
// expression nodes): blocks come from large chunks and return to a free list
// per size, so building and destroying millions of records costs a few
// instructions each and no per-block heap header. When the last block is
// given back, every chunk is released. Used from one thread.
// Builds with AddressSanitizer use the global heap, so every block stays checked.
class CSmallObjectPool {
public:
    // Sizes up to this many bytes are pooled; larger ones use the global heap.
    static constexpr std::size_t kMaxPooledSize = 128;

    static void* allocate(std::size_t size);
    // `size` must be the size given to allocate.
    static void deallocate(void* block, std::size_t size) noexcept;

    // Pooled blocks currently handed out.
    static std::size_t liveBlocks();
};

// Base that routes a class's (and its derived classes') heap allocations
// through the pool; the deleting destructor passes the dynamic size.
struct CPooled {
    static void* operator new(std::size_t size) { return CSmallObjectPool::allocate(size); }
    static void operator delete(void* block, std::size_t size) noexcept
    {
        CSmallObjectPool::deallocate(block, size);
    }
};
