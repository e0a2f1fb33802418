#include "Quantizer.h"
#include "Rgb32Rows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numeric>

namespace {

constexpr int CellBits = 5;
constexpr int CellShift = 8 - CellBits;
constexpr int CellSide = 1 << CellBits;
constexpr int CellCount = CellSide * CellSide * CellSide;
constexpr int KMeansRounds = 3;

int cellOf(int r, int g, int b)
{
    return (r >> CellShift) << (2 * CellBits) | (g >> CellShift) << CellBits | (b >> CellShift);
}

// One occupied histogram cell: the mean of its pixels and how many there are.
struct Cell
{
    double c[3];
    double weight;
};

// A range of cells and the squared error of representing them all by their mean.
struct Box
{
    int begin;
    int end;
    double error;
    double mean[3];
};

Box makeBox(const std::vector<Cell>& cells, int begin, int end)
{
    double w = 0, s[3] = {}, q = 0;
    for (int i = begin; i < end; ++i) {
        const Cell& cell = cells[std::size_t(i)];
        w += cell.weight;
        for (int k = 0; k < 3; ++k) {
            s[k] += cell.weight * cell.c[k];
            q += cell.weight * cell.c[k] * cell.c[k];
        }
    }
    Box box { begin, end, 0, {} };
    for (int k = 0; k < 3; ++k)
        box.mean[k] = w > 0 ? s[k] / w : 0;
    box.error = w > 0 ? q - (s[0] * s[0] + s[1] * s[1] + s[2] * s[2]) / w : 0;
    return box;
}

// Splits where the two halves together have the least squared error, along the channel that varies most.
std::pair<Box, Box> split(std::vector<Cell>& cells, const Box& box)
{
    const auto first = cells.begin() + box.begin;
    const auto last = cells.begin() + box.end;
    int axis = 0;
    double widest = -1;
    for (int k = 0; k < 3; ++k) {
        double w = 0, s = 0, q = 0;
        for (auto it = first; it != last; ++it) {
            w += it->weight;
            s += it->weight * it->c[k];
            q += it->weight * it->c[k] * it->c[k];
        }
        const double variance = w > 0 ? q - s * s / w : 0;
        if (variance > widest) {
            widest = variance;
            axis = k;
        }
    }
    std::sort(first, last, [axis](const Cell& a, const Cell& b) { return a.c[axis] < b.c[axis]; });

    double totalW = 0, totalS[3] = {}, totalQ = 0;
    for (auto it = first; it != last; ++it) {
        totalW += it->weight;
        for (int k = 0; k < 3; ++k) {
            totalS[k] += it->weight * it->c[k];
            totalQ += it->weight * it->c[k] * it->c[k];
        }
    }
    double w = 0, s[3] = {}, q = 0;
    double best = INFINITY;
    int at = box.begin + 1;
    for (int i = box.begin; i < box.end - 1; ++i) {
        const Cell& cell = cells[std::size_t(i)];
        w += cell.weight;
        for (int k = 0; k < 3; ++k) {
            s[k] += cell.weight * cell.c[k];
            q += cell.weight * cell.c[k] * cell.c[k];
        }
        const double rw = totalW - w;
        const double rs[3] = { totalS[0] - s[0], totalS[1] - s[1], totalS[2] - s[2] };
        const double left = q - (s[0] * s[0] + s[1] * s[1] + s[2] * s[2]) / w;
        const double right = (totalQ - q) - (rs[0] * rs[0] + rs[1] * rs[1] + rs[2] * rs[2]) / rw;
        if (left + right < best) {
            best = left + right;
            at = i + 1;
        }
    }
    return { makeBox(cells, box.begin, at), makeBox(cells, at, box.end) };
}

QList<QRgb> medianCut(std::vector<Cell>& cells, int maxColours)
{
    std::vector<Box> boxes { makeBox(cells, 0, int(cells.size())) };
    while (int(boxes.size()) < maxColours) {
        auto worst = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            const bool aSplits = a.end - a.begin > 1, bSplits = b.end - b.begin > 1;
            return aSplits != bSplits ? bSplits : a.error < b.error;
        });
        if (worst->end - worst->begin <= 1)
            break;
        auto [left, right] = split(cells, *worst);
        *worst = left;
        boxes.push_back(right);
    }
    std::vector<std::array<double, 3>> centres;
    for (const Box& box : boxes)
        centres.push_back({ box.mean[0], box.mean[1], box.mean[2] });

    // Median cut leaves cells in boxes whose mean is not their nearest; a few rounds of k-means fix that.
    for (int round = 0; round < KMeansRounds; ++round) {
        std::vector<std::array<double, 4>> sums(centres.size(), { 0, 0, 0, 0 });
        for (const Cell& cell : cells) {
            std::size_t nearest = 0;
            double best = INFINITY;
            for (std::size_t i = 0; i < centres.size(); ++i) {
                const double dr = cell.c[0] - centres[i][0], dg = cell.c[1] - centres[i][1],
                             db = cell.c[2] - centres[i][2];
                const double d = dr * dr + dg * dg + db * db;
                if (d < best) {
                    best = d;
                    nearest = i;
                }
            }
            for (int k = 0; k < 3; ++k)
                sums[nearest][std::size_t(k)] += cell.weight * cell.c[k];
            sums[nearest][3] += cell.weight;
        }
        for (std::size_t i = 0; i < centres.size(); ++i) {
            if (sums[i][3] > 0)
                centres[i] = { sums[i][0] / sums[i][3], sums[i][1] / sums[i][3], sums[i][2] / sums[i][3] };
        }
    }
    QList<QRgb> palette;
    for (const auto& c : centres)
        palette.append(qRgb(int(std::lround(c[0])), int(std::lround(c[1])), int(std::lround(c[2]))));
    std::sort(palette.begin(), palette.end());
    palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
    return palette;
}

} // namespace

// The bitmap's distinct colours while there are few enough; an open-addressed table from colour to index.
class Quantizer::ExactMap
{
public:
    explicit ExactMap(int limit) : m_limit(limit)
    {
        m_keys.fill(0);
        m_indexes.fill(0);
    }

    // False once more than `limit` colours were seen.
    bool add(QRgb colour)
    {
        const quint32 key = (colour & 0xFFFFFF) + 1;
        std::size_t slot = hash(key);
        while (m_keys[slot] != 0) {
            if (m_keys[slot] == key)
                return true;
            slot = (slot + 1) & (Slots - 1);
        }
        if (int(m_colours.size()) == m_limit)
            return false;
        m_keys[slot] = key;
        m_indexes[slot] = uint8_t(m_colours.size());
        m_colours.append(qRgb(qRed(colour), qGreen(colour), qBlue(colour)));
        return true;
    }

    // Only for colours that were added.
    uint8_t index(QRgb colour) const
    {
        const quint32 key = (colour & 0xFFFFFF) + 1;
        std::size_t slot = hash(key);
        while (m_keys[slot] != key)
            slot = (slot + 1) & (Slots - 1);
        return m_indexes[slot];
    }

    const QList<QRgb>& colours() const { return m_colours; }

private:
    static constexpr std::size_t Slots = 1024;
    static std::size_t hash(quint32 key) { return (key * 2654435761u) >> 22; }

    int m_limit;
    // Colour + 1, so that 0 marks a free slot.
    std::array<quint32, Slots> m_keys;
    std::array<uint8_t, Slots> m_indexes;
    QList<QRgb> m_colours;
};

Quantizer::Quantizer(Rgb32Rows& rows, int maxColours) : m_exactMap(std::make_unique<ExactMap>(maxColours))
{
    std::vector<quint64> count(CellCount), sum(std::size_t(CellCount) * 3);
    bool few = true;
    QRgb last = 0;
    bool haveLast = false;
    for (int y = 0; y < rows.height(); ++y) {
        const QRgb* line = rows.row(y);
        for (int x = 0; x < rows.width(); ++x) {
            const QRgb pixel = line[x];
            const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
            const int cell = cellOf(r, g, b);
            ++count[std::size_t(cell)];
            sum[std::size_t(cell) * 3] += quint64(r);
            sum[std::size_t(cell) * 3 + 1] += quint64(g);
            sum[std::size_t(cell) * 3 + 2] += quint64(b);
            if (few && !(haveLast && pixel == last)) {
                few = m_exactMap->add(pixel);
                last = pixel;
                haveLast = true;
            }
        }
    }
    if (few) {
        m_exact = true;
        m_palette = m_exactMap->colours();
        return;
    }
    m_exactMap.reset();

    std::vector<Cell> cells;
    for (int i = 0; i < CellCount; ++i) {
        if (count[std::size_t(i)] == 0)
            continue;
        const double w = double(count[std::size_t(i)]);
        cells.push_back({ { double(sum[std::size_t(i) * 3]) / w, double(sum[std::size_t(i) * 3 + 1]) / w,
                              double(sum[std::size_t(i) * 3 + 2]) / w },
            w });
    }
    m_palette = medianCut(cells, maxColours);
    m_cellStart.assign(CellCount, 0);
    m_cellCount.assign(CellCount, 0);
    m_errorThis.assign(std::size_t(rows.width() + 2) * 3, 0);
    m_errorNext.assign(std::size_t(rows.width() + 2) * 3, 0);
}

Quantizer::~Quantizer() = default;

void Quantizer::fillCandidates(int cell)
{
    // The cell is a cube of colours; an entry can be nearest somewhere in it only if its closest distance
    // to the cube is within the smallest farthest distance of any entry.
    const int side = 1 << CellShift;
    const int lo[3] = { (cell >> (2 * CellBits)) << CellShift,
        ((cell >> CellBits) & (CellSide - 1)) << CellShift, (cell & (CellSide - 1)) << CellShift };
    std::vector<int> nearDistance(std::size_t(m_palette.size()));
    int bound = INT32_MAX;
    for (qsizetype i = 0; i < m_palette.size(); ++i) {
        const int c[3] = { qRed(m_palette[i]), qGreen(m_palette[i]), qBlue(m_palette[i]) };
        int nearSum = 0, farSum = 0;
        for (int k = 0; k < 3; ++k) {
            const int below = lo[k] - c[k], above = c[k] - (lo[k] + side - 1);
            const int nearest = std::max({ below, above, 0 });
            const int farthest = std::max(std::abs(c[k] - lo[k]), std::abs(c[k] - (lo[k] + side - 1)));
            nearSum += nearest * nearest;
            farSum += farthest * farthest;
        }
        nearDistance[std::size_t(i)] = nearSum;
        bound = std::min(bound, farSum);
    }
    m_cellStart[std::size_t(cell)] = uint32_t(m_pool.size());
    for (qsizetype i = 0; i < m_palette.size(); ++i) {
        if (nearDistance[std::size_t(i)] <= bound)
            m_pool.push_back(uint8_t(i));
    }
    m_cellCount[std::size_t(cell)] = uint16_t(m_pool.size() - m_cellStart[std::size_t(cell)]);
}

uint8_t Quantizer::nearest(int r, int g, int b)
{
    const int cell = cellOf(r, g, b);
    if (m_cellCount[std::size_t(cell)] == 0)
        fillCandidates(cell);
    const uint8_t* candidate = m_pool.data() + m_cellStart[std::size_t(cell)];
    const int count = m_cellCount[std::size_t(cell)];
    uint8_t best = candidate[0];
    int bestDistance = INT32_MAX;
    for (int i = 0; i < count; ++i) {
        const QRgb c = m_palette[candidate[i]];
        const int dr = r - qRed(c), dg = g - qGreen(c), db = b - qBlue(c);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate[i];
        }
    }
    return best;
}

void Quantizer::mapRow(const QRgb* row, int width, uint8_t* indexes)
{
    if (m_exact) {
        QRgb last = row[0] ^ 1;
        uint8_t lastIndex = 0;
        for (int x = 0; x < width; ++x) {
            if (row[x] != last) {
                last = row[x];
                lastIndex = m_exactMap->index(last);
            }
            indexes[x] = lastIndex;
        }
        return;
    }
    // Serpentine order keeps the diffused error from drifting in one direction.
    const int step = m_leftToRight ? 1 : -1;
    int x = m_leftToRight ? 0 : width - 1;
    int* here = m_errorThis.data();
    int* next = m_errorNext.data();
    for (int n = 0; n < width; ++n, x += step) {
        const QRgb pixel = row[x];
        // Errors are kept in sixteenths; one pixel of margin on each side.
        int* e = here + std::size_t(x + 1) * 3;
        const int value[3] = { std::clamp(qRed(pixel) + ((e[0] + 8) >> 4), 0, 255),
            std::clamp(qGreen(pixel) + ((e[1] + 8) >> 4), 0, 255),
            std::clamp(qBlue(pixel) + ((e[2] + 8) >> 4), 0, 255) };
        const uint8_t index = nearest(value[0], value[1], value[2]);
        indexes[x] = index;
        const QRgb chosen = m_palette[index];
        const int error[3] = { value[0] - qRed(chosen), value[1] - qGreen(chosen), value[2] - qBlue(chosen) };
        int* ahead = e + step * 3;
        int* below = next + std::size_t(x + 1) * 3;
        for (int k = 0; k < 3; ++k) {
            ahead[k] += error[k] * 7;
            below[k - step * 3] += error[k] * 3;
            below[k] += error[k] * 5;
            below[k + step * 3] += error[k];
        }
    }
    std::swap(m_errorThis, m_errorNext);
    std::fill(m_errorNext.begin(), m_errorNext.end(), 0);
    m_leftToRight = !m_leftToRight;
}
