#include "Save.h"
#include "support/Exception.h"

// Targets whose writers are not built yet fail visibly instead of pretending to succeed.
namespace {
[[noreturn]] void unavailable(const QString& what)
{
    throw Exception(QStringLiteral("%1 is not available in this version.").arg(what));
}
} // namespace

void SaveBitmapJPG(const QImage&, const QString&, int)
{
    unavailable(QStringLiteral("Saving as JPG"));
}

void SaveBitmapGIF(const QImage&, const QString&)
{
    unavailable(QStringLiteral("Saving as GIF"));
}

void SaveBitmapBMP(const QImage&, const QString&)
{
    unavailable(QStringLiteral("Saving as BMP"));
}

void SaveBitmapWebP(QImage&, const QString&, int)
{
    unavailable(QStringLiteral("Saving as WebP"));
}

void PrintBitmap(const QImage&, int)
{
    unavailable(QStringLiteral("Printing"));
}

void CopyBitmapToClipboard(const QImage&)
{
    unavailable(QStringLiteral("Copying to the clipboard"));
}

void CopyTextToClipboard(const QString&) { }

void ResizeBitmap(QImage& bitmap, int width, int height)
{
    bitmap = bitmap.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
