#include "Q.Update.h"

#include "Version.h"
#include "platform/Shell.h"

#include <QUrl>

QString GetVersionText(const QString& format)
{
    const int parts[] = { Version::Major, Version::Minor, Version::Release, Version::Build };
    QString result;
    int next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u'd' && next < 4) {
            result += QString::number(parts[next++]);
            ++i;
        } else {
            result += format[i];
        }
    }
    return result;
}

bool ShellOpen(Shell& shell, const QString& url)
{
    const QUrl address = QUrl::fromUserInput(url);
    return address.isValid() && shell.open(address);
}
