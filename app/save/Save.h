#pragma once

#include <QImage>
#include <QString>

// The image writers. Each creates or replaces the named file and throws EFileError (or another Exception)
// with the system's reason when it cannot; the caller keeps the bitmap. An empty bitmap writes nothing and
// throws.

// 8-bit RGB without alpha; indexed bitmaps become palette images of their own depth.
void SaveBitmapPNG(const QImage& bitmap, const QString& fileName);
void SaveBitmapJPG(const QImage& bitmap, const QString& fileName, int quality);
void SaveBitmapGIF(const QImage& bitmap, const QString& fileName);
void SaveBitmapBMP(const QImage& bitmap, const QString& fileName);
// Writes nothing, silently, when the WebP library is not available.
void SaveBitmapWebP(QImage& bitmap, const QString& fileName, int quality);

// One printed page on the default printer, enlarged by whole factors of the printer's resolution over
// `pixelsPerInch`.
void PrintBitmap(const QImage& bitmap, int pixelsPerInch);
// Both report a blocked clipboard to the user themselves and never throw.
void CopyBitmapToClipboard(const QImage& bitmap);
void CopyTextToClipboard(const QString& text);
// Replaces the bitmap by a smoothly resampled copy of the new size.
void ResizeBitmap(QImage& bitmap, int width, int height);
