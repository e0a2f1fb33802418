#include "Save.h"
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
    if (!platform.clipboard().setImage(bitmap))
        reportBlocked(platform);
}

void CopyTextToClipboard(Platform& platform, const QString& text)
{
    if (!platform.clipboard().setText(text))
        reportBlocked(platform);
}
