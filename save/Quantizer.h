#pragma once

#include <QList>
#include <QRgb>
#include <cstdint>
#include <memory>
#include <vector>

class Rgb32Rows;

// Colour reduction for the GIF writer: a palette of at most `maxColours` chosen by variance-minimising
// median cut over a 5-bit histogram, refined by k-means, and pixels mapped to it with serpentine
// Floyd–Steinberg error diffusion. A bitmap with no more colours than that keeps them exactly, undithered.
class Quantizer
{
public:
    // Reads every pixel once to choose the palette.
    explicit Quantizer(Rgb32Rows& rows, int maxColours = 256);
    ~Quantizer();
    Quantizer(const Quantizer&) = delete;
    Quantizer& operator=(const Quantizer&) = delete;

    const QList<QRgb>& palette() const { return m_palette; }
    // True when every pixel's colour is in the palette.
    bool exact() const { return m_exact; }

    // Maps the next row (rows come top to bottom) to palette indexes.
    void mapRow(const QRgb* row, int width, uint8_t* indexes);

private:
    class ExactMap;
    uint8_t nearest(int r, int g, int b);
    void fillCandidates(int cell);

    QList<QRgb> m_palette;
    bool m_exact = false;
    std::unique_ptr<ExactMap> m_exactMap;
    // For each 5-bit colour cell, the palette entries that can be nearest to a colour inside it: a slice
    // of m_pool, worked out when the cell is first met (count 0 = not yet).
    std::vector<uint32_t> m_cellStart;
    std::vector<uint16_t> m_cellCount;
    std::vector<uint8_t> m_pool;
    // Diffused error of the current and the next row, three channels, one pixel of margin on each side.
    std::vector<int> m_errorThis;
    std::vector<int> m_errorNext;
    bool m_leftToRight = true;
};
