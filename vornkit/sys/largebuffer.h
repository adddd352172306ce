#pragma once

#include "sys/vornkit_global.h"

#include <cstddef>

// A large working buffer that keeps its memory from use to use, taken in huge pages where the system allows them:
// memory touched for the first time costs a page fault for each small page, far fewer with huge ones.
class VORNKIT_EXPORT LargeBuffer {
public:
    LargeBuffer() = default;
    ~LargeBuffer();
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    // At least bytes, all zero, valid until the next call; null when the memory cannot be had.
    void* zeroed(size_t bytes);

private:
    void release();

    void* m_map = nullptr;
    size_t m_mapBytes = 0;
    unsigned char* m_data = nullptr;
    size_t m_bytes = 0;
    size_t m_dirty = 0; // bytes handed out since the memory was last zero
};
