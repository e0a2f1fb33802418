#include "FileNamer.h"

#include "support/Exception.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <optional>

namespace {

QString joinPath(const QString& folder, const QString& name)
{
    // A NUL is the one character a Linux path cannot hold.
    if (folder.contains(QChar(0)) || name.contains(QChar(0)))
        throw EFileError(QStringLiteral("Illegal characters in path."));
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

// A whole number with an optional sign, as the name scan reads it; empty for anything else.
std::optional<qint64> integerOf(QStringView text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        return std::nullopt;
    for (QChar c : text) {
        // toInt() also takes blanks around the number; a file name number has none.
        if (c.isSpace())
            return std::nullopt;
    }
    return value;
}

} // namespace

NamingScheme FileNamer::schemeOf(int stored)
{
    switch (stored) {
    case int(NamingScheme::AfterHighest):
        return NamingScheme::AfterHighest;
    case int(NamingScheme::FirstFree):
        return NamingScheme::FirstFree;
    default:
        return NamingScheme::DateTime;
    }
}

QString FileNamer::newFileName(const QString& folder, NamingScheme scheme, const QString& extension)
{
    if (scheme != NamingScheme::DateTime) {
        qint64 n = scheme == NamingScheme::AfterHighest ? highestNumber(folder) : 0;
        for (;;) {
            ++n;
            const QString path
                = joinPath(folder, QStringLiteral("Q-%1.%2").arg(n, 3, 10, QLatin1Char('0')).arg(extension));
            if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
                return path;
        }
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    return joinPath(folder, QStringLiteral("Q-%1.%2").arg(stamp, extension));
}

int FileNamer::highestNumber(const QString& folder)
{
    int highest = 0;
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QFileInfoList entries
        = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        // A plain folder is skipped whatever its name; a read-only folder or a link carries more
        // attributes than "folder" alone and counts.
        if (entry.isDir() && !entry.isSymLink() && entry.isWritable())
            continue;
        const QString name = entry.fileName();
        if (!name.startsWith(QLatin1String("Q-")))
            continue;
        const qsizetype dot = name.indexOf(QLatin1Char('.'), 2);
        const QStringView digits = dot < 0 ? QStringView() : QStringView(name).mid(2, dot - 2);
        if (const auto number = integerOf(digits); number && *number > highest)
            highest = int(*number);
    }
    return highest;
}
