#pragma once
// The header of a top-down DIB without a colour table, the form in which pictures are read and made.
#include <windows.h>

inline BITMAPINFO TopDownDibHeader(int width, int height, WORD bitsPerPixel = 32)
{
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = bitsPerPixel;
    header.bmiHeader.biCompression = BI_RGB;
    return header;
}
