#include "Rgb32Rows.h"

#include <algorithm>

namespace {

// Big enough that the per-strip cost vanishes, small enough to stay in the cache.
constexpr qsizetype StripBytes = 512 * 1024;

} // namespace

Rgb32Rows::Rgb32Rows(const QImage& bitmap, Alpha alpha)
    : m_bitmap(bitmap)
    , m_format(alpha == Alpha::Keep ? QImage::Format_ARGB32 : QImage::Format_RGB32)
    , m_direct(bitmap.format() == QImage::Format_ARGB32
          || (alpha == Alpha::Ignore && bitmap.format() == QImage::Format_RGB32))
{ }

const QRgb* Rgb32Rows::row(int y)
{
    if (m_direct)
        return reinterpret_cast<const QRgb*>(m_bitmap.constScanLine(y));
    if (m_strip.isNull() || y < m_stripTop || y >= m_stripTop + m_stripRows) {
        const int rows = int(std::max<qsizetype>(1, StripBytes / (qsizetype(width()) * 4)));
        // Strips line up on multiples of their height, so that reading upwards converts each row once.
        m_stripTop = y - y % rows;
        m_stripRows = std::min(rows, height() - m_stripTop);
        m_strip = m_bitmap.copy(0, m_stripTop, width(), m_stripRows).convertToFormat(m_format);
    }
    return reinterpret_cast<const QRgb*>(m_strip.constScanLine(y - m_stripTop));
}
