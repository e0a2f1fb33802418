#include "SettingsFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

void writeFileAnew(const QString& path, const QByteArray& data)
{
    static int written = 0;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(data);
    file.flush();
    file.setFileTime(
        QDateTime::currentDateTimeUtc().addSecs(-3600 - ++written), QFileDevice::FileModificationTime);
}

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
