#include "Target.h"

#include "support/Q.Translate.h"

QString FileNotFoundText(const QString& file)
{
    QString text = TranslateText(QStringLiteral("\"%s\" 파일이 없습니다."));
    text.replace(QLatin1String("%s"), file);
    return text;
}

bool Target::accepts(int) const
{
    return true;
}
