#include "utility/MappedBytes.h"

#ifndef _WIN32
#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace zlv {

#ifdef _WIN32

// Windows keeps a mapped file from being replaced or deleted, which the journal's own
// files must allow at any time: there the callers read.
std::shared_ptr<MappedBytes> MappedBytes::map(int, std::uint64_t, std::size_t)
{
    return nullptr;
}
MappedBytes::~MappedBytes() = default;
void MappedBytes::release() const {}

#else

namespace {

// The ranges of every live view, for the SIGBUS handler to tell its own faults from
// others. Written under the mutex, read by the handler without it: a slot's end is set
// before its start and cleared after it, so that a start seen is a whole range.
constexpr int kSlots = 8192;
struct Range
{
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
};
Range g_ranges[kSlots];
std::atomic<int> g_slotsUsed{0}; // slots at and above this were never used
std::mutex g_slotMutex;
std::uintptr_t g_pageSize = 4096;
struct sigaction g_previous;

void OnBusError(int signal, siginfo_t* info, void* context)
{
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    const int used = g_slotsUsed.load(std::memory_order_acquire);
    for (int i = 0; i < used; ++i) {
        const std::uintptr_t begin = g_ranges[i].begin.load(std::memory_order_acquire);
        if (begin != 0 && begin <= at && at < g_ranges[i].end.load(std::memory_order_acquire)) {
            void* page = reinterpret_cast<void*>(at & ~(g_pageSize - 1));
            if (::mmap(page, g_pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                       0) != MAP_FAILED) {
                return; // the touch is made again, and reads NULs
            }
        }
    }
    // Not a view of ours: whatever would have happened without this handler.
    if (g_previous.sa_flags & SA_SIGINFO) {
        g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
    } else {
        ::signal(signal, SIG_DFL); // the faulting touch is made again and ends the process
    }
}

void InstallHandler()
{
    g_pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action
    {
    };
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previous);
}

int ClaimSlot(std::uintptr_t begin, std::uintptr_t end)
{
    static std::once_flag installed;
    std::call_once(installed, InstallHandler);
    const std::lock_guard lock(g_slotMutex);
    for (int i = 0; i < kSlots; ++i) {
        if (g_ranges[i].begin.load(std::memory_order_relaxed) == 0) {
            g_ranges[i].end.store(end, std::memory_order_release);
            g_ranges[i].begin.store(begin, std::memory_order_release);
            if (i >= g_slotsUsed.load(std::memory_order_relaxed)) {
                g_slotsUsed.store(i + 1, std::memory_order_release);
            }
            return i;
        }
    }
    return -1;
}

} // namespace

std::shared_ptr<MappedBytes> MappedBytes::map(int fd, std::uint64_t offset, std::size_t length)
{
    if (fd < 0 || length == 0) {
        return nullptr;
    }
    const std::uint64_t page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t start = offset / page * page;
    const std::size_t mapped = static_cast<std::size_t>(offset - start) + length;
    void* base = ::mmap(nullptr, mapped, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(start));
    if (base == MAP_FAILED) {
        return nullptr;
    }
    std::shared_ptr<MappedBytes> view(new MappedBytes);
    view->m_base = base;
    view->m_mapped = mapped;
    view->m_data = static_cast<const char*>(base) + (offset - start);
    view->m_size = length;
    const auto begin = reinterpret_cast<std::uintptr_t>(base);
    view->m_slot = ClaimSlot(begin, begin + mapped);
    if (view->m_slot < 0) {
        return nullptr; // unguarded, it could crash the process: read instead
    }
    return view;
}

MappedBytes::~MappedBytes()
{
    if (m_slot >= 0) {
        const std::lock_guard lock(g_slotMutex);
        g_ranges[m_slot].begin.store(0, std::memory_order_release);
        g_ranges[m_slot].end.store(0, std::memory_order_release);
    }
    if (m_base) {
        ::munmap(m_base, m_mapped);
    }
}

void MappedBytes::release() const
{
    ::madvise(m_base, m_mapped, MADV_DONTNEED);
}

#endif

} // namespace zlv
