#pragma once
// The stream the movie library's compressed stream (AVIMakeCompressedStream) writes into. It hands
// the compressor's output format and each compressed frame on to the program's own movie writer, so
// that the chosen compressor is driven as it always was while the file is the program's.
#include <windows.h>
#include <vfw.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class CFrameStream final : public IAVIStream {
public:
    struct Target {
        std::function<HRESULT(const void* format, LONG size)> setFormat;
        // One frame at its time-line position; the key flag is the compressor's.
        std::function<HRESULT(LONG position, const void* data, LONG size, bool key)> write;
    };

    // Reference counted: made with one reference, which the caller releases.
    CFrameStream(const AVISTREAMINFOW& info, Target target);
    CFrameStream(const CFrameStream&) = delete;
    CFrameStream& operator=(const CFrameStream&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Create(LPARAM, LPARAM) override;
    HRESULT STDMETHODCALLTYPE Info(AVISTREAMINFOW* info, LONG size) override;
    LONG STDMETHODCALLTYPE FindSample(LONG position, LONG flags) override;
    HRESULT STDMETHODCALLTYPE ReadFormat(LONG position, void* format, LONG* size) override;
    HRESULT STDMETHODCALLTYPE SetFormat(LONG position, void* format, LONG size) override;
    HRESULT STDMETHODCALLTYPE Read(LONG, LONG, void*, LONG, LONG*, LONG*) override;
    HRESULT STDMETHODCALLTYPE Write(LONG start, LONG samples, void* data, LONG size, DWORD flags, LONG* samplesWritten,
                                    LONG* bytesWritten) override;
    HRESULT STDMETHODCALLTYPE Delete(LONG, LONG) override;
    HRESULT STDMETHODCALLTYPE ReadData(DWORD, void*, LONG*) override;
    HRESULT STDMETHODCALLTYPE WriteData(DWORD, void*, LONG) override;
    HRESULT STDMETHODCALLTYPE SetInfo(AVISTREAMINFOW*, LONG) override;

private:
    ~CFrameStream() = default;

    std::atomic<ULONG> m_references{1};
    AVISTREAMINFOW m_info;
    Target m_target;
    std::vector<std::uint8_t> m_format;
};
