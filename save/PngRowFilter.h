#pragma once

// The PNG writer's row filter, apart so that the writer reads as its steps.

#include <QImage>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace png {

// How a bitmap's rows become PNG scanlines.
struct Layout
{
    int colourType = 2; // 2 truecolour, 3 palette
    int bitDepth = 8;
    std::size_t rowBytes = 0; // without the filter byte
    int bytesPerPixel = 3; // distance of the byte "to the left" in the filters
};

// How well a filtered byte will compress: its distance from zero, taken as a signed value.
inline quint64 magnitude(uchar value)
{
    return quint64(std::abs(int(static_cast<signed char>(value))));
}

class RowFilter
{
public:
    RowFilter(const QImage& image, const Layout& layout)
        : m_image(image)
        , m_layout(layout)
        , m_previous(layout.rowBytes, 0)
        , m_current(layout.rowBytes)
        , m_up(layout.rowBytes)
    { }

    // Makes row y - 1 the row the filters look up to; a band starting inside the image needs it.
    void prime(int y)
    {
        if (y > 0)
            raw(y - 1, m_previous.data());
    }

    // Writes the filter byte and the filtered row y to `out`.
    void filter(int y, uchar* out)
    {
        raw(y, m_current.data());
        const std::size_t n = m_layout.rowBytes;
        if (m_layout.colourType == 3) {
            // Palette indices do not predict each other; filtering would only cost time.
            out[0] = 0;
            std::memcpy(out + 1, m_current.data(), n);
        } else {
            // Sub suits photographs and gradients, Up suits text and repeated rows; the cheaper of the
            // two is chosen per row. Sub goes straight to the output, Up to the side.
            const std::size_t bpp = std::size_t(m_layout.bytesPerPixel);
            const uchar* cur = m_current.data();
            const uchar* above = m_previous.data();
            uchar* sub = out + 1;
            uchar* up = m_up.data();
            quint64 subCost = 0, upCost = 0;
            for (std::size_t i = 0; i < n; ++i) {
                sub[i] = uchar(cur[i] - (i >= bpp ? cur[i - bpp] : 0));
                up[i] = uchar(cur[i] - above[i]);
                subCost += magnitude(sub[i]);
                upCost += magnitude(up[i]);
            }
            if (y > 0 && upCost < subCost) {
                out[0] = 2;
                std::memcpy(out + 1, up, n);
            } else {
                out[0] = 1;
            }
        }
        std::swap(m_previous, m_current);
    }

private:
    void raw(int y, uchar* out) const
    {
        if (m_layout.colourType == 3) {
            std::memcpy(out, m_image.constScanLine(y), m_layout.rowBytes);
            return;
        }
        const auto in = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        const int width = m_image.width();
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = in[x];
            out[3 * x] = uchar(qRed(pixel));
            out[3 * x + 1] = uchar(qGreen(pixel));
            out[3 * x + 2] = uchar(qBlue(pixel));
        }
    }

    const QImage& m_image;
    const Layout& m_layout;
    std::vector<uchar> m_previous, m_current, m_up;
};

} // namespace png
