#pragma once
// RAII owners for Win32 handles, so that every early return releases what it took.
#include <windows.h>

#include <utility>

// Owns a handle released by one call, e.g. Owned<HBITMAP, DeleteBitmap>.
template <typename Handle, auto Release>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : m_handle(handle) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : m_handle(other.release()) {}
    Owned& operator=(Owned&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~Owned() { reset(); }

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Empty; }
    Handle release() { return std::exchange(m_handle, Empty); }
    void reset(Handle handle = Empty)
    {
        if (m_handle != Empty) {
            Release(m_handle);
        }
        m_handle = handle;
    }

private:
    static constexpr Handle Empty = Handle{};
    Handle m_handle = Empty;
};

namespace handles_detail {
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DeleteMemoryDC(HDC dc) { DeleteDC(dc); }
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void FreeGlobal(HGLOBAL block) { GlobalFree(block); }
inline void UnmapView(void* view) { UnmapViewOfFile(view); }
inline void DestroyOwnedCursor(HCURSOR cursor) { DestroyCursor(cursor); }
inline void DestroyOwnedIcon(HICON icon) { DestroyIcon(icon); }
inline void DestroyOwnedMenu(HMENU menu) { DestroyMenu(menu); }
inline void DestroyOwnedWindow(HWND window) { DestroyWindow(window); }
} // namespace handles_detail

using GdiBitmap = Owned<HBITMAP, handles_detail::DeleteGdiObject>;
using GdiBrush = Owned<HBRUSH, handles_detail::DeleteGdiObject>;
using GdiPen = Owned<HPEN, handles_detail::DeleteGdiObject>;
using GdiRegion = Owned<HRGN, handles_detail::DeleteGdiObject>;
using GdiFont = Owned<HFONT, handles_detail::DeleteGdiObject>;
using MemoryDC = Owned<HDC, handles_detail::DeleteMemoryDC>;
using KernelHandle = Owned<HANDLE, handles_detail::CloseKernelHandle>;
using OwnedGlobal = Owned<HGLOBAL, handles_detail::FreeGlobal>;
using MappedView = Owned<void*, handles_detail::UnmapView>;
using OwnedCursor = Owned<HCURSOR, handles_detail::DestroyOwnedCursor>;
using OwnedIcon = Owned<HICON, handles_detail::DestroyOwnedIcon>;
using OwnedMenu = Owned<HMENU, handles_detail::DestroyOwnedMenu>;
using OwnedWindow = Owned<HWND, handles_detail::DestroyOwnedWindow>;

// CreateFile reports failure as INVALID_HANDLE_VALUE, not null.
inline KernelHandle OwnFile(HANDLE file)
{
    return KernelHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// A DC obtained with GetDC / GetWindowDC, given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC()
    {
        if (m_dc) {
            ReleaseDC(m_window, m_dc);
        }
    }
    HDC get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects an object into a DC for the lifetime of the guard, then puts the old one back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard()
    {
        if (m_old && m_old != HGDI_ERROR) {
            SelectObject(m_dc, m_old);
        }
    }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};
