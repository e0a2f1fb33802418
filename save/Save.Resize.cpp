#include "Save.h"
#include "support/Exception.h"

void ResizeBitmap(QImage& bitmap, int width, int height)
{
    if (bitmap.isNull() || width <= 0 || height <= 0)
        throw Exception(QStringLiteral("An image of %1 × %2 pixels cannot be resized to %3 × %4.")
                            .arg(bitmap.width())
                            .arg(bitmap.height())
                            .arg(width)
                            .arg(height));
    QImage resized = bitmap.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Out of memory for the new size: keep the old picture rather than an empty one.
    if (resized.isNull())
        throw Exception(
            QStringLiteral("Not enough memory to resize the image to %1 × %2.").arg(width).arg(height));
    bitmap = std::move(resized);
}
