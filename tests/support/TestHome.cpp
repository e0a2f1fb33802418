#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

TestHome::TestHome()
{
    QTemporaryDir folder(QStringLiteral("/tmp/lmt-XXXXXX"));
    folder.setAutoRemove(false);
    root = folder.path();
    home = root + QStringLiteral("/home");
    config = home + QStringLiteral("/.config");
    runtime = root + QStringLiteral("/run");
    desktop = home + QStringLiteral("/Desktop");
    for (const QString& path : { home, config, runtime, desktop })
        QDir().mkpath(path);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TestHome::~TestHome()
{
    QDir(root).removeRecursively();
}

QProcessEnvironment TestHome::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("HOME"), home);
    base.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    base.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    base.insert(QStringLiteral("XDG_DESKTOP_DIR"), desktop);
    // No test asks the maker's update service: a port nobody listens on fails at once.
    base.insert(QStringLiteral("LUMETRA_UPDATE_URL"), QStringLiteral("https://127.0.0.1:1"));
    return base;
}

void TestHome::apply() const
{
    const QProcessEnvironment env = environment(QProcessEnvironment());
    for (const QString& key : env.keys())
        qputenv(key.toLocal8Bit().constData(), env.value(key).toLocal8Bit());
}

void TestHome::stop(
    QProcess& running, const QString& program, const QProcessEnvironment& base, int graceMs) const
{
    if (running.state() == QProcess::NotRunning)
        return;
    QProcess quit;
    quit.setProcessEnvironment(environment(base));
    quit.start(program, { QStringLiteral("/uninst") });
    quit.waitForFinished(10000);
    if (!running.waitForFinished(graceMs))
        running.kill();
    running.waitForFinished();
}
