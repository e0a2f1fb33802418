#include "MixedScreen.h"

#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

QImage mixedScreen(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(246, 246, 246));
    const int w = size.width(), h = size.height();
    QRandomGenerator grain(42);
    for (int y = 0; y < h; ++y) {
        auto line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = w / 2; x < w; ++x) {
            const double fx = double(x) / w, fy = double(y) / h;
            const double r = 128 + 60 * std::sin(fx * 9 + fy * 3) + 40 * std::sin(fx * 23 - fy * 17)
                + 20 * std::cos(fx * 61 * fy);
            const double g = 110 + 70 * std::sin(fx * 5 - fy * 8 + 1) + 30 * std::cos(fx * 37 + fy * 29);
            const double b = 90 + 50 * std::cos(fx * 13 + fy * 11) + 45 * std::sin(fx * 3 * fy * 40);
            const int n = int(grain.bounded(9)) - 4;
            auto channel = [n](double v) { return std::clamp(int(v) + n, 0, 255); };
            line[x] = qRgb(channel(r), channel(g), channel(b));
        }
    }
    QPainter painter(&image);
    painter.fillRect(0, 0, w / 2, 28, QColor(60, 63, 65));
    painter.setPen(Qt::white);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 10));
    painter.drawText(10, 19, QStringLiteral("File  Edit  View  Build  Debug  Help"));
    const QColor colours[] = { QColor(0, 0, 160), QColor(140, 20, 20), Qt::black };
    for (int i = 0; 48 + i * 15 < h; ++i) {
        painter.setPen(colours[i % 5 == 0 ? 0 : (i % 3 == 0 ? 1 : 2)]);
        painter.drawText(12, 48 + i * 15,
            QStringLiteral("%1  void function_%2(int value) { return compute(value * %3, \"text %4\"); }")
                .arg(i, 3)
                .arg(i)
                .arg(i * 7)
                .arg(i * 13));
    }
    painter.fillRect(w / 2 + 40, h - 180, w / 2 - 160, 120, QColor(255, 255, 255, 220));
    painter.setPen(Qt::black);
    painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 24));
    painter.drawText(w / 2 + 60, h - 110, QStringLiteral("Caption over a photo"));
    return image;
}
