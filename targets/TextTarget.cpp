#include "TextTarget.h"

std::optional<Unavailable> TextTarget::Check() const
{
    if (host().HasRecognitionLanguages())
        return std::nullopt;
    // Shown in Korean in every language: the text has no translation.
    return Unavailable { QStringLiteral("OCR 을 지원하지 않는 윈도우 환경입니다."), {}, true };
}

void TextTarget::Deliver(Shot& shot)
{
    host().StartOcr(shot.bitmap);
}
