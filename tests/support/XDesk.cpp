#include "XDesk.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

bool haveTool(const QString& program, const QString& package, QString* error)
{
    if (!QStandardPaths::findExecutable(program).isEmpty())
        return true;
    if (error)
        *error = QStringLiteral("%1 is missing: install the Debian package %2").arg(program, package);
    return false;
}

XDesk::~XDesk()
{
    for (QProcess* process : { m_windowManager.get(), m_server.get() }) {
        if (!process || process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

std::unique_ptr<XDesk> XDesk::start(
    Server server, bool windowManager, QString* error, QSize size, bool stockKeys)
{
    const bool dummy = server == Server::XorgDummy;
    if (dummy ? !haveTool(
            QStringLiteral("Xorg"), QStringLiteral("xserver-xorg-core and xserver-xorg-video-dummy"), error)
              : !haveTool(QStringLiteral("Xvfb"), QStringLiteral("xvfb"), error))
        return nullptr;
    if (windowManager && !haveTool(QStringLiteral("openbox"), QStringLiteral("openbox"), error))
        return nullptr;
    if (!haveTool(QStringLiteral("xprop"), QStringLiteral("x11-utils"), error))
        return nullptr;

    std::unique_ptr<XDesk> desk(new XDesk);
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/xdesk-XXXXXX"));
    folder.setAutoRemove(false);
    desk->m_folder = folder.path();

    desk->m_server = std::make_unique<QProcess>();
    desk->m_server->setProcessChannelMode(QProcess::SeparateChannels);
    desk->m_server->setStandardErrorFile(desk->m_folder + QStringLiteral("/server.log"));
    QStringList arguments { QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
        QStringLiteral("tcp"), QStringLiteral("-noreset") };
    if (dummy) {
        arguments << QStringLiteral("-config")
                  << QStringLiteral(LUMETRA_SOURCE_DIR "/tests/support/xorg-dummy.conf")
                  << QStringLiteral("-logfile") << desk->m_folder + QStringLiteral("/Xorg.log");
        desk->m_server->start(QStringLiteral("Xorg"), arguments);
    } else {
        arguments << QStringLiteral("-screen") << QStringLiteral("0")
                  << QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height());
        desk->m_server->start(QStringLiteral("Xvfb"), arguments);
    }
    // The server writes its display number once it accepts clients.
    QByteArray number;
    QDeadlineTimer deadline(15000);
    while (!number.contains('\n') && !deadline.hasExpired()) {
        if (!desk->m_server->waitForReadyRead(int(deadline.remainingTime())))
            break;
        number += desk->m_server->readAllStandardOutput();
    }
    if (!number.contains('\n')) {
        if (error)
            *error = QStringLiteral("the X server did not start; see %1").arg(desk->m_folder);
        desk->m_folder.clear(); // keep the logs
        return nullptr;
    }
    desk->m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());

    if (windowManager) {
        desk->m_windowManager = std::make_unique<QProcess>();
        desk->m_windowManager->setProcessEnvironment(desk->environment());
        desk->m_windowManager->setStandardOutputFile(QProcess::nullDevice());
        desk->m_windowManager->setStandardErrorFile(desk->m_folder + QStringLiteral("/openbox.log"));
        QStringList options { QStringLiteral("--sm-disable") };
        const QString config
            = stockKeys ? QStringLiteral("/etc/xdg/openbox/rc.xml") : desk->windowManagerConfig();
        if (!config.isEmpty())
            options << QStringLiteral("--config-file") << config;
        desk->m_windowManager->start(QStringLiteral("openbox"), options);
        if (!desk->waitForWindowManager(15000)) {
            if (error)
                *error = QStringLiteral("openbox did not start on %1").arg(desk->m_display);
            return nullptr;
        }
    }
    return desk;
}

QString XDesk::windowManagerConfig() const
{
    // Debian's openbox binds Print to its own screenshot command, which would take the key the program's
    // hotkey wants; the tests run the desktop without that one binding.
    QFile system(QStringLiteral("/etc/xdg/openbox/rc.xml"));
    if (!system.open(QIODevice::ReadOnly))
        return {};
    QString rc = QString::fromUtf8(system.readAll());
    rc.remove(QRegularExpression(QStringLiteral(R"(<keybind key="Print">.*?</keybind>)"),
        QRegularExpression::DotMatchesEverythingOption));
    QFile config(m_folder + QStringLiteral("/openbox-rc.xml"));
    if (!config.open(QIODevice::WriteOnly) || config.write(rc.toUtf8()) < 0)
        return {};
    return config.fileName();
}

bool XDesk::waitForWindowManager(int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QString output;
        if (run(QStringLiteral("xprop"),
                { QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK") }, &output)
            && output.contains(QLatin1String("window id")))
            return true;
        QThread::msleep(50);
    }
    return false;
}

QProcessEnvironment XDesk::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("DISPLAY"), m_display);
    return base;
}

bool XDesk::run(const QString& program, const QStringList& arguments, QString* output, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool XDesk::setMonitors(QSize primary, QSize left) const
{
    // Mode lines for the dummy driver; the timings only need to be self-consistent.
    auto modeLine = [](QSize size) {
        const QString name = QStringLiteral("%1x%2_test").arg(size.width()).arg(size.height());
        const int w = size.width(), h = size.height();
        return QStringList { name, QStringLiteral("100"), QString::number(w), QString::number(w + 48),
            QString::number(w + 160), QString::number(w + 400), QString::number(h), QString::number(h + 3),
            QString::number(h + 8), QString::number(h + 40), QStringLiteral("+hsync"),
            QStringLiteral("+vsync") };
    };
    const QStringList primaryMode = modeLine(primary);
    const QStringList leftMode = modeLine(left);
    const QString xrandr = QStringLiteral("xrandr");
    bool ok = run(xrandr, QStringList { QStringLiteral("--newmode") } + primaryMode);
    if (left != primary)
        ok = ok && run(xrandr, QStringList { QStringLiteral("--newmode") } + leftMode);
    ok = ok && run(xrandr, { QStringLiteral("--addmode"), QStringLiteral("DUMMY0"), primaryMode.first() });
    ok = ok && run(xrandr, { QStringLiteral("--addmode"), QStringLiteral("DUMMY1"), leftMode.first() });
    ok = ok
        && run(xrandr,
            { QStringLiteral("--output"), QStringLiteral("DUMMY0"), QStringLiteral("--mode"),
                primaryMode.first(), QStringLiteral("--primary"), QStringLiteral("--output"),
                QStringLiteral("DUMMY1"), QStringLiteral("--mode"), leftMode.first(),
                QStringLiteral("--left-of"), QStringLiteral("DUMMY0") });
    return ok;
}

QRect XDesk::geometry(const QString& window) const
{
    QString info;
    if (!run(QStringLiteral("xwininfo"), { QStringLiteral("-id"), window }, &info))
        return {};
    static const QRegularExpression pattern(
        QStringLiteral("Absolute upper-left X:\\s+(-?\\d+).*Absolute upper-left Y:\\s+(-?\\d+)"
                       ".*Width:\\s+(\\d+).*Height:\\s+(\\d+)"),
        QRegularExpression::DotMatchesEverythingOption);
    const auto match = pattern.match(info);
    return match.hasMatch() ? QRect(match.captured(1).toInt(), match.captured(2).toInt(),
               match.captured(3).toInt(), match.captured(4).toInt())
                            : QRect();
}
