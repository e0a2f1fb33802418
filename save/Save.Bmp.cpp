#include "Save.h"
#include "AtomicFile.h"
#include "Rgb32Rows.h"
#include "support/Exception.h"

#include <QtEndian>

#include <cstring>
#include <vector>

namespace {

constexpr quint32 FileHeaderBytes = 14;
constexpr quint32 InfoHeaderBytes = 40;
// The version 4 header, for bitmaps with alpha: the first that names an alpha mask that Windows, GIMP and
// Qt all honour.
constexpr quint32 V4HeaderBytes = 108;
constexpr quint32 BiRgb = 0;
constexpr quint32 BiBitfields = 3;
constexpr std::size_t WriteBytes = 1 << 20;

// How the bitmap's pixels are laid out in the file.
enum class Layout { Bgrx32, Bgra32, Bgr24, Palette8, Palette1 };

Layout layoutOf(const QImage& bitmap)
{
    switch (bitmap.format()) {
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
        return Layout::Bgr24;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
        return Layout::Palette8;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return Layout::Palette1;
    default:
        return bitmap.hasAlphaChannel() ? Layout::Bgra32 : Layout::Bgrx32;
    }
}

QList<QRgb> paletteOf(const QImage& bitmap, Layout layout)
{
    if (bitmap.format() == QImage::Format_Grayscale8) {
        QList<QRgb> grey(256);
        for (int i = 0; i < 256; ++i)
            grey[i] = qRgb(i, i, i);
        return grey;
    }
    QList<QRgb> table = bitmap.colorTable();
    // Pixels may point past a short table; they show as black rather than as whatever follows in the file.
    table.resize(layout == Layout::Palette1 ? 2 : 256, qRgb(0, 0, 0));
    return table;
}

class Writer
{
public:
    explicit Writer(AtomicFile& file) : m_file(file) { m_buffer.reserve(WriteBytes + 65536); }
    void u16(quint16 value) { bytes(&(value = qToLittleEndian(value)), 2); }
    void u32(quint32 value) { bytes(&(value = qToLittleEndian(value)), 4); }
    void bytes(const void* data, std::size_t size)
    {
        const auto begin = static_cast<const uchar*>(data);
        m_buffer.insert(m_buffer.end(), begin, begin + size);
        if (m_buffer.size() >= WriteBytes)
            flush();
    }
    void flush()
    {
        m_file.write(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }

private:
    AtomicFile& m_file;
    std::vector<uchar> m_buffer;
};

void writeRow(Writer& out, const QImage& bitmap, Rgb32Rows& rows, Layout layout, int y, std::size_t rowBytes,
    std::vector<uchar>& line)
{
    const int width = bitmap.width();
    std::fill(line.begin(), line.end(), 0);
    switch (layout) {
    case Layout::Bgrx32:
    case Layout::Bgra32:
        // Little-endian 32-bit pixels are already B, G, R, A in memory.
        std::memcpy(line.data(), rows.row(y), std::size_t(width) * 4);
        break;
    case Layout::Bgr24: {
        const uchar* source = bitmap.constScanLine(y);
        if (bitmap.format() == QImage::Format_BGR888) {
            std::memcpy(line.data(), source, std::size_t(width) * 3);
        } else {
            for (int x = 0; x < width; ++x) {
                line[std::size_t(x) * 3] = source[x * 3 + 2];
                line[std::size_t(x) * 3 + 1] = source[x * 3 + 1];
                line[std::size_t(x) * 3 + 2] = source[x * 3];
            }
        }
        break;
    }
    case Layout::Palette8:
        std::memcpy(line.data(), bitmap.constScanLine(y), std::size_t(width));
        break;
    case Layout::Palette1: {
        const uchar* source = bitmap.constScanLine(y);
        const std::size_t used = (std::size_t(width) + 7) / 8;
        if (bitmap.format() == QImage::Format_Mono) {
            std::memcpy(line.data(), source, used);
        } else {
            // The file keeps the leftmost pixel in the high bit.
            for (std::size_t i = 0; i < used; ++i) {
                uchar b = source[i];
                b = uchar((b & 0xF0) >> 4 | (b & 0x0F) << 4);
                b = uchar((b & 0xCC) >> 2 | (b & 0x33) << 2);
                line[i] = uchar((b & 0xAA) >> 1 | (b & 0x55) << 1);
            }
        }
        break;
    }
    }
    out.bytes(line.data(), rowBytes);
}

} // namespace

void SaveBitmapBMP(const QImage& bitmap, const QString& fileName)
{
    if (bitmap.isNull())
        throw Exception(QStringLiteral("The image is empty; \"%1\" was not written.").arg(fileName));
    const Layout layout = layoutOf(bitmap);
    const int bits = layout == Layout::Bgr24 ? 24
        : layout == Layout::Palette8         ? 8
        : layout == Layout::Palette1         ? 1
                                             : 32;
    const QList<QRgb> palette = bits <= 8 ? paletteOf(bitmap, layout) : QList<QRgb>();
    const quint32 headerBytes = layout == Layout::Bgra32 ? V4HeaderBytes : InfoHeaderBytes;
    const quint64 rowBytes = (quint64(bitmap.width()) * quint64(bits) + 31) / 32 * 4;
    const quint64 pixelBytes = rowBytes * quint64(bitmap.height());
    const quint64 offset = FileHeaderBytes + headerBytes + quint64(palette.size()) * 4;
    // The file's sizes are 32-bit fields.
    if (offset + pixelBytes > 0xFFFFFFFFull)
        throw Exception(
            QStringLiteral("The image is too large for a BMP file; \"%1\" was not written.").arg(fileName));

    AtomicFile file(fileName);
    Writer out(file);
    out.bytes("BM", 2);
    out.u32(quint32(offset + pixelBytes));
    out.u32(0);
    out.u32(quint32(offset));

    out.u32(headerBytes);
    out.u32(quint32(bitmap.width()));
    // Positive: rows bottom to top, which every reader supports.
    out.u32(quint32(bitmap.height()));
    out.u16(1);
    out.u16(quint16(bits));
    out.u32(layout == Layout::Bgra32 ? BiBitfields : BiRgb);
    out.u32(quint32(pixelBytes));
    out.u32(quint32(std::max(0, bitmap.dotsPerMeterX())));
    out.u32(quint32(std::max(0, bitmap.dotsPerMeterY())));
    out.u32(quint32(palette.size()));
    out.u32(0);
    if (layout == Layout::Bgra32) {
        for (quint32 mask : { 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u })
            out.u32(mask);
        out.u32(0x73524742); // 'sRGB'
        const uchar unused[48] = {}; // end points and gamma, ignored for sRGB
        out.bytes(unused, sizeof(unused));
    }
    for (QRgb colour : palette) {
        const uchar entry[4] = { uchar(qBlue(colour)), uchar(qGreen(colour)), uchar(qRed(colour)), 0 };
        out.bytes(entry, 4);
    }

    Rgb32Rows rows(bitmap, layout == Layout::Bgra32 ? Rgb32Rows::Alpha::Keep : Rgb32Rows::Alpha::Ignore);
    std::vector<uchar> line(rowBytes);
    for (int y = bitmap.height() - 1; y >= 0; --y)
        writeRow(out, bitmap, rows, layout, y, rowBytes, line);
    out.flush();
    file.commit();
}
