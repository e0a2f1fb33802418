#include "ImageFileTarget.h"

#include "save/Save.h"
#include "save/WebPLibrary.h"
#include "support/Q.Translate.h"

ImageFileTarget::ImageFileTarget(TargetHost& host, QString extension, Writer writer)
    : Target(host), m_extension(std::move(extension)), m_writer(std::move(writer))
{ }

void ImageFileTarget::deliver(Shot& shot)
{
    m_writer(shot.bitmap, host().newFileName(m_extension));
}

WebPTarget::WebPTarget(TargetHost& host)
    : ImageFileTarget(host, QStringLiteral("webp"), [&host](QImage& bitmap, const QString& fileName) {
        SaveBitmapWebP(bitmap, fileName, host.webpQuality());
    })
{ }

std::optional<Unavailable> WebPTarget::problem() const
{
    if (WebPLibrary::available())
        return std::nullopt;
    return Unavailable { FileNotFoundText(WebPLibrary::FileName), QStringLiteral("webpnotfound") };
}
