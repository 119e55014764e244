#include "util/CSmallObjectPool.h"

#include "util/CHugePageMemory.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ROZEDOV_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ROZEDOV_POOL_BYPASS 1
#endif
#endif

namespace {
constexpr std::size_t kGranule = alignof(std::max_align_t);
constexpr std::size_t kClasses = CSmallObjectPool::kMaxPooledSize / kGranule;
// Chunks are one huge page each.
constexpr std::size_t kChunkBytes = CHugePageMemory::kHugePageBytes;

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
            CHugePageMemory::release(chunk);
        }
        freeLists.fill(nullptr);
        cursor = nullptr;
        left = 0;
    }
};

constinit PoolState g_pool;

void* newChunk();

// Chunks made ready ahead of use by a background thread: it allocates them
// and touches every page, so the kernel's faulting and zeroing run on another
// core (while the preprocessor runs) instead of in the middle of parsing.
class ChunkSupply {
public:
    ~ChunkSupply() { stop(); }

    // Readying is a favour: without memory for its list or a thread to run
    // on, the parse simply gets its own chunks.
    void start(std::size_t chunks)
    {
        stop();
        m_stopping = false;
        try {
            m_ready.reserve(chunks);
            m_worker = std::thread([this, chunks] { prepare(chunks); });
        } catch (const std::exception&) {
            m_ready.shrink_to_fit();
        }
    }

    // A prepared chunk, or null when none is ready.
    void* take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ready.empty()) {
            return nullptr;
        }
        void* chunk = m_ready.back();
        m_ready.pop_back();
        return chunk;
    }

    // Ends the preparation and frees the chunks never taken.
    void stop()
    {
        m_stopping = true;
        if (m_worker.joinable()) {
            m_worker.join();
        }
        for (void* chunk : m_ready) {
            CHugePageMemory::release(chunk);
        }
        m_ready.clear();
    }

private:
    void prepare(std::size_t chunks) noexcept
    {
        constexpr std::size_t kPageBytes = 4096;
        for (std::size_t i = 0; i < chunks && !m_stopping; ++i) {
            void* fresh = nullptr;
            try {
                fresh = newChunk();
            } catch (const std::bad_alloc&) {
                return;
            }
            auto* chunk = static_cast<volatile char*>(fresh);
            for (std::size_t offset = 0; offset < kChunkBytes; offset += kPageBytes) {
                chunk[offset] = 0;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ready.push_back(const_cast<char*>(chunk));
        }
    }

    std::mutex m_mutex;
    std::vector<void*> m_ready;
    std::thread m_worker;
    std::atomic<bool> m_stopping{false};
};

ChunkSupply& chunkSupply()
{
    static ChunkSupply supply;
    return supply;
}

std::size_t classOf(std::size_t size)
{
    return (size + kGranule - 1) / kGranule - 1;
}

void* newChunk()
{
    return CHugePageMemory::allocate(kChunkBytes);
}

// Readying never takes more than an eighth of the machine's memory, whatever
// the estimate (a huge file of comments needs next to none).
std::size_t maxPreparedBytes()
{
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageBytes = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageBytes > 0) {
        return static_cast<std::size_t>(pages) / 8 * static_cast<std::size_t>(pageBytes);
    }
#endif
    return std::size_t{1} << 30;
}

void* carve(PoolState& pool, std::size_t bytes)
{
    if (pool.left < bytes) {
        void* prepared = chunkSupply().take();
        auto* chunk = static_cast<ChunkHeader*>(prepared != nullptr ? prepared : newChunk());
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
#ifdef ROZEDOV_POOL_BYPASS
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

void CSmallObjectPool::prepare(std::size_t bytes)
{
    const std::size_t chunks = std::min(bytes, maxPreparedBytes()) / kChunkBytes;
#ifdef ROZEDOV_POOL_BYPASS
    (void)chunks;
#else
    if (chunks > 0) {
        chunkSupply().start(chunks);
    }
#endif
}

void CSmallObjectPool::stopPreparing()
{
#ifndef ROZEDOV_POOL_BYPASS
    chunkSupply().stop();
#endif
}

std::size_t CSmallObjectPool::liveBlocks()
{
    return g_pool.live;
}
