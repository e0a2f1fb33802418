#pragma once

#include <QImage>

// How the X server lays out the root window's pixels, and their conversion into RGB32 rows.
struct X11PixelFormat
{
    int bitsPerPixel = 32;
    int scanlinePad = 32;
    bool lsbFirst = true;
    quint32 red = 0xFF0000;
    quint32 green = 0xFF00;
    quint32 blue = 0xFF;

    // Bytes of one row of `width` pixels as the server sends it.
    int stride(int width) const;
    // Rows of `size` pixels starting at `data`, `stride` bytes apart, into `canvas` at `to`.
    void convertRows(const quint8* data, int stride, QSize size, QImage& canvas, QPoint to) const;
};
