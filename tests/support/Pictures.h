#pragma once

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <cmath>

// Test pictures and their comparison, shared by the writer tests of every floor.
namespace Pictures {

// Smooth fields with fine detail and a little grain, as a photograph has: far more than 256 colours.
inline QImage photo(int width, int height, quint32 seed = 1)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            const int grain = int(random.bounded(9)) - 4;
            const int r = int(128 + 90 * std::sin(6.0 * u + 2.0 * v) + 30 * std::sin(40.0 * u * v)) + grain;
            const int g = int(120 + 80 * std::cos(5.0 * v - 3.0 * u) + 25 * std::sin(23.0 * u)) + grain;
            const int b = int(110 + 100 * std::sin(4.0 * (u + v)) * std::cos(7.0 * u)) + grain;
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

// Flat panels, thin dark strokes and a colour ramp: what a screen is made of.
inline QImage screen(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (y < height / 3)
                line[x] = (x / 3 + y / 4) % 7 == 0 ? qRgb(30, 30, 30) : qRgb(245, 245, 245);
            else if (x < width / 2)
                line[x] = qRgb(0, 90, 180);
            else
                line[x] = qRgb(x * 255 / std::max(1, width - 1), y * 255 / std::max(1, height - 1), 128);
        }
    }
    return image;
}

// Quarters of distinct colours, so that a print or a scaled copy shows its orientation and size.
inline QImage quarters(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                y < height / 2 ? (x < width / 2 ? qRgb(255, 0, 0) : qRgb(0, 160, 0))
                               : (x < width / 2 ? qRgb(0, 0, 255) : qRgb(0, 0, 0)));
    return image;
}

// Peak signal-to-noise ratio over the three colour channels, in dB; 99 for identical pictures.
inline double psnr(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        auto p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        auto q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int i = 0; i < x.width(); ++i) {
            const int dr = qRed(p[i]) - qRed(q[i]), dg = qGreen(p[i]) - qGreen(q[i]),
                      db = qBlue(p[i]) - qBlue(q[i]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace Pictures
