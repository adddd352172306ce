#include "sys/largebuffer.h"

#include <cstdint>
#include <cstring>

#include <sys/mman.h>

namespace {

const size_t kHugePage = size_t(2) << 20;

} // namespace

LargeBuffer::~LargeBuffer()
{
    release();
}

void LargeBuffer::release()
{
    if (m_map)
        munmap(m_map, m_mapBytes);
    m_map = nullptr;
    m_data = nullptr;
    m_mapBytes = m_bytes = m_dirty = 0;
}

void* LargeBuffer::zeroed(size_t bytes)
{
    if (bytes == 0)
        bytes = 1;
    if (m_data && bytes <= m_bytes) {
        std::memset(m_data, 0, m_dirty);
        m_dirty = bytes;
        return m_data;
    }
    release();
    // Whole huge pages, on a huge page's bound: a new mapping reads as zero.
    const size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* map = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED)
        return nullptr;
    m_map = map;
    m_mapBytes = size + kHugePage;
    m_data = reinterpret_cast<unsigned char*>(
        (reinterpret_cast<std::uintptr_t>(map) + kHugePage - 1) / kHugePage * kHugePage);
    m_bytes = size;
    m_dirty = bytes;
#ifdef MADV_HUGEPAGE
    madvise(m_data, size, MADV_HUGEPAGE);
#endif
    return m_data;
}
