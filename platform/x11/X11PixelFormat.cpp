#include "X11PixelFormat.h"

#include <algorithm>
#include <bit>

namespace {

int maskShift(quint32 mask)
{
    return mask ? std::countr_zero(mask) : 0;
}

int maskBits(quint32 mask)
{
    return std::popcount(mask);
}

// Scales a channel of `bits` bits to 8 bits.
quint32 widen(quint32 value, int bits)
{
    if (bits >= 8)
        return value >> (bits - 8);
    if (bits <= 0)
        return 0;
    return (value * 255u) / ((1u << bits) - 1u);
}

} // namespace

int X11PixelFormat::stride(int width) const
{
    const int pad = std::max(scanlinePad, 8);
    return ((width * bitsPerPixel + pad - 1) / pad) * (pad / 8);
}

void X11PixelFormat::convertRows(const quint8* data, int stride, QSize size, QImage& canvas, QPoint to) const
{
    const bool direct = bitsPerPixel == 32 && lsbFirst && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF;
    for (int y = 0; y < size.height(); ++y) {
        const quint8* row = data + std::size_t(y) * std::size_t(stride);
        auto out = reinterpret_cast<QRgb*>(canvas.scanLine(to.y() + y)) + to.x();
        if (direct) {
            // The server leaves the fourth byte undefined; RGB32 wants it opaque.
            const auto in = reinterpret_cast<const quint32*>(row);
            for (int x = 0; x < size.width(); ++x)
                out[x] = in[x] | 0xFF000000u;
            continue;
        }
        const int bytesPerPixel = bitsPerPixel / 8;
        for (int x = 0; x < size.width(); ++x) {
            const quint8* p = row + x * bytesPerPixel;
            quint32 value = 0;
            for (int b = 0; b < bytesPerPixel; ++b) {
                const int shift = lsbFirst ? 8 * b : 8 * (bytesPerPixel - 1 - b);
                value |= quint32(p[b]) << shift;
            }
            out[x] = qRgb(int(widen((value & red) >> maskShift(red), maskBits(red))),
                int(widen((value & green) >> maskShift(green), maskBits(green))),
                int(widen((value & blue) >> maskShift(blue), maskBits(blue))));
        }
    }
}
