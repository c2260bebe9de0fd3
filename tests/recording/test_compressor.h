#pragma once
// Video compressors installed into the test process, each with a fixed behaviour, so that the
// compressor check and the failure paths run against the real movie library.
#include <windows.h>
#include <vfw.h>

#include <vector>

enum class CompressorBehaviour {
    PassThrough,    // accepts every frame and stores it unchanged
    EvenSizesOnly,  // accepts frames whose width and height are even
    RefuseAll,      // accepts no frame
    FailOnCompress, // accepts frames, then fails every compression
};

class TestCompressor {
public:
    TestCompressor(DWORD handler, CompressorBehaviour behaviour);
    ~TestCompressor();
    TestCompressor(const TestCompressor&) = delete;
    TestCompressor& operator=(const TestCompressor&) = delete;

    // The state last handed over with ICM_SETSTATE, and how often it came.
    static std::vector<BYTE> lastState;
    static int stateCount;

private:
    DWORD m_handler;
};

// Puts the compressor at a position of the compressor list and chooses it there.
void ChooseListedCompressor(int position, DWORD handler);
