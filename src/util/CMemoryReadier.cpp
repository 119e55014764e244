#include "util/CMemoryReadier.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "util/CHugePageMemory.h"
#include "util/SanitizedHeap.h"

namespace {
constexpr std::size_t kPageBytes = 4096;

// Readying never takes more than an eighth of the machine's memory, whatever
// the estimate (a huge file of comments needs next to none).
std::size_t maxReadiedBytes()
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

// The parse and the preprocessor run side by side on a machine that may have
// only two cores: readying takes only time no other thread wants, so it never
// slows them down. Where that cannot be had, it runs as any thread.
void yieldToOtherWork(std::thread& thread)
{
#if defined(__linux__) && defined(SCHED_IDLE)
    const sched_param parameters{};
    pthread_setschedparam(thread.native_handle(), SCHED_IDLE, &parameters);
#else
    (void)thread;
#endif
}

// Writes one byte per page from `begin` to `end`, so that the pages exist.
void touchPages(std::byte* begin, std::byte* end)
{
    for (auto* page = reinterpret_cast<volatile std::byte*>(begin); page < end; page += kPageBytes) {
        *page = std::byte{0};
    }
}

// The arena's bookkeeping is constant-initialised and needs no teardown, so
// blocks can be given back at any time, also during exit. Blocks are cut in
// order and the arena is reused from its start once all are back.
struct Arena {
    std::byte* base = nullptr;
    std::size_t size = 0;
    // Whether the readying thread may still be touching it.
    bool readying = false;
    std::size_t used = 0;
    std::size_t live = 0;

    // Bytes from the base that are touched and may be handed out: the
    // readying thread publishes them under the lock, which orders its
    // touching before any use.
    std::size_t readyBytes()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return ready;
    }
    void publish(std::size_t bytes)
    {
        std::lock_guard<std::mutex> lock(mutex);
        ready = bytes;
    }

    bool owns(const void* block) const
    {
        const auto* byte = static_cast<const std::byte*>(block);
        return base != nullptr && byte >= base && byte < base + size;
    }

    void release()
    {
        CHugePageMemory::releaseFresh(base);
        base = nullptr;
        size = 0;
        used = 0;
        publish(0);
    }

private:
    std::mutex mutex;
    std::size_t ready = 0;
};

constinit Arena g_arena;

// The background thread and the chunks it readied.
class Readier {
public:
    ~Readier()
    {
        stop();
        if (g_arena.base != nullptr && g_arena.live == 0) {
            g_arena.release();
        }
    }

    void start(std::size_t arenaBytes, std::size_t chunks)
    {
        stop();
        const bool withArena =
            arenaBytes >= CMemoryReadier::kChunkBytes && makeArena(CHugePageMemory::wholeHugePages(arenaBytes));
        if (!withArena && chunks == 0) {
            return;
        }
        m_stopping = false;
        try {
            m_ready.reserve(chunks);
            g_arena.readying = withArena;
            m_worker = std::thread([this, withArena, chunks] { run(withArena, chunks); });
            yieldToOtherWork(m_worker);
        } catch (const std::exception&) {
            g_arena.readying = false;
            m_ready.shrink_to_fit();
        }
    }

    void* takeChunk()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ready.empty()) {
            return nullptr;
        }
        void* chunk = m_ready.back();
        m_ready.pop_back();
        return chunk;
    }

    void stop()
    {
        m_stopping = true;
        if (m_worker.joinable()) {
            m_worker.join();
        }
        for (void* chunk : m_ready) {
            CHugePageMemory::releaseFresh(chunk);
        }
        m_ready.clear();
        g_arena.readying = false;
        // Pages not touched yet are faulted by whoever uses them.
        g_arena.publish(g_arena.size);
    }

private:
    // A fresh arena, unless the present one still has blocks in use.
    static bool makeArena(std::size_t bytes)
    {
        if (g_arena.live > 0) {
            return false;
        }
        if (g_arena.base != nullptr) {
            g_arena.release();
        }
        try {
            g_arena.base = static_cast<std::byte*>(CHugePageMemory::allocateFresh(bytes));
        } catch (const std::bad_alloc&) {
            return false;
        }
        g_arena.size = bytes;
        return true;
    }

    void run(bool withArena, std::size_t chunks) noexcept
    {
        if (withArena) {
            readyArena();
        }
        for (std::size_t i = 0; i < chunks && !m_stopping; ++i) {
            void* chunk = nullptr;
            try {
                chunk = CHugePageMemory::allocateFresh(CMemoryReadier::kChunkBytes);
            } catch (const std::bad_alloc&) {
                return;
            }
            auto* bytes = static_cast<std::byte*>(chunk);
            touchPages(bytes, bytes + CMemoryReadier::kChunkBytes);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ready.push_back(chunk);
        }
    }

    // Touches the arena a chunk at a time and publishes each as it is done;
    // the main thread never hands out what is not published yet.
    void readyArena() noexcept
    {
        for (std::size_t done = 0; done < g_arena.size && !m_stopping;) {
            const std::size_t next = std::min(g_arena.size, done + CMemoryReadier::kChunkBytes);
            touchPages(g_arena.base + done, g_arena.base + next);
            g_arena.publish(next);
            done = next;
        }
    }

    std::mutex m_mutex;
    std::vector<void*> m_ready;
    std::thread m_worker;
    std::atomic<bool> m_stopping{false};
};

Readier& readier()
{
    static Readier instance;
    return instance;
}
}  // namespace

void CMemoryReadier::start(std::size_t arenaBytes, std::size_t chunkBytes)
{
#ifdef ROZEDOV_SANITIZED_HEAP
    // Every block comes from the checked heap: nothing to ready.
    (void)arenaBytes;
    (void)chunkBytes;
    (void)maxReadiedBytes;
#else
    // The arena comes first, and the cap holds for both together.
    const std::size_t most = maxReadiedBytes();
    const std::size_t arena = std::min(arenaBytes, most);
    readier().start(arena, std::min(chunkBytes, most - arena) / kChunkBytes);
#endif
}

void* CMemoryReadier::takeChunk()
{
    return readier().takeChunk();
}

void CMemoryReadier::stop()
{
    readier().stop();
}

void* CMemoryReadier::takeArenaBlock(std::size_t bytes)
{
    Arena& arena = g_arena;
    if (arena.base == nullptr || bytes == 0 || bytes > arena.size) {
        return nullptr;
    }
    const std::size_t rounded = CHugePageMemory::wholeHugePages(bytes);
    if (rounded > arena.readyBytes() - arena.used) {
        return nullptr;
    }
    std::byte* block = arena.base + arena.used;
    arena.used += rounded;
    ++arena.live;
    return block;
}

bool CMemoryReadier::releaseArenaBlock(void* block) noexcept
{
    Arena& arena = g_arena;
    if (!arena.owns(block)) {
        return false;
    }
    if (--arena.live == 0) {
        if (arena.readying) {
            arena.used = 0;
        } else {
            arena.release();
        }
    }
    return true;
}
