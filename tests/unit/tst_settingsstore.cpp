#include "SettingsFile.h"
#include "TestHome.h"
#include "support/SettingsStore.h"

#include <QDir>
#include <QSettings>
#include <QTest>

namespace {

const QString Golden = QStringLiteral(LUMETRA_SOURCE_DIR "/tests/unit/golden/Lumetra.conf");

} // namespace

class TestSettingsStore : public QObject
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

void TestSettingsStore::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestSettingsStore::init()
{
    QDir(m_home->config).removeRecursively();
}

void TestSettingsStore::cleanup()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home->config);
}

void TestSettingsStore::storedFormat()
{
    // Every setting of the main window, each written by its own short-lived instance as the handlers do.
    SettingsStore().writeInteger(QStringLiteral("area"), 3);
    SettingsStore().writeInteger(QStringLiteral("saveto"), 10);
    SettingsStore().writeInteger(QStringLiteral("jpeg_quality"), 0);
    SettingsStore().writeInteger(QStringLiteral("webp_quality"), 4);
    SettingsStore().writeInteger(QStringLiteral("language_ocr"), 2);
    SettingsStore().writeString(QStringLiteral("language"), QStringLiteral("zh"));
    SettingsStore().writeString(QStringLiteral("path"), QStringLiteral("/home/사용자/캡쳐, 2026 #1"));
    SettingsStore().writeBoolean(QStringLiteral("audio"), true);
    SettingsStore().writeBoolean(QStringLiteral("mouse"), false);
    SettingsStore().writeBoolean(QStringLiteral("ffmpeg_log"), true);
    SettingsStore().writeInteger(QStringLiteral("append"), 3);
    SettingsStore().writeInteger(QStringLiteral("sound"), 1);
    SettingsStore().writeInteger(QStringLiteral("record_limit"), 240);
    QCOMPARE(QString::fromUtf8(readWholeFile(store())), QString::fromUtf8(readWholeFile(Golden)));
}

void TestSettingsStore::readsTheStoredFormat()
{
    writeFileAnew(store(), readWholeFile(Golden));
    SettingsStore config;
    QCOMPARE(config.readInteger(QStringLiteral("saveto"), 0), 10);
    QCOMPARE(config.readInteger(QStringLiteral("record_limit"), 0), 240);
    QCOMPARE(config.readString(QStringLiteral("path"), {}), QStringLiteral("/home/사용자/캡쳐, 2026 #1"));
    QCOMPARE(config.readString(QStringLiteral("language"), {}), QStringLiteral("zh"));
    QCOMPARE(config.readBoolean(QStringLiteral("mouse"), true), false);
    QCOMPARE(config.readBoolean(QStringLiteral("audio"), false), true);
}

void TestSettingsStore::valueTypes_data()
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

void TestSettingsStore::valueTypes()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, integer);
    QFETCH(bool, boolean);
    QFETCH(QString, text);
    writeFileAnew(store(), "[General]\nvalue=" + stored + "\n");
    SettingsStore config;
    QCOMPARE(config.readInteger(QStringLiteral("value"), 7), integer);
    QCOMPARE(config.readBoolean(QStringLiteral("value"), true), boolean);
    QCOMPARE(config.readString(QStringLiteral("value"), QStringLiteral("default")), text);
}

void TestSettingsStore::missingStoreGivesDefaults()
{
    {
        SettingsStore config;
        QCOMPARE(config.readInteger(QStringLiteral("sound"), 2), 2);
        QCOMPARE(config.readString(QStringLiteral("language"), QStringLiteral("en")), QStringLiteral("en"));
    }
    // Reading creates nothing; the first write creates folder and file.
    QVERIFY(!QFile::exists(store()));
    QCOMPARE(SettingsStore().writeInteger(QStringLiteral("sound"), 3), 3);
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("sound"), 2), 3);
}

void TestSettingsStore::corruptStoreStillWorks()
{
    static const char garbage[] = "\x00\xFF\xFE[Gen\nno equals here\n=\n[General]\nsaveto=3\n\xC3\x28=\xFF\n";
    writeFileAnew(store(), QByteArray(garbage, sizeof(garbage) - 1));
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("saveto"), 0), 3);
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("append"), 1), 1);
    SettingsStore().writeInteger(QStringLiteral("append"), 2);
    SettingsStore config;
    QCOMPARE(config.readInteger(QStringLiteral("append"), 1), 2);
    QCOMPARE(config.readInteger(QStringLiteral("saveto"), 0), 3);
}

void TestSettingsStore::writesAreOnDiskAndKeepOthers()
{
    writeFileAnew(store(), "[General]\nhotkey=44\nleft=10\n");
    SettingsStore().writeInteger(QStringLiteral("area"), 1);
    QVERIFY(readWholeFile(store()).contains("area=1\n"));
    // Two instances alive at once (a window reading its values while a handler writes) lose nothing.
    {
        SettingsStore first;
        SettingsStore second;
        first.writeInteger(QStringLiteral("width_1"), 640);
        second.writeString(QStringLiteral("language"), QStringLiteral("fr"));
    }
    // A change made to the file by someone else is seen by the next instance. (Within one tick of the
    // clock a change of the same size would not be: the store is re-read when its size or time differs.)
    QByteArray data = readWholeFile(store());
    data.replace("left=10", "left=770");
    writeFileAnew(store(), data);
    SettingsStore config;
    QCOMPARE(config.readInteger(QStringLiteral("left"), 0), 770);
    QCOMPARE(config.readInteger(QStringLiteral("hotkey"), 0), 44);
    QCOMPARE(config.readInteger(QStringLiteral("area"), 0), 1);
    QCOMPARE(config.readInteger(QStringLiteral("width_1"), 0), 640);
    QCOMPARE(config.readString(QStringLiteral("language"), {}), QStringLiteral("fr"));
}

void TestSettingsStore::unwritableStore_data()
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

void TestSettingsStore::unwritableStore()
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
    QCOMPARE(SettingsStore().writeInteger(QStringLiteral("append"), 3), 3);
    QCOMPARE(SettingsStore().writeBoolean(QStringLiteral("mouse"), false), false);
    QCOMPARE(SettingsStore().writeString(QStringLiteral("path"), QStringLiteral("/x")), QStringLiteral("/x"));
    SettingsStore config;
    QCOMPARE(config.readInteger(QStringLiteral("append"), 1), 1);
    QCOMPARE(config.readBoolean(QStringLiteral("mouse"), true), true);
    QCOMPARE(config.readString(QStringLiteral("path"), QStringLiteral("/desk")), QStringLiteral("/desk"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
