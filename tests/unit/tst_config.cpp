#include "SettingsFile.h"
#include "TestHome.h"
#include "support/Q.Config.h"

#include <QDir>
#include <QSettings>
#include <QTest>

namespace {

const QString Golden = QStringLiteral(LUMETRA_SOURCE_DIR "/tests/unit/golden/Lumetra.conf");

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void storedFormat();
    void readsTheStoredFormat();
    void valueTypes_data();
    void valueTypes();
    void missingStoreGivesDefaults();
    void corruptStoreStillWorks();
    void writesAreOnDiskAndKeepOthers();
    void unwritableStore_data();
    void unwritableStore();

private:
    QString store() const { return m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"); }
    std::unique_ptr<TestHome> m_home;
};

void TestConfig::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestConfig::init()
{
    QDir(m_home->config).removeRecursively();
}

void TestConfig::cleanup()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home->config);
}

void TestConfig::storedFormat()
{
    // Every setting of the main window, each written by its own short-lived instance as the handlers do.
    TConfig().WriteInteger(QStringLiteral("area"), 3);
    TConfig().WriteInteger(QStringLiteral("saveto"), 10);
    TConfig().WriteInteger(QStringLiteral("jpeg_quality"), 0);
    TConfig().WriteInteger(QStringLiteral("webp_quality"), 4);
    TConfig().WriteInteger(QStringLiteral("language_ocr"), 2);
    TConfig().WriteString(QStringLiteral("language"), QStringLiteral("zh"));
    TConfig().WriteString(QStringLiteral("path"), QStringLiteral("/home/사용자/캡쳐, 2026 #1"));
    TConfig().WriteBoolean(QStringLiteral("audio"), true);
    TConfig().WriteBoolean(QStringLiteral("mouse"), false);
    TConfig().WriteBoolean(QStringLiteral("ffmpeg_log"), true);
    TConfig().WriteInteger(QStringLiteral("append"), 3);
    TConfig().WriteInteger(QStringLiteral("sound"), 1);
    TConfig().WriteInteger(QStringLiteral("record_limit"), 240);
    QCOMPARE(QString::fromUtf8(readWholeFile(store())), QString::fromUtf8(readWholeFile(Golden)));
}

void TestConfig::readsTheStoredFormat()
{
    writeFileAnew(store(), readWholeFile(Golden));
    TConfig config;
    QCOMPARE(config.ReadInteger(QStringLiteral("saveto"), 0), 10);
    QCOMPARE(config.ReadInteger(QStringLiteral("record_limit"), 0), 240);
    QCOMPARE(config.ReadString(QStringLiteral("path"), {}), QStringLiteral("/home/사용자/캡쳐, 2026 #1"));
    QCOMPARE(config.ReadString(QStringLiteral("language"), {}), QStringLiteral("zh"));
    QCOMPARE(config.ReadBoolean(QStringLiteral("mouse"), true), false);
    QCOMPARE(config.ReadBoolean(QStringLiteral("audio"), false), true);
}

void TestConfig::valueTypes_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("integer");
    QTest::addColumn<bool>("boolean");
    QTest::addColumn<QString>("text");
    // Defaults below: integer 7, boolean true, text "default".
    QTest::newRow("number") << QByteArray("5") << 5 << true << "5";
    QTest::newRow("zero") << QByteArray("0") << 0 << false << "0";
    QTest::newRow("negative") << QByteArray("-1") << -1 << true << "-1";
    QTest::newRow("beyond 32 bits") << QByteArray("4294967296") << 7 << true << "4294967296";
    QTest::newRow("fraction") << QByteArray("1.5") << 7 << true << "1.5";
    QTest::newRow("trailing letters") << QByteArray("5x") << 7 << true << "5x";
    QTest::newRow("word") << QByteArray("false") << 7 << true << "false";
    QTest::newRow("empty") << QByteArray("") << 7 << true << "";
    QTest::newRow("list") << QByteArray("a, b") << 7 << true << "default";
    QTest::newRow("byte array") << QByteArray("@ByteArray(5)") << 7 << true << "default";
    QTest::newRow("point") << QByteArray("@Variant(\\0\\0\\0\\x13\\0\\0\\0\\x1\\0\\0\\0\\x2)") << 7 << true
                           << "default";
    QTest::newRow("quoted text") << QByteArray("\"a, b\"") << 7 << true << "a, b";
}

void TestConfig::valueTypes()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, integer);
    QFETCH(bool, boolean);
    QFETCH(QString, text);
    writeFileAnew(store(), "[General]\nvalue=" + stored + "\n");
    TConfig config;
    QCOMPARE(config.ReadInteger(QStringLiteral("value"), 7), integer);
    QCOMPARE(config.ReadBoolean(QStringLiteral("value"), true), boolean);
    QCOMPARE(config.ReadString(QStringLiteral("value"), QStringLiteral("default")), text);
}

void TestConfig::missingStoreGivesDefaults()
{
    {
        TConfig config;
        QCOMPARE(config.ReadInteger(QStringLiteral("sound"), 2), 2);
        QCOMPARE(config.ReadString(QStringLiteral("language"), QStringLiteral("en")), QStringLiteral("en"));
    }
    // Reading creates nothing; the first write creates folder and file.
    QVERIFY(!QFile::exists(store()));
    QCOMPARE(TConfig().WriteInteger(QStringLiteral("sound"), 3), 3);
    QCOMPARE(TConfig().ReadInteger(QStringLiteral("sound"), 2), 3);
}

void TestConfig::corruptStoreStillWorks()
{
    static const char garbage[] = "\x00\xFF\xFE[Gen\nno equals here\n=\n[General]\nsaveto=3\n\xC3\x28=\xFF\n";
    writeFileAnew(store(), QByteArray(garbage, sizeof(garbage) - 1));
    QCOMPARE(TConfig().ReadInteger(QStringLiteral("saveto"), 0), 3);
    QCOMPARE(TConfig().ReadInteger(QStringLiteral("append"), 1), 1);
    TConfig().WriteInteger(QStringLiteral("append"), 2);
    TConfig config;
    QCOMPARE(config.ReadInteger(QStringLiteral("append"), 1), 2);
    QCOMPARE(config.ReadInteger(QStringLiteral("saveto"), 0), 3);
}

void TestConfig::writesAreOnDiskAndKeepOthers()
{
    writeFileAnew(store(), "[General]\nhotkey=44\nleft=10\n");
    TConfig().WriteInteger(QStringLiteral("area"), 1);
    QVERIFY(readWholeFile(store()).contains("area=1\n"));
    // Two instances alive at once (a window reading its values while a handler writes) lose nothing.
    {
        TConfig first;
        TConfig second;
        first.WriteInteger(QStringLiteral("width_1"), 640);
        second.WriteString(QStringLiteral("language"), QStringLiteral("fr"));
    }
    // A change made to the file by someone else is seen by the next instance. (Within one tick of the
    // clock a change of the same size would not be: the store is re-read when its size or time differs.)
    QByteArray data = readWholeFile(store());
    data.replace("left=10", "left=770");
    writeFileAnew(store(), data);
    TConfig config;
    QCOMPARE(config.ReadInteger(QStringLiteral("left"), 0), 770);
    QCOMPARE(config.ReadInteger(QStringLiteral("hotkey"), 0), 44);
    QCOMPARE(config.ReadInteger(QStringLiteral("area"), 0), 1);
    QCOMPARE(config.ReadInteger(QStringLiteral("width_1"), 0), 640);
    QCOMPARE(config.ReadString(QStringLiteral("language"), {}), QStringLiteral("fr"));
}

void TestConfig::unwritableStore_data()
{
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("blocker");
    // Root may write anywhere a plain permission forbids, so the stores are made impossible by their shape.
    QTest::newRow("store is a folder")
        << m_home->root + QStringLiteral("/c1") << QStringLiteral("Brenholt/Lumetra.conf");
    QTest::newRow("maker folder is a file")
        << m_home->root + QStringLiteral("/c2") << QStringLiteral("Brenholt");
    QTest::newRow("read-only file system") << QStringLiteral("/proc/self/lumetra") << QString();
}

void TestConfig::unwritableStore()
{
    QFETCH(QString, configHome);
    QFETCH(QString, blocker);
    if (!blocker.isEmpty()) {
        QDir().mkpath(configHome);
        if (blocker.endsWith(QLatin1String(".conf")))
            QDir().mkpath(configHome + QLatin1Char('/') + blocker);
        else
            writeFileAnew(configHome + QLatin1Char('/') + blocker, "not a folder");
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome);
    QCOMPARE(TConfig().WriteInteger(QStringLiteral("append"), 3), 3);
    QCOMPARE(TConfig().WriteBoolean(QStringLiteral("mouse"), false), false);
    QCOMPARE(TConfig().WriteString(QStringLiteral("path"), QStringLiteral("/x")), QStringLiteral("/x"));
    TConfig config;
    QCOMPARE(config.ReadInteger(QStringLiteral("append"), 1), 1);
    QCOMPARE(config.ReadBoolean(QStringLiteral("mouse"), true), true);
    QCOMPARE(config.ReadString(QStringLiteral("path"), QStringLiteral("/desk")), QStringLiteral("/desk"));
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
