#include "util/CSmallObjectPool.h"

#include <sys/mman.h>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "util/SanitizedHeap.h"

namespace {
constexpr std::size_t kGranule = alignof(std::max_align_t);
constexpr std::size_t kClasses = CSmallObjectPool::kMaxPooledSize / kGranule;
// One chunk is one transparent huge page where the kernel gives them on
// request: a large run then takes one page fault per chunk instead of 512.
constexpr std::size_t kChunkBytes = std::size_t{2} << 20;

struct FreeBlock {
    FreeBlock* next;
};

// Chunks are chained through a header at their start.
struct alignas(std::max_align_t) ChunkHeader {
    ChunkHeader* previous;
};

// Trivially destructible: nothing is torn down at exit, so a process that
// ends with records still alive keeps their chunks reachable.
struct PoolState {
    std::array<FreeBlock*, kClasses> freeLists{};
    ChunkHeader* newestChunk = nullptr;
    // Unused tail of the newest chunk.
    std::byte* cursor = nullptr;
    std::size_t left = 0;
    std::size_t live = 0;

    void releaseAll()
    {
        while (newestChunk != nullptr) {
            ChunkHeader* chunk = newestChunk;
            newestChunk = chunk->previous;
            std::free(chunk);
        }
        freeLists.fill(nullptr);
        cursor = nullptr;
        left = 0;
    }
};

constinit PoolState g_pool;

std::size_t classOf(std::size_t size)
{
    return (size + kGranule - 1) / kGranule - 1;
}

void* newChunk()
{
    void* chunk = std::aligned_alloc(kChunkBytes, kChunkBytes);
    if (chunk == nullptr) {
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    ::madvise(chunk, kChunkBytes, MADV_HUGEPAGE);
#endif
    return chunk;
}

void* carve(PoolState& pool, std::size_t bytes)
{
    if (pool.left < bytes) {
        auto* chunk = static_cast<ChunkHeader*>(newChunk());
        chunk->previous = pool.newestChunk;
        pool.newestChunk = chunk;
        pool.cursor = reinterpret_cast<std::byte*>(chunk) + sizeof(ChunkHeader);
        pool.left = kChunkBytes - sizeof(ChunkHeader);
    }
    void* block = pool.cursor;
    pool.cursor += bytes;
    pool.left -= bytes;
    return block;
}

bool pooled(std::size_t size)
{
#ifdef ROZEDOV_SANITIZED_HEAP
    (void)size;
    return false;
#else
    return size > 0 && size <= CSmallObjectPool::kMaxPooledSize;
#endif
}
}  // namespace

void* CSmallObjectPool::allocate(std::size_t size)
{
    if (!pooled(size)) {
        return ::operator new(size);
    }
    PoolState& pool = g_pool;
    FreeBlock*& head = pool.freeLists[classOf(size)];
    void* block = nullptr;
    if (head != nullptr) {
        block = head;
        head = head->next;
    } else {
        block = carve(pool, (classOf(size) + 1) * kGranule);
    }
    ++pool.live;
    return block;
}

void CSmallObjectPool::deallocate(void* block, std::size_t size) noexcept
{
    if (block == nullptr) {
        return;
    }
    if (!pooled(size)) {
        ::operator delete(block);
        return;
    }
    PoolState& pool = g_pool;
    if (--pool.live == 0) {
        pool.releaseAll();
        return;
    }
    auto* freed = static_cast<FreeBlock*>(block);
    FreeBlock*& head = pool.freeLists[classOf(size)];
    freed->next = head;
    head = freed;
}

std::size_t CSmallObjectPool::liveBlocks()
{
    return g_pool.live;
}
