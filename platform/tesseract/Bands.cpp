#include "Bands.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Brightness steps between neighbours that a glyph makes and a smooth background does not.
constexpr int EdgeStep = 24;

int grey(const std::uint8_t* pixel)
{
    return (pixel[2] * 11 + pixel[1] * 16 + pixel[0] * 5) / 32;
}

std::vector<int> rowDetail(const std::uint8_t* pixels, int width, int height, int stride)
{
    std::vector<int> detail(std::size_t(height), 0);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = pixels + std::size_t(y) * std::size_t(stride);
        int edges = 0;
        int previous = grey(row);
        for (int x = 1; x < width; ++x) {
            const int current = grey(row + std::size_t(x) * 4);
            edges += std::abs(current - previous) > EdgeStep;
            previous = current;
        }
        detail[std::size_t(y)] = edges;
    }
    return detail;
}

} // namespace

std::vector<Band> CutIntoBands(
    const std::uint8_t* pixels, int width, int height, int stride, BandLimits limits)
{
    if (height <= 0)
        return {};
    const int minHeight = std::max(1, limits.minHeight);
    const int maxHeight = std::max(minHeight, limits.maxHeight);
    int count = std::max(limits.wanted, (height + maxHeight - 1) / maxHeight);
    count = std::max(1, std::min(count, std::max(height / minHeight, (height + maxHeight - 1) / maxHeight)));
    if (count == 1)
        return { Band { 0, height } };

    const std::vector<int> detail = rowDetail(pixels, width, height, stride);
    // Recognition time grows with the text on a row, layout time with the row itself.
    const double rowCost = width / 20.0;
    std::vector<double> cumulative(std::size_t(height) + 1, 0.0);
    for (int y = 0; y < height; ++y)
        cumulative[std::size_t(y) + 1] = cumulative[std::size_t(y)] + detail[std::size_t(y)] + rowCost;
    const double total = cumulative.back();

    std::vector<int> cuts { 0 };
    for (int k = 1; k < count; ++k) {
        const double share = total * k / count;
        const int goal
            = int(std::lower_bound(cumulative.begin(), cumulative.end(), share) - cumulative.begin());
        const int left = count - k;
        const int window = std::max(1, height / (count * 4));
        int lo = std::max({ goal - window, cuts.back() + minHeight, height - maxHeight * left });
        int hi = std::min({ goal + window, cuts.back() + maxHeight, height - minHeight * left });
        if (lo > hi) {
            // The limits leave no choice near the goal: the nearest row they allow.
            lo = std::max(cuts.back() + 1, height - maxHeight * left);
            hi = std::min(cuts.back() + maxHeight, height - left);
        }
        const int clampedGoal = std::clamp(goal, lo, hi);
        int best = clampedGoal;
        for (int distance = 1; clampedGoal - distance >= lo || clampedGoal + distance <= hi; ++distance) {
            for (const int row : { clampedGoal - distance, clampedGoal + distance })
                if (row >= lo && row <= hi && detail[std::size_t(row)] < detail[std::size_t(best)])
                    best = row;
        }
        // The middle of the quiet run, so that neither band ends on the edge of a glyph.
        int first = best, last = best;
        while (first - 1 >= lo && detail[std::size_t(first - 1)] == detail[std::size_t(best)])
            --first;
        while (last + 1 <= hi && detail[std::size_t(last + 1)] == detail[std::size_t(best)])
            ++last;
        cuts.push_back((first + last + 1) / 2);
    }
    cuts.push_back(height);

    std::vector<Band> bands;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i)
        bands.push_back(Band { cuts[i], cuts[i + 1] - cuts[i] });
    return bands;
}
