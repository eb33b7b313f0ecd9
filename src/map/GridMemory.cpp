#include "map/GridMemory.h"

#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace gridport {

namespace {

// Only advice: where the system has no large pages, or declines, nothing
// changes. Just the whole 2 MiB pages inside the block are advised.
void AdviseLargePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (start + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kLargePage - 1);
    if (end > begin) {
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#endif
}

}  // namespace

void ReserveGrid(std::vector<std::uint32_t>& cells, std::size_t count) {
    // In a 32-bit process a 65535 x 65535 grid is more than a vector can
    // hold, and reserve would throw std::length_error, which no caller
    // expects: it is a lack of memory like any other.
    if (count > cells.max_size()) {
        throw std::bad_alloc();
    }
    cells.reserve(count);
    AdviseLargePages(cells.data(), cells.capacity() * sizeof(std::uint32_t));
}

}  // namespace gridport
