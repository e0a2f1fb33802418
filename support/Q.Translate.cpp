#include "Q.Translate.h"

QString TranslateText(const QString& source, const QString& /*language*/)
{
    QString result = source;
    result.replace(QLatin1String("\\n"), QLatin1String("\r"));
    return result;
}

void TranslateComponent(QObject* /*root*/, const QString& /*language*/) { }
