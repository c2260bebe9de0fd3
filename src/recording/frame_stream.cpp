#include "recording/frame_stream.h"

#include <algorithm>
#include <cstring>

namespace {
// IID_IAVIStream, written out: the import libraries do not all carry it.
constexpr GUID kStreamInterface = {0x00020021, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
} // namespace

CFrameStream::CFrameStream(const AVISTREAMINFOW& info, Target target) : m_info(info), m_target(std::move(target))
{
    m_info.dwCaps = AVIFILECAPS_CANREAD | AVIFILECAPS_CANWRITE;
    m_info.dwLength = 0;
}

HRESULT CFrameStream::QueryInterface(REFIID id, void** object)
{
    if (!object) {
        return E_POINTER;
    }
    if (IsEqualGUID(id, IID_IUnknown) || IsEqualGUID(id, kStreamInterface)) {
        *object = static_cast<IAVIStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CFrameStream::AddRef()
{
    return ++m_references;
}

ULONG CFrameStream::Release()
{
    const ULONG left = --m_references;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT CFrameStream::Create(LPARAM, LPARAM)
{
    return AVIERR_UNSUPPORTED;
}

HRESULT CFrameStream::Info(AVISTREAMINFOW* info, LONG size)
{
    if (!info || size < 0) {
        return AVIERR_BADPARAM;
    }
    std::memcpy(info, &m_info, std::min<std::size_t>(static_cast<std::size_t>(size), sizeof(m_info)));
    return size < static_cast<LONG>(sizeof(m_info)) ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

LONG CFrameStream::FindSample(LONG, LONG)
{
    return -1;
}

HRESULT CFrameStream::ReadFormat(LONG, void* format, LONG* size)
{
    if (!size) {
        return AVIERR_BADPARAM;
    }
    if (m_format.empty()) {
        return AVIERR_NODATA;
    }
    const auto have = static_cast<LONG>(m_format.size());
    if (format) {
        std::memcpy(format, m_format.data(), static_cast<std::size_t>(std::min(*size, have)));
    }
    const bool whole = !format || *size >= have;
    *size = have;
    return whole ? AVIERR_OK : AVIERR_BUFFERTOOSMALL;
}

HRESULT CFrameStream::SetFormat(LONG, void* format, LONG size)
{
    if (!format || size <= 0) {
        return AVIERR_BADPARAM;
    }
    const HRESULT result = m_target.setFormat(format, size);
    if (result == AVIERR_OK) {
        const auto* bytes = static_cast<const std::uint8_t*>(format);
        m_format.assign(bytes, bytes + size);
    }
    return result;
}

HRESULT CFrameStream::Read(LONG, LONG, void*, LONG, LONG*, LONG*)
{
    return AVIERR_UNSUPPORTED;
}

HRESULT CFrameStream::Write(LONG start, LONG samples, void* data, LONG size, DWORD flags, LONG* samplesWritten,
                            LONG* bytesWritten)
{
    if (samplesWritten) {
        *samplesWritten = 0;
    }
    if (bytesWritten) {
        *bytesWritten = 0;
    }
    if (start < 0 || samples != 1 || size < 0 || (size > 0 && !data)) {
        return AVIERR_BADPARAM;
    }
    const HRESULT result = m_target.write(start, data, size, (flags & AVIIF_KEYFRAME) != 0);
    if (result == AVIERR_OK) {
        m_info.dwLength = static_cast<DWORD>(start) + 1;
        if (samplesWritten) {
            *samplesWritten = 1;
        }
        if (bytesWritten) {
            *bytesWritten = size;
        }
    }
    return result;
}

HRESULT CFrameStream::Delete(LONG, LONG)
{
    return AVIERR_UNSUPPORTED;
}

HRESULT CFrameStream::ReadData(DWORD, void*, LONG*)
{
    return AVIERR_NODATA;
}

HRESULT CFrameStream::WriteData(DWORD, void*, LONG)
{
    return AVIERR_UNSUPPORTED;
}

HRESULT CFrameStream::SetInfo(AVISTREAMINFOW*, LONG)
{
    return AVIERR_UNSUPPORTED;
}
