#include "TestHome.h"
#include "TestMain.h"
#include "app/Main.h"
#include "platform/fake/FakePlatform.h"
#include "support/Exception.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

namespace {

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestNaming : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void numbered_data();
    void numbered();
    void readOnlyFolderCounts();
    void dateAndTime();
    void noSchemeCheckedMeansDateAndTime();
    void folderJoin();
    void missingFolderGivesNumberOne();
    void invalidPathFails();

private:
    void setScheme(int append);

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TFrmLumetra> m_form;
    QString m_folder;
};

void TestNaming::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestNaming::init()
{
    m_platform = std::make_unique<FakePlatform>();
    m_form = std::make_unique<TFrmLumetra>(*m_platform, QStringList());
    m_folder = m_home->root + QStringLiteral("/out");
    QDir(m_folder).removeRecursively();
    QDir().mkpath(m_folder);
    m_form->SavePath = m_folder;
}

void TestNaming::cleanup()
{
    m_form.reset();
    m_platform.reset();
}

void TestNaming::setScheme(int append)
{
    m_form->ChkAppend1->setChecked(append == 1);
    m_form->ChkAppend2->setChecked(append == 2);
    m_form->ChkAppend3->setChecked(append == 3);
}

void TestNaming::numbered_data()
{
    QTest::addColumn<int>("append");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("expected");

    QTest::newRow("#1 empty folder") << 1 << QStringList() << QStringList() << "png"
                                     << "Q-001.png";
    QTest::newRow("#1 after the highest of any extension")
        << 1 << QStringList { "Q-003.jpg", "Q-010.txt" } << QStringList() << "png"
        << "Q-011.png";
    QTest::newRow("#1 grows past three digits") << 1 << QStringList { "Q-999.png" } << QStringList() << "png"
                                                << "Q-1000.png";
    QTest::newRow("#1 shares numbers across extensions")
        << 1 << QStringList { "Q-007.png" } << QStringList() << "txt"
        << "Q-008.txt";
    QTest::newRow("#1 double extension counts to the first dot")
        << 1 << QStringList { "Q-12.tar.gz" } << QStringList() << "png"
        << "Q-013.png";
    QTest::newRow("#1 names that do not count")
        << 1
        << QStringList { "Q-abc.png", "q-5.png", "Q-5", "Q-20251120-101010123.png", "Q- 7.png", "X-9.png" }
        << QStringList() << "png"
        << "Q-001.png";
    QTest::newRow("#1 plain folders are skipped whatever their name")
        << 1 << QStringList() << QStringList { "Q-50", "Q-60.png" } << "png"
        << "Q-001.png";
    QTest::newRow("#1 signed number") << 1 << QStringList { "Q-+4.png" } << QStringList() << "png"
                                      << "Q-005.png";
    QTest::newRow("#2 fills the lowest gap")
        << 3 << QStringList { "Q-001.png", "Q-003.png" } << QStringList() << "png"
        << "Q-002.png";
    QTest::newRow("#2 gaps per extension") << 3 << QStringList { "Q-001.png" } << QStringList() << "txt"
                                           << "Q-001.txt";
    QTest::newRow("#2 ignores higher numbers") << 3 << QStringList { "Q-999.png" } << QStringList() << "png"
                                               << "Q-001.png";
}

void TestNaming::numbered()
{
    QFETCH(int, append);
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(QString, ext);
    QFETCH(QString, expected);
    for (const QString& file : files)
        touch(m_folder + QLatin1Char('/') + file);
    for (const QString& folder : folders)
        QDir().mkpath(m_folder + QLatin1Char('/') + folder);
    setScheme(append);
    QCOMPARE(m_form->NewFilename(ext), m_folder + QLatin1Char('/') + expected);
}

void TestNaming::readOnlyFolderCounts()
{
    // A folder with more attributes than "folder" alone is counted like a file.
    if (::geteuid() == 0)
        QSKIP("root can write to any folder, so no folder is read-only for it");
    const QString folder = m_folder + QStringLiteral("/Q-040.d");
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QCOMPARE(m_form->FindHighestNumber(), 40);
}

void TestNaming::dateAndTime()
{
    setScheme(2);
    const QString name = QFileInfo(m_form->NewFilename(QStringLiteral("png"))).fileName();
    static const QRegularExpression pattern(QStringLiteral("^Q-\\d{8}-\\d{9}\\.png$"));
    QVERIFY2(pattern.match(name).hasMatch(), qPrintable(name));
    // Date-and-time names never count as numbers.
    touch(m_folder + QLatin1Char('/') + name);
    QCOMPARE(m_form->FindHighestNumber(), 0);
}

void TestNaming::noSchemeCheckedMeansDateAndTime()
{
    setScheme(5);
    touch(m_folder + QStringLiteral("/Q-004.png"));
    const QString name = QFileInfo(m_form->NewFilename(QStringLiteral("png"))).fileName();
    QVERIFY2(name.size() == QStringLiteral("Q-20260302-130509045.png").size(), qPrintable(name));
}

void TestNaming::folderJoin()
{
    setScheme(1);
    m_form->SavePath = m_folder + QLatin1Char('/');
    QCOMPARE(m_form->NewFilename(QStringLiteral("png")), m_folder + QStringLiteral("/Q-001.png"));
    m_form->SavePath.clear();
    QCOMPARE(m_form->NewFilename(QStringLiteral("png")).left(2), QStringLiteral("Q-"));
}

void TestNaming::missingFolderGivesNumberOne()
{
    setScheme(1);
    m_form->SavePath = m_folder + QStringLiteral("/missing");
    QCOMPARE(m_form->FindHighestNumber(), 0);
    QCOMPARE(m_form->NewFilename(QStringLiteral("png")), m_form->SavePath + QStringLiteral("/Q-001.png"));
    QVERIFY(!QDir(m_form->SavePath).exists());
}

void TestNaming::invalidPathFails()
{
    setScheme(2);
    m_form->SavePath = QStringLiteral("bad") + QChar(0) + QStringLiteral("folder");
    QVERIFY_THROWS_EXCEPTION(EFileError, m_form->NewFilename(QStringLiteral("png")));
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestNaming)
#include "tst_naming.moc"
