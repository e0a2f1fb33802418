#include "Save.h"
#include "AtomicFile.h"
#include "GifEncoder.h"
#include "support/Exception.h"

void SaveBitmapGIF(const QImage& bitmap, const QString& fileName)
{
    if (bitmap.isNull())
        throw Exception(QStringLiteral("The image is empty; \"%1\" was not written.").arg(fileName));
    if (bitmap.width() > 0xFFFF || bitmap.height() > 0xFFFF)
        throw Exception(QStringLiteral("The image is too large for GIF (at most 65535 pixels across and "
                                       "down); \"%1\" was not written.")
                            .arg(fileName));
    AtomicFile file(fileName);
    EncodeGIF(bitmap, [&file](const void* data, std::size_t size) { file.write(data, size); });
    file.commit();
}
