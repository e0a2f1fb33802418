#include "PngEncoder.h"
#include "PngRowFilter.h"

#include "support/Exception.h"

#include <QThreadPool>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <latch>
#include <libdeflate.h>
#include <mutex>
#include <thread>
#include <vector>
#include <zlib.h>

namespace {

using png::Layout;
using png::RowFilter;

// The last band goes to libdeflate, which is about twice as fast as zlib per byte and compresses screen
// content at level 2 as well as zlib's default level; the bands before it go to zlib at its fastest
// level, whose sync flush lets their outputs run into libdeflate's as one stream. bench/bench_png
// measures the result against libpng's defaults.
constexpr int ZlibLevel = 1;
constexpr int LibdeflateLevel = 2;

// Compressed data is cut into IDAT chunks of at most this size.
constexpr std::size_t ChunkBytes = 256 * 1024;
// Rows are filtered in strips of about this many bytes before they go to the compressor.
constexpr std::size_t StripBytes = 256 * 1024;
// Below this much filtered data a second thread costs more than it saves.
constexpr std::size_t BandMinimumBytes = 1024 * 1024;

void putU32(uchar* out, quint32 value)
{
    qToBigEndian(value, out);
}

// Writes whole chunks: length, type, data, CRC.
class ChunkWriter
{
public:
    explicit ChunkWriter(const PngSink& sink) : m_sink(sink) { }

    void chunk(const char type[4], const uchar* data, std::size_t size)
    {
        uchar head[8];
        putU32(head, quint32(size));
        std::memcpy(head + 4, type, 4);
        uLong crc = crc32(0, head + 4, 4);
        if (size > 0)
            crc = crc32_z(crc, data, size);
        uchar tail[4];
        putU32(tail, quint32(crc));
        m_sink(head, sizeof(head));
        if (size > 0)
            m_sink(data, size);
        m_sink(tail, sizeof(tail));
    }

    // IDAT data arrives in pieces; it is sent on in chunks of ChunkBytes.
    void idat(const uchar* data, std::size_t size)
    {
        while (size > 0) {
            const std::size_t take = std::min(size, ChunkBytes - m_pending.size());
            m_pending.insert(m_pending.end(), data, data + take);
            data += take;
            size -= take;
            if (m_pending.size() == ChunkBytes)
                flushIdat();
        }
    }

    void flushIdat()
    {
        if (m_pending.empty())
            return;
        chunk("IDAT", m_pending.data(), m_pending.size());
        m_pending.clear();
    }

private:
    const PngSink& m_sink;
    std::vector<uchar> m_pending;
};

Layout layoutOf(const QImage& image)
{
    Layout layout;
    switch (image.format()) {
    case QImage::Format_Indexed8:
        layout.colourType = 3;
        layout.rowBytes = std::size_t(image.width());
        layout.bytesPerPixel = 1;
        break;
    case QImage::Format_Mono:
        layout.colourType = 3;
        layout.bitDepth = 1;
        layout.rowBytes = (std::size_t(image.width()) + 7) / 8;
        layout.bytesPerPixel = 1;
        break;
    default:
        layout.rowBytes = std::size_t(image.width()) * 3;
        break;
    }
    return layout;
}

struct Band
{
    int first = 0;
    int last = 0; // exclusive
    std::vector<uchar> compressed; // bands after the first keep their output until their turn
    uLong adler = 1;
    std::size_t length = 0; // uncompressed bytes, for combining the checksums
    bool failed = false;
};

// Compresses the band's filtered rows as raw deflate data. All bands but the last end with a sync flush,
// so that their outputs concatenate into one stream.
void compressBand(const QImage& image, const Layout& layout, Band& band, bool last,
    const std::function<void(const uchar*, std::size_t)>& deliver)
{
    z_stream stream {};
    if (deflateInit2(&stream, ZlibLevel, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        band.failed = true;
        return;
    }
    // The sink may throw (a full disk); the stream is released on that way out too.
    struct StreamEnd
    {
        z_stream& stream;
        ~StreamEnd() { deflateEnd(&stream); }
    } end { stream };
    const std::size_t lineBytes = layout.rowBytes + 1;
    const int rowsPerStrip = int(std::max<std::size_t>(1, StripBytes / lineBytes));
    std::vector<uchar> strip(std::size_t(rowsPerStrip) * lineBytes);
    std::vector<uchar> out(64 * 1024);
    RowFilter filter(image, layout);
    filter.prime(band.first);

    auto pump = [&](int flush) {
        do {
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            const int status = deflate(&stream, flush);
            if (status == Z_STREAM_ERROR) {
                band.failed = true;
                return;
            }
            const std::size_t produced = out.size() - stream.avail_out;
            if (produced > 0)
                deliver(out.data(), produced);
        } while (stream.avail_out == 0 || stream.avail_in > 0);
    };

    for (int y = band.first; y < band.last && !band.failed; y += rowsPerStrip) {
        const int rows = std::min(rowsPerStrip, band.last - y);
        for (int r = 0; r < rows; ++r)
            filter.filter(y + r, strip.data() + std::size_t(r) * lineBytes);
        const std::size_t bytes = std::size_t(rows) * lineBytes;
        band.adler = adler32_z(band.adler, strip.data(), bytes);
        band.length += bytes;
        stream.next_in = strip.data();
        stream.avail_in = uInt(bytes);
        pump(Z_NO_FLUSH);
    }
    if (!band.failed)
        pump(last ? Z_FINISH : Z_SYNC_FLUSH);
}

struct CompressorDeleter
{
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// The last band in one piece through libdeflate; its stream ends the image's stream.
void compressLastBand(const QImage& image, const Layout& layout, Band& band)
{
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(LibdeflateLevel));
    if (!compressor) {
        band.failed = true;
        return;
    }
    const std::size_t lineBytes = layout.rowBytes + 1;
    std::vector<uchar> filtered(lineBytes * std::size_t(band.last - band.first));
    RowFilter filter(image, layout);
    filter.prime(band.first);
    for (int y = band.first; y < band.last; ++y)
        filter.filter(y, filtered.data() + std::size_t(y - band.first) * lineBytes);
    band.adler = libdeflate_adler32(1, filtered.data(), filtered.size());
    band.length = filtered.size();
    band.compressed.resize(libdeflate_deflate_compress_bound(compressor.get(), filtered.size()));
    const std::size_t size = libdeflate_deflate_compress(
        compressor.get(), filtered.data(), filtered.size(), band.compressed.data(), band.compressed.size());
    if (size == 0)
        band.failed = true;
    band.compressed.resize(size);
}

// Threads that live as long as the program. Each keeps its own heap, so the buffers one image frees are
// reused by the next instead of piling up in the heaps of ever new threads.
QThreadPool& bandWorkers()
{
    static QThreadPool pool;
    static std::once_flag configured;
    std::call_once(configured, [] {
        pool.setExpiryTimeout(-1);
        pool.setMaxThreadCount(int(std::max(1u, std::thread::hardware_concurrency())));
    });
    return pool;
}

std::vector<Band> planBands(const QImage& image, const Layout& layout)
{
    const std::size_t total = (layout.rowBytes + 1) * std::size_t(image.height());
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int count = int(std::clamp<std::size_t>(total / BandMinimumBytes, 1, std::min(cores, 8u)));
    std::vector<Band> bands;
    bands.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        bands[std::size_t(i)].first = int(qint64(image.height()) * i / count);
        bands[std::size_t(i)].last = int(qint64(image.height()) * (i + 1) / count);
    }
    return bands;
}

// The bitmap in a format the writer takes; the file has no alpha, so transparency is flattened away.
QImage encodable(const QImage& bitmap)
{
    switch (bitmap.format()) {
    case QImage::Format_Indexed8:
    case QImage::Format_Mono:
    case QImage::Format_RGB32:
        return bitmap;
    case QImage::Format_MonoLSB:
        return bitmap.convertToFormat(QImage::Format_Mono);
    default:
        return bitmap.convertToFormat(QImage::Format_RGB32);
    }
}

void writeHeader(ChunkWriter& writer, const QImage& image, const Layout& layout)
{
    uchar header[13];
    putU32(header, quint32(image.width()));
    putU32(header + 4, quint32(image.height()));
    header[8] = uchar(layout.bitDepth);
    header[9] = uchar(layout.colourType);
    header[10] = 0; // deflate
    header[11] = 0; // adaptive filtering
    header[12] = 0; // not interlaced
    writer.chunk("IHDR", header, sizeof(header));
    if (layout.colourType != 3)
        return;
    const QList<QRgb> table = image.colorTable();
    const int entries = 1 << layout.bitDepth;
    std::vector<uchar> palette(std::size_t(entries) * 3, 0);
    for (int i = 0; i < std::min<int>(entries, int(table.size())); ++i) {
        palette[std::size_t(i) * 3] = uchar(qRed(table[i]));
        palette[std::size_t(i) * 3 + 1] = uchar(qGreen(table[i]));
        palette[std::size_t(i) * 3 + 2] = uchar(qBlue(table[i]));
    }
    writer.chunk("PLTE", palette.data(), palette.size());
}

// Filters and compresses the rows in bands on the workers, the first band streaming straight into the
// IDAT chunks; then the others' output in order and the stream's checksum.
void writeImageData(ChunkWriter& writer, const QImage& image, const Layout& layout, const PngOptions& options)
{
    // zlib header for the fastest level with a 32 KiB window.
    static const uchar zlibHeader[2] = { 0x78, 0x01 };
    writer.idat(zlibHeader, sizeof(zlibHeader));

    std::vector<Band> bands = planBands(image, layout);
    // libdeflate needs its whole input at once; a huge bitmap streams instead, so that it never gets a
    // second full-size copy.
    const bool lastInOnePiece = (layout.rowBytes + 1) * std::size_t(bands.back().last - bands.back().first)
        <= options.onePieceLimit;
    auto runBand = [&image, &layout, lastInOnePiece](Band& band, bool last, const auto& deliver) {
        if (last && lastInOnePiece)
            compressLastBand(image, layout, band);
        else
            compressBand(image, layout, band, last, deliver);
    };
    std::latch finished(std::ptrdiff_t(bands.size() - 1));
    for (std::size_t i = 1; i < bands.size(); ++i) {
        Band& band = bands[i];
        const bool last = i + 1 == bands.size();
        bandWorkers().start([&runBand, &band, last, &finished] {
            runBand(band, last, [&band](const uchar* data, std::size_t size) {
                band.compressed.insert(band.compressed.end(), data, data + size);
            });
            finished.count_down();
        });
    }
    // The first band's failure must still wait for the others, as they read the bitmap.
    try {
        runBand(bands[0], bands.size() == 1,
            [&writer](const uchar* data, std::size_t size) { writer.idat(data, size); });
    } catch (...) {
        finished.wait();
        throw;
    }
    finished.wait();
    for (const Band& band : bands) {
        if (band.failed)
            throw Exception(QStringLiteral("The image could not be compressed."));
    }
    if (bands.size() == 1 && lastInOnePiece)
        writer.idat(bands[0].compressed.data(), bands[0].compressed.size());

    uLong adler = bands[0].adler;
    for (std::size_t i = 1; i < bands.size(); ++i) {
        writer.idat(bands[i].compressed.data(), bands[i].compressed.size());
        std::vector<uchar>().swap(bands[i].compressed);
        adler = adler32_combine(adler, bands[i].adler, z_off_t(bands[i].length));
    }
    uchar checksum[4];
    putU32(checksum, quint32(adler));
    writer.idat(checksum, sizeof(checksum));
    writer.flushIdat();
}

} // namespace

void EncodePNG(const QImage& bitmap, const PngSink& sink, const PngOptions& options)
{
    if (bitmap.isNull() || bitmap.width() <= 0 || bitmap.height() <= 0)
        throw Exception(QStringLiteral("The image is empty; there is nothing to save."));
    const QImage image = encodable(bitmap);
    if (image.isNull())
        throw Exception(QStringLiteral("Not enough memory to convert the image."));
    const Layout layout = layoutOf(image);

    static const uchar signature[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    sink(signature, sizeof(signature));
    ChunkWriter writer(sink);
    writeHeader(writer, image, layout);
    writeImageData(writer, image, layout, options);
    writer.chunk("IEND", nullptr, 0);
}
