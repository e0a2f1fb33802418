#include "app/FileNamer.h"
#include "support/Exception.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

const QRegularExpression DateTimeName(QStringLiteral("^Q-\\d{8}-\\d{9}\\.png$"));

} // namespace

class TestNaming : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void numbered_data();
    void numbered();
    void readOnlyFolderCounts();
    void dateAndTime();
    void storedValueToScheme_data();
    void storedValueToScheme();
    void folderJoin();
    void missingFolderGivesNumberOne();
    void invalidPathFails();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
};

void TestNaming::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->path();
}

void TestNaming::numbered_data()
{
    QTest::addColumn<NamingScheme>("scheme");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("expected");

    const auto after = NamingScheme::AfterHighest;
    const auto free = NamingScheme::FirstFree;
    QTest::newRow("#1 empty folder") << after << QStringList() << QStringList() << "png"
                                     << "Q-001.png";
    QTest::newRow("#1 after the highest of any extension")
        << after << QStringList { "Q-003.jpg", "Q-010.txt" } << QStringList() << "png"
        << "Q-011.png";
    QTest::newRow("#1 grows past three digits")
        << after << QStringList { "Q-999.png" } << QStringList() << "png"
        << "Q-1000.png";
    QTest::newRow("#1 shares numbers across extensions")
        << after << QStringList { "Q-007.png" } << QStringList() << "txt"
        << "Q-008.txt";
    QTest::newRow("#1 double extension counts to the first dot")
        << after << QStringList { "Q-12.tar.gz" } << QStringList() << "png"
        << "Q-013.png";
    QTest::newRow("#1 names that do not count")
        << after
        << QStringList { "Q-abc.png", "q-5.png", "Q-5", "Q-20251120-101010123.png", "Q- 7.png", "X-9.png" }
        << QStringList() << "png"
        << "Q-001.png";
    QTest::newRow("#1 plain folders are skipped whatever their name")
        << after << QStringList() << QStringList { "Q-50", "Q-60.png" } << "png"
        << "Q-001.png";
    QTest::newRow("#1 signed number") << after << QStringList { "Q-+4.png" } << QStringList() << "png"
                                      << "Q-005.png";
    QTest::newRow("#2 fills the lowest gap")
        << free << QStringList { "Q-001.png", "Q-003.png" } << QStringList() << "png"
        << "Q-002.png";
    QTest::newRow("#2 gaps per extension") << free << QStringList { "Q-001.png" } << QStringList() << "txt"
                                           << "Q-001.txt";
    QTest::newRow("#2 ignores higher numbers")
        << free << QStringList { "Q-999.png" } << QStringList() << "png"
        << "Q-001.png";
}

void TestNaming::numbered()
{
    QFETCH(NamingScheme, scheme);
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(QString, ext);
    QFETCH(QString, expected);
    for (const QString& file : files)
        touch(m_folder + QLatin1Char('/') + file);
    for (const QString& folder : folders)
        QDir().mkpath(m_folder + QLatin1Char('/') + folder);
    QCOMPARE(FileNamer::newFileName(m_folder, scheme, ext), m_folder + QLatin1Char('/') + expected);
}

void TestNaming::readOnlyFolderCounts()
{
    // A folder with more attributes than "folder" alone is counted like a file.
    if (::geteuid() == 0)
        QSKIP("root can write to any folder, so no folder is read-only for it");
    const QString folder = m_folder + QStringLiteral("/Q-040.d");
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QCOMPARE(FileNamer::highestNumber(m_folder), 40);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestNaming::dateAndTime()
{
    const QString name
        = QFileInfo(FileNamer::newFileName(m_folder, NamingScheme::DateTime, QStringLiteral("png")))
              .fileName();
    QVERIFY2(DateTimeName.match(name).hasMatch(), qPrintable(name));
    // Date-and-time names never count as numbers.
    touch(m_folder + QLatin1Char('/') + name);
    QCOMPARE(FileNamer::highestNumber(m_folder), 0);
}

void TestNaming::storedValueToScheme_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<NamingScheme>("scheme");
    QTest::newRow("1") << 1 << NamingScheme::AfterHighest;
    QTest::newRow("2") << 2 << NamingScheme::DateTime;
    QTest::newRow("3") << 3 << NamingScheme::FirstFree;
    // A value no menu item stands for names by date and time, as no checked scheme did.
    QTest::newRow("0") << 0 << NamingScheme::DateTime;
    QTest::newRow("5") << 5 << NamingScheme::DateTime;
    QTest::newRow("-1") << -1 << NamingScheme::DateTime;
}

void TestNaming::storedValueToScheme()
{
    QFETCH(int, stored);
    QFETCH(NamingScheme, scheme);
    QCOMPARE(FileNamer::schemeOf(stored), scheme);
}

void TestNaming::folderJoin()
{
    QCOMPARE(FileNamer::newFileName(
                 m_folder + QLatin1Char('/'), NamingScheme::AfterHighest, QStringLiteral("png")),
        m_folder + QStringLiteral("/Q-001.png"));
    // No folder: a bare name, relative to the working folder.
    QCOMPARE(FileNamer::newFileName(QString(), NamingScheme::DateTime, QStringLiteral("png")).left(2),
        QStringLiteral("Q-"));
}

void TestNaming::missingFolderGivesNumberOne()
{
    const QString missing = m_folder + QStringLiteral("/missing");
    QCOMPARE(FileNamer::highestNumber(missing), 0);
    QCOMPARE(FileNamer::newFileName(missing, NamingScheme::AfterHighest, QStringLiteral("png")),
        missing + QStringLiteral("/Q-001.png"));
    QVERIFY(!QDir(missing).exists());
}

void TestNaming::invalidPathFails()
{
    const QString bad = QStringLiteral("bad") + QChar(0) + QStringLiteral("folder");
    QVERIFY_THROWS_EXCEPTION(
        EFileError, FileNamer::newFileName(bad, NamingScheme::DateTime, QStringLiteral("png")));
    QVERIFY_THROWS_EXCEPTION(
        EFileError, FileNamer::newFileName(bad, NamingScheme::FirstFree, QStringLiteral("png")));
}

QTEST_GUILESS_MAIN(TestNaming)
#include "tst_naming.moc"
