#include "TestHome.h"
#include "TestMain.h"
#include "support/Q.AutoStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace {

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QString execOf(const QString& entry)
{
    for (const QString& line : entry.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return {};
}

} // namespace

class TestAutoStart : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void execLineSurvivesTheLauncher_data();
    void execLineSurvivesTheLauncher();
    void enableAndDisable();
    void startRewritesAnEntryOfAMovedProgram();
    void switchedOffEntryCountsAsAbsent();
    void unwritableFolderFails_data();
    void unwritableFolderFails();

private:
    QString entryPath() const { return m_home->config + QStringLiteral("/autostart/Lumetra.desktop"); }
    std::unique_ptr<TestHome> m_home;
};

void TestAutoStart::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestAutoStart::init()
{
    QDir(m_home->config).removeRecursively();
    QDir().mkpath(m_home->config);
}

void TestAutoStart::execLineSurvivesTheLauncher_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "programs";
    QTest::newRow("blanks") << "My Programs/Lumetra 1.0";
    QTest::newRow("double and single quotes") << R"(say "cheese" it's)";
    QTest::newRow("shell characters") << R"(a$HOME`id`;&|<>*?#~(x))";
    QTest::newRow("backslashes") << R"(back\slash\\two\)";
    QTest::newRow("non-ASCII") << "루메트라 プログラム Émile";
    QTest::newRow("tab") << "tab\there";
}

void TestAutoStart::execLineSurvivesTheLauncher()
{
    QFETCH(QString, folder);
    QString error;
    if (!haveTool(QStringLiteral("gio"), QStringLiteral("libglib2.0-bin"), &error))
        QFAIL(qPrintable(error));
    // A stand-in program that writes down how it was called, launched by the desktop's own launcher.
    const QString place = m_home->root + QStringLiteral("/launch/") + folder;
    QVERIFY(QDir().mkpath(place));
    const QString program = place + QStringLiteral("/lumetra");
    const QString record = m_home->root + QStringLiteral("/called");
    QFile::remove(record);
    writeFile(
        program, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '%1'\n").arg(record).toUtf8());
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString exec = DesktopExecLine(program, { QStringLiteral("/start") });
    QVERIFY(!exec.isEmpty());
    const QString entry = m_home->root + QStringLiteral("/test.desktop");
    writeFile(entry, "[Desktop Entry]\nType=Application\nName=Test\nExec=" + exec.toUtf8() + "\n");
    QProcess gio;
    gio.setProcessChannelMode(QProcess::MergedChannels);
    gio.start(QStringLiteral("gio"), { QStringLiteral("launch"), entry });
    QVERIFY(gio.waitForFinished(10000));
    QVERIFY2(gio.exitCode() == 0, gio.readAll().constData());
    QTRY_VERIFY(QFile::exists(record) && readFile(record).endsWith(QLatin1Char('\n')));
    QCOMPARE(readFile(record), program + QStringLiteral("\n/start\n"));
}

void TestAutoStart::enableAndDisable()
{
    // A percent sign starts a field code and is written doubled. (GLib's launcher checks the program's
    // existence before it expands the codes, so it cannot run such a path; other launchers can.)
    QCOMPARE(
        DesktopExecLine(QStringLiteral("/opt/100%/lumetra"), {}), QStringLiteral("\"/opt/100%%/lumetra\""));
    // Other control characters have no way into a desktop entry.
    QVERIFY(DesktopExecLine(QStringLiteral("/opt/a\rb/lumetra"), {}).isEmpty());

    QVERIFY(!IsAutoStart(QStringLiteral("Lumetra")));
    // Looking does not create anything.
    QVERIFY(!QDir(m_home->config + QStringLiteral("/autostart")).exists());
    QVERIFY(SetAutoStart(QStringLiteral("Lumetra"), false));

    QVERIFY(SetAutoStart(QStringLiteral("Lumetra"), true));
    const QString entry = readFile(entryPath());
    QVERIFY(entry.startsWith(QLatin1String("[Desktop Entry]\n")));
    QVERIFY(entry.contains(QLatin1String("\nType=Application\n")));
    QVERIFY(entry.contains(QLatin1String("\nName=Lumetra\n")));
    QCOMPARE(execOf(entry),
        QLatin1Char('"') + QCoreApplication::applicationFilePath() + QStringLiteral("\" \"/start\""));
    QVERIFY(IsAutoStart(QStringLiteral("Lumetra")));

    QVERIFY(SetAutoStart(QStringLiteral("Lumetra"), false));
    QVERIFY(!QFile::exists(entryPath()));
    QVERIFY(!IsAutoStart(QStringLiteral("Lumetra")));
    // Removing what is not there is a success.
    QVERIFY(SetAutoStart(QStringLiteral("Lumetra"), false));
}

void TestAutoStart::startRewritesAnEntryOfAMovedProgram()
{
    writeFile(
        entryPath(), "[Desktop Entry]\nType=Application\nName=Lumetra\nExec=\"/old/place/lumetra\" /start\n");
    QVERIFY(IsAutoStart(QStringLiteral("Lumetra")));
    QCOMPARE(execOf(readFile(entryPath())),
        QLatin1Char('"') + QCoreApplication::applicationFilePath() + QStringLiteral("\" \"/start\""));
    // Entries of other programs stay as they are.
    QVERIFY(!IsAutoStart(QStringLiteral("Other")));
}

void TestAutoStart::switchedOffEntryCountsAsAbsent()
{
    const QByteArray off
        = "[Desktop Entry]\nType=Application\nName=Lumetra\nExec=/old/lumetra /start\nHidden=true\n";
    writeFile(entryPath(), off);
    QVERIFY(!IsAutoStart(QStringLiteral("Lumetra")));
    QCOMPARE(readFile(entryPath()).toUtf8(), off);
    // Turning it on from the menu replaces the switched-off entry.
    QVERIFY(SetAutoStart(QStringLiteral("Lumetra"), true));
    QVERIFY(IsAutoStart(QStringLiteral("Lumetra")));
    QVERIFY(!readFile(entryPath()).contains(QLatin1String("Hidden")));
}

void TestAutoStart::unwritableFolderFails_data()
{
    QTest::addColumn<bool>("byPermissions");
    QTest::newRow("read-only folder") << true;
    QTest::newRow("a file where the folder belongs") << false;
}

void TestAutoStart::unwritableFolderFails()
{
    QFETCH(bool, byPermissions);
    const QString folder = m_home->config + QStringLiteral("/autostart");
    if (byPermissions) {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(SetAutoStart(QStringLiteral("Lumetra"), true));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        // An entry that cannot be removed would go on starting the program: that is no success.
        QVERIFY(!SetAutoStart(QStringLiteral("Lumetra"), false));
        QVERIFY(QFile::exists(entryPath()));
        QFile::remove(entryPath());
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(QFile::remove(entryPath()));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(!SetAutoStart(QStringLiteral("Lumetra"), true));
        QVERIFY(!QFile::exists(entryPath()));
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    } else {
        writeFile(folder, "not a folder");
        QVERIFY(!SetAutoStart(QStringLiteral("Lumetra"), true));
        QVERIFY(!IsAutoStart(QStringLiteral("Lumetra")));
        QCOMPARE(readFile(folder), QStringLiteral("not a folder"));
        // An entry that is a folder cannot be removed.
        QFile::remove(folder);
        QVERIFY(QDir().mkpath(entryPath() + QStringLiteral("/inside")));
        QVERIFY(!SetAutoStart(QStringLiteral("Lumetra"), false));
    }
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestAutoStart)
#include "tst_autostart.moc"
