#include "GifEncoder.h"
#include "Quantizer.h"
#include "Rgb32Rows.h"
#include "support/Exception.h"

#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr int MaxCodeBits = 12;
constexpr int MaxCode = (1 << MaxCodeBits) - 1;
constexpr std::size_t OutputBytes = 64 * 1024;

// The variable-length LZW of GIF, packed least significant bit first into sub-blocks of 255 bytes.
class LzwEncoder
{
public:
    LzwEncoder(int minimumCodeSize, const GifSink& sink)
        : m_sink(sink), m_minimum(minimumCodeSize), m_clear(1 << minimumCodeSize), m_end(m_clear + 1)
    {
        m_out.reserve(OutputBytes + 256);
        const uint8_t size = uint8_t(m_minimum);
        put(&size, 1);
        reset();
        writeCode(m_clear);
    }

    void add(const uint8_t* indexes, int count)
    {
        int i = 0;
        if (m_prefix < 0)
            m_prefix = indexes[i++];
        for (; i < count; ++i) {
            const int pixel = indexes[i];
            const quint32 key = quint32(m_prefix) << 8 | quint32(pixel);
            std::size_t slot = hash(key);
            // Keys are stored plus one, so that 0 marks a free slot.
            while (m_keys[slot] != 0 && m_keys[slot] != key + 1)
                slot = (slot + 1) & (Slots - 1);
            if (m_keys[slot] != 0) {
                m_prefix = m_codes[slot];
                continue;
            }
            writeCode(m_prefix);
            m_prefix = pixel;
            // The table stops one short of full, as common decoders expect, and starts over.
            if (m_next >= MaxCode) {
                writeCode(m_clear);
                reset();
            } else {
                m_keys[slot] = key + 1;
                m_codes[slot] = int16_t(m_next++);
            }
        }
    }

    void finish()
    {
        if (m_prefix >= 0)
            writeCode(m_prefix);
        writeCode(m_end);
        if (m_bitCount > 0)
            byte(uint8_t(m_bits));
        flushBlock();
        const uint8_t terminator = 0;
        put(&terminator, 1);
        m_sink(m_out.data(), m_out.size());
        m_out.clear();
    }

private:
    static constexpr std::size_t Slots = 8192;
    static std::size_t hash(quint32 key) { return (key * 2654435761u) >> 19; }

    void reset()
    {
        m_keys.fill(0);
        m_codeSize = m_minimum + 1;
        m_next = m_end + 1;
    }

    void writeCode(int code)
    {
        m_bits |= quint64(code) << m_bitCount;
        m_bitCount += m_codeSize;
        while (m_bitCount >= 8) {
            byte(uint8_t(m_bits));
            m_bits >>= 8;
            m_bitCount -= 8;
        }
        // The decoder widens its codes once its table reaches the current width's limit; it adds its
        // entries one code later than the encoder, so the test uses the code count before this step's entry.
        if (m_next >= (1 << m_codeSize) && m_codeSize < MaxCodeBits)
            ++m_codeSize;
    }

    void byte(uint8_t value)
    {
        m_block[m_blockSize++] = value;
        if (m_blockSize == 255)
            flushBlock();
    }

    void flushBlock()
    {
        if (m_blockSize == 0)
            return;
        const uint8_t size = uint8_t(m_blockSize);
        put(&size, 1);
        put(m_block.data(), std::size_t(m_blockSize));
        m_blockSize = 0;
    }

    void put(const uint8_t* data, std::size_t size)
    {
        m_out.insert(m_out.end(), data, data + size);
        if (m_out.size() >= OutputBytes) {
            m_sink(m_out.data(), m_out.size());
            m_out.clear();
        }
    }

    const GifSink& m_sink;
    const int m_minimum;
    const int m_clear;
    const int m_end;
    int m_codeSize = 0;
    int m_next = 0;
    int m_prefix = -1;
    quint64 m_bits = 0;
    int m_bitCount = 0;
    std::array<quint32, Slots> m_keys {};
    std::array<int16_t, Slots> m_codes {};
    std::array<uint8_t, 255> m_block {};
    int m_blockSize = 0;
    std::vector<uint8_t> m_out;
};

void putU16(std::vector<uint8_t>& out, int value)
{
    out.push_back(uint8_t(value & 0xFF));
    out.push_back(uint8_t(value >> 8));
}

} // namespace

void EncodeGIF(const QImage& bitmap, const GifSink& sink)
{
    if (bitmap.isNull())
        throw Exception(QStringLiteral("The image is empty."));
    if (bitmap.width() > 0xFFFF || bitmap.height() > 0xFFFF)
        throw Exception(
            QStringLiteral("The image is too large for GIF (at most 65535 pixels across and down)."));
    Rgb32Rows rows(bitmap);
    Quantizer quantizer(rows);
    const QList<QRgb>& palette = quantizer.palette();
    int bits = 1;
    while ((1 << bits) < palette.size())
        ++bits;

    std::vector<uint8_t> head;
    const char signature[] = "GIF89a";
    head.insert(head.end(), signature, signature + 6);
    putU16(head, bitmap.width());
    putU16(head, bitmap.height());
    // A global colour table of 2^bits entries, 8 bits per primary.
    head.push_back(uint8_t(0x80 | 7 << 4 | (bits - 1)));
    head.push_back(0); // background colour index
    head.push_back(0); // square pixels
    for (int i = 0; i < (1 << bits); ++i) {
        const QRgb colour = i < palette.size() ? palette[i] : qRgb(0, 0, 0);
        head.push_back(uint8_t(qRed(colour)));
        head.push_back(uint8_t(qGreen(colour)));
        head.push_back(uint8_t(qBlue(colour)));
    }
    head.push_back(0x2C);
    putU16(head, 0);
    putU16(head, 0);
    putU16(head, bitmap.width());
    putU16(head, bitmap.height());
    head.push_back(0); // no local table, not interlaced
    sink(head.data(), head.size());

    // The code size must be at least 2 even for two colours.
    LzwEncoder lzw(std::max(2, bits), sink);
    std::vector<uint8_t> indexes(std::size_t(bitmap.width()));
    for (int y = 0; y < bitmap.height(); ++y) {
        quantizer.mapRow(rows.row(y), bitmap.width(), indexes.data());
        lzw.add(indexes.data(), bitmap.width());
    }
    lzw.finish();
    const uint8_t trailer = 0x3B;
    sink(&trailer, 1);
}
