// Output file names: every file the program writes gets its name here.

#include "Main.h"

#include "support/Exception.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <limits>

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

QString TFrmLumetra::NewFilename(const QString& ext)
{
    if (ChkAppend1->isChecked() || ChkAppend3->isChecked()) {
        qint64 n = ChkAppend1->isChecked() ? FindHighestNumber() : 0;
        for (;;) {
            ++n;
            const QString path
                = joinPath(SavePath, QStringLiteral("Q-%1.%2").arg(n, 3, 10, QLatin1Char('0')).arg(ext));
            if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
                return path;
        }
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    return joinPath(SavePath, QStringLiteral("Q-%1.%2").arg(stamp, ext));
}

int TFrmLumetra::FindHighestNumber()
{
    int highest = 0;
    QDir folder(SavePath.isEmpty() ? QStringLiteral(".") : SavePath);
    const QFileInfoList entries
        = folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
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
