#include "Save.h"
#include "platform/Platform.h"
#include "platform/Printer.h"
#include "support/Exception.h"

void PrintBitmap(Platform& platform, const QImage& bitmap, int pixelsPerInch)
{
    if (bitmap.isNull())
        throw Exception(QStringLiteral("The image is empty; nothing was printed."));
    Printer& printer = platform.printer();
    QString error;
    if (!printer.begin(QStringLiteral("Lumetra"), &error))
        throw Exception(error);
    // Whole factors only: 600 dpi over 96 enlarges six times, so that screen pixels print as even squares.
    const QSize dpi = printer.resolution();
    const int ppi = pixelsPerInch > 0 ? pixelsPerInch : 96;
    const int sx = std::max(1, dpi.width() / ppi);
    const int sy = std::max(1, dpi.height() / ppi);
    const bool drawn = printer.draw(bitmap, QRect(0, 0, bitmap.width() * sx, bitmap.height() * sy));
    // The document is ended whatever happened, so that no half-made job stays open.
    QString endError;
    const bool ended = printer.end(&endError);
    if (!drawn)
        throw Exception(QStringLiteral("The image could not be drawn for the printer."));
    if (!ended)
        throw Exception(endError);
}
