#pragma once

#include <QImage>

// A bitmap's rows as 32-bit pixels (bytes B, G, R and a fourth byte to ignore, or alpha when asked for).
// Screen bitmaps are read in place; other formats are converted a strip at a time, so that no second
// full-size copy is ever made.
class Rgb32Rows
{
public:
    enum class Alpha { Ignore, Keep };
    explicit Rgb32Rows(const QImage& bitmap, Alpha alpha = Alpha::Ignore);

    int width() const { return m_bitmap.width(); }
    int height() const { return m_bitmap.height(); }
    // Valid until the next call; fastest in order, top to bottom or bottom to top.
    const QRgb* row(int y);

private:
    const QImage& m_bitmap;
    QImage::Format m_format;
    bool m_direct = false;
    QImage m_strip;
    int m_stripTop = 0;
    int m_stripRows = 0;
};
