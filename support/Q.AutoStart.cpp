#include "Q.AutoStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcAutoStart, "lumetra.autostart", QtWarningMsg)

namespace {

QString entryPath(const QString& name)
{
    // XDG_CONFIG_HOME, or ~/.config when it is unset: where sessions look for autostart entries.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
}

// One argument in double quotes. Inside the quotes the launcher's own quoting wants ", `, $ and \ escaped
// with a backslash; "%" starts a field code and is doubled.
QString quoteArgument(const QString& argument)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return quoted + u'"';
}

// The general escapes of a desktop entry value, applied over the quoting.
QString escapeValue(const QString& value)
{
    QString escaped;
    for (const QChar c : value) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else
            escaped += c;
    }
    return escaped;
}

// An entry the desktop's own settings switched off (Hidden=true, or the GNOME flag) is no entry at all
// for the session, so it is not reported or revived either.
bool switchedOff(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('['))
            inMainGroup = line == "[Desktop Entry]";
        else if (inMainGroup && (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false"))
            return true;
    }
    return false;
}

QString runningProgram()
{
    return QCoreApplication::applicationFilePath();
}

bool writeEntry(const QString& path, const QString& name, const QString& exec)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Version=1.0\n"
                                         "Name=%1\n"
                                         "Exec=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(escapeValue(name), exec);
    file.write(entry.toUtf8());
    return file.commit();
}

} // namespace

QString DesktopExecLine(const QString& program, const QStringList& arguments)
{
    QStringList parts;
    for (const QString& argument : QStringList { program } + arguments) {
        for (const QChar c : argument) {
            if (c.unicode() < 0x20 && c != u'\n' && c != u'\t')
                return {};
        }
        parts.append(quoteArgument(argument));
    }
    return escapeValue(parts.join(u' '));
}

bool IsAutoStart(const QString& name)
{
    const QString path = entryPath(name);
    if (!QFile::exists(path) || switchedOff(path))
        return false;
    SetAutoStart(name, true);
    return true;
}

bool SetAutoStart(const QString& name, bool enabled)
{
    const QString path = entryPath(name);
    if (!enabled) {
        // Nothing to remove counts as removed; an entry that stays would keep starting the program.
        const bool removed = !QFile::exists(path) || QFile::remove(path);
        if (!removed)
            qCWarning(lcAutoStart) << "cannot remove" << path;
        return removed;
    }
    const QString exec = DesktopExecLine(runningProgram(), { QStringLiteral("/start") });
    if (exec.isEmpty() || !writeEntry(path, name, exec)) {
        qCWarning(lcAutoStart) << "cannot write" << path;
        return false;
    }
    return true;
}
