#pragma once

#include <cstdint>
#include <vector>

// Cutting a page into bands that engines on separate cores recognise side by side. A cut falls on a row with
// the least detail near the point that balances the work, so between text lines rather than through one.
// Free of Qt and of the engine, so that the recognition helper and the tests share it.

struct Band
{
    int top = 0;
    int height = 0;
};

struct BandLimits
{
    // Bands wanted when the page is tall enough.
    int wanted = 1;
    // No band is lower than this, so that small pictures stay whole.
    int minHeight = 1;
    // No band is higher than this (the engine's largest picture); more bands are cut when needed.
    int maxHeight = 32767;
};

// `pixels` holds `height` rows of `width` pixels of 4 bytes (blue, green, red, unused), `stride` bytes
// apart. The bands cover every row once, top to bottom.
std::vector<Band> CutIntoBands(
    const std::uint8_t* pixels, int width, int height, int stride, BandLimits limits);
