#include "Save.h"
#include "PngEncoder.h"
#include "platform/Clipboard.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "support/Q.Translate.h"

namespace {

void reportBlocked(Platform& platform)
{
    platform.messages().show(nullptr, MessageIcon::Information, TranslateText(ProductCaption),
        TranslateText(QStringLiteral("클립보드 사용을 방지하는 프로그램이 실행중입니다.")));
}

} // namespace

void CopyBitmapToClipboard(Platform& platform, const QImage& bitmap)
{
    QByteArray png;
    EncodePNG(bitmap, [&png](const void* data, std::size_t size) {
        png.append(static_cast<const char*>(data), qsizetype(size));
    });
    // The clipboard keeps these bytes until another program takes it over: not the growth room as well.
    png.squeeze();
    if (!platform.clipboard().setPng(png))
        reportBlocked(platform);
}

void CopyTextToClipboard(Platform& platform, const QString& text)
{
    if (!platform.clipboard().setText(text))
        reportBlocked(platform);
}
