#pragma once

#include <QImage>
#include <QString>

class Platform;

// The image writers. Each creates or replaces the named file and throws EFileError (or another Exception)
// with the system's reason when it cannot; the caller keeps the bitmap. An empty bitmap writes nothing and
// throws.

// 8-bit RGB without alpha; indexed bitmaps become palette images of their own depth.
void SaveBitmapPNG(const QImage& bitmap, const QString& fileName);
// Baseline colour JPEG; `quality` 1 to 100.
void SaveBitmapJPG(const QImage& bitmap, const QString& fileName, int quality);
// One image of at most 256 colours, dithered when the bitmap has more.
void SaveBitmapGIF(const QImage& bitmap, const QString& fileName);
// 32 bits per pixel for screen bitmaps; 24-bit, palette and alpha bitmaps keep their own format.
void SaveBitmapBMP(const QImage& bitmap, const QString& fileName);
// Lossless at quality 100, lossy below. Converts the bitmap to 32 bits per pixel first. Writes nothing,
// silently, when the WebP library is not available; throws when the library lacks a function it needs or
// cannot encode the bitmap.
void SaveBitmapWebP(QImage& bitmap, const QString& fileName, int quality);

// One printed page on the default printer, enlarged by whole factors of the printer's resolution over
// `pixelsPerInch`. Throws when there is no default printer or the job is refused; a started document is
// always ended.
void PrintBitmap(Platform& platform, const QImage& bitmap, int pixelsPerInch);
// Both report a blocked clipboard to the user themselves. The picture goes there as PNG; only its encoding
// can fail, with an Exception.
void CopyBitmapToClipboard(Platform& platform, const QImage& bitmap);
void CopyTextToClipboard(Platform& platform, const QString& text);
// Replaces the bitmap by a smoothly resampled copy of the new size; throws for an empty bitmap or a size
// that is not positive.
void ResizeBitmap(QImage& bitmap, int width, int height);
