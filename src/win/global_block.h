#pragma once
// Movable, zero-initialised global memory blocks, the form the platform's audio and video calls
// expect for frames, formats, compressor state and option records.
#include "win/handles.h"

#include <cstddef>

class GlobalBlock {
public:
    GlobalBlock() = default;
    // An empty block on failure: check with valid().
    explicit GlobalBlock(std::size_t size) : m_block(GlobalAlloc(GHND, size)) {}

    bool valid() const { return static_cast<bool>(m_block); }
    HGLOBAL handle() const { return m_block.get(); }
    std::size_t size() const { return m_block ? GlobalSize(m_block.get()) : 0; }
    HGLOBAL release() { return m_block.release(); }
    void reset(HGLOBAL block = nullptr) { m_block.reset(block); }

private:
    OwnedGlobal m_block;
};

// Keeps a global block locked while in scope.
class LockedGlobal {
public:
    explicit LockedGlobal(HGLOBAL block) : m_block(block), m_data(block ? ::GlobalLock(block) : nullptr) {}
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
    ~LockedGlobal()
    {
        if (m_data) {
            GlobalUnlock(m_block);
        }
    }
    void* data() const { return m_data; }
    template <typename T> T* as() const { return static_cast<T*>(m_data); }

private:
    HGLOBAL m_block;
    void* m_data;
};
