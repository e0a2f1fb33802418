#include "PictureWindow.h"
#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"
#include "platform/tesseract/TesseractOcr.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QRegularExpression>
#include <QSettings>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");
const QString Capture = QStringLiteral(R"({"command":"capture"})");

const QStringList EnglishLines = {
    QStringLiteral("The quick brown fox jumps over the lazy dog."),
    QStringLiteral("Invoices are due within thirty days of delivery."),
    QStringLiteral("Open the settings and choose another folder."),
    QStringLiteral("Meeting moved to Thursday at 10:30 in room 4."),
};
const QStringList KoreanLines = {
    QStringLiteral("오늘 회의는 오후 세 시에 시작합니다"),
    QStringLiteral("파일을 저장할 폴더를 선택하세요"),
    QStringLiteral("다음 주에 새로운 버전이 나옵니다"),
    QStringLiteral("모든 사진은 바탕화면에 저장됩니다"),
};

// Dark lines on white in the middle of the screen, as a document window shows them.
QImage page(const QStringList& lines, const QString& family)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(QColor(236, 238, 241));
    QPainter painter(&image);
    painter.fillRect(360, 240, 1200, 600, Qt::white);
    QFont font(family);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(QColor(20, 20, 20));
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(420, 340 + i * 60, lines[i]);
    return image;
}

// 1 - edit distance / characters drawn, spaces left out: the engine may split or join words.
double characterAccuracy(const QStringList& drawn, const QString& read)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QString expected = drawn.join(QString()).remove(space);
    const QString found = QString(read).remove(space);
    QList<int> previous(found.size() + 1), current(found.size() + 1);
    for (qsizetype j = 0; j <= found.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= expected.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= found.size(); ++j)
            current[j] = std::min({ previous[j] + 1, current[j - 1] + 1,
                previous[j - 1] + (expected[i - 1] == found[j - 1] ? 0 : 1) });
        std::swap(previous, current);
    }
    return 1.0 - double(previous.last()) / double(expected.size());
}

} // namespace

// The TXT target with the real engine: the built program recognises what the desk shows, in the language
// chosen, and keeps answering commands while it works.
class TestE2EOcr : public QObject
{
    Q_OBJECT
public:
    explicit TestE2EOcr(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void recognisesTheChosenLanguage_data();
    void recognisesTheChosenLanguage();
    void answersCommandsWhileRecognising();

private:
    int languageIndex(const QString& pack) const;
    void startLumetra(int language);
    QString command(const QString& json);
    QString waitForText();

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<QProcess> m_lumetra;
    std::unique_ptr<PictureWindow> m_screen;
};

void TestE2EOcr::initTestCase()
{
    // The packs the program offers, in its order: the program runs with this process's locale.
    for (const QString& pack : { QStringLiteral("eng"), QStringLiteral("kor") })
        QVERIFY2(languageIndex(pack) >= 0,
            qPrintable(
                QStringLiteral("the language pack %1 is missing: install tesseract-ocr-%1").arg(pack)));
    m_screen = std::make_unique<PictureWindow>(page(EnglishLines, QStringLiteral("DejaVu Sans")));
    QVERIFY(showAndWait(*m_screen));
}

void TestE2EOcr::init()
{
    m_home = std::make_unique<TestHome>();
}

void TestE2EOcr::cleanup()
{
    if (m_lumetra)
        m_home->stop(*m_lumetra, Program, m_desk.environment(), 5000);
    m_lumetra.reset();
    m_home.reset();
}

int TestE2EOcr::languageIndex(const QString& pack) const
{
    const QList<OcrLanguage> languages = TesseractOcr().languages();
    for (qsizetype i = 0; i < languages.size(); ++i)
        if (languages[i].pack == pack)
            return int(i);
    return -1;
}

void TestE2EOcr::startLumetra(int language)
{
    {
        QSettings store(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"), QSettings::IniFormat);
        store.setValue(QStringLiteral("mouse"), 0);
        store.setValue(QStringLiteral("saveto"), 6);
        store.setValue(QStringLiteral("language_ocr"), language);
    }
    m_lumetra = std::make_unique<QProcess>();
    m_lumetra->setProcessEnvironment(m_home->environment(m_desk.environment()));
    m_lumetra->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_lumetra->start(Program, { QStringLiteral("/start") });
    const std::string socket = m_home->runtime.toStdString() + "/TFrmLumetra";
    QDeadlineTimer deadline(30000);
    while (!InstanceClient::isRunning(socket) && !deadline.hasExpired())
        QTest::qWait(20);
    QVERIFY(InstanceClient::isRunning(socket));
}

QString TestE2EOcr::command(const QString& json)
{
    QProcess client;
    client.setProcessEnvironment(m_home->environment(m_desk.environment()));
    client.start(Program, { QStringLiteral("--command"), json });
    if (!client.waitForFinished(60000))
        return {};
    return QString::fromLocal8Bit(client.readAllStandardOutput()).trimmed();
}

// The text file once it is there (the file appears whole, under its final name).
QString TestE2EOcr::waitForText()
{
    const QString file = m_home->desktop + QStringLiteral("/Q-001.txt");
    QDeadlineTimer deadline(120000);
    while (!QFileInfo::exists(file) && !deadline.hasExpired())
        QTest::qWait(50);
    QFile text(file);
    if (!text.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = text.readAll();
    // UTF-8 without a byte-order mark, CR LF after every line.
    if (bytes.startsWith("\xEF\xBB\xBF") || !bytes.endsWith("\r\n")
        || bytes.count("\r\n") != bytes.count('\n'))
        return QStringLiteral("<badly formed: %1>").arg(QString::fromLatin1(bytes.toHex()));
    return QString::fromUtf8(bytes);
}

void TestE2EOcr::recognisesTheChosenLanguage_data()
{
    QTest::addColumn<QString>("pack");
    QTest::addColumn<bool>("korean");
    QTest::addColumn<bool>("readable");
    QTest::newRow("English with the English pack") << "eng" << false << true;
    QTest::newRow("Korean with the Korean pack") << "kor" << true << true;
    // The chosen language is really the one used.
    QTest::newRow("Korean with the English pack") << "eng" << true << false;
}

void TestE2EOcr::recognisesTheChosenLanguage()
{
    QFETCH(QString, pack);
    QFETCH(bool, korean);
    QFETCH(bool, readable);
    const QStringList lines = korean ? KoreanLines : EnglishLines;
    m_screen->setPicture(
        page(lines, korean ? QStringLiteral("Noto Sans CJK KR") : QStringLiteral("DejaVu Sans")));
    QTest::qWait(300);
    startLumetra(languageIndex(pack));
    QCOMPARE(command(Capture), QStringLiteral("1"));
    const QString text = waitForText();
    const double accuracy = characterAccuracy(lines, text);
    const QString report = QStringLiteral("accuracy %1 of:\n%2").arg(accuracy).arg(text);
    if (readable)
        QVERIFY2(accuracy >= 0.95, qPrintable(report));
    else
        QVERIFY2(accuracy < 0.5, qPrintable(report));
    QCOMPARE(QDir(m_home->desktop).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("Q-001.txt") });
}

void TestE2EOcr::answersCommandsWhileRecognising()
{
    m_screen->setPicture(page(EnglishLines, QStringLiteral("DejaVu Sans")));
    QTest::qWait(300);
    startLumetra(languageIndex(QStringLiteral("eng")));
    QCOMPARE(command(Capture), QStringLiteral("1"));
    // The second command is answered at once and starts nothing while the first capture is recognised.
    QElapsedTimer answered;
    answered.start();
    QCOMPARE(command(Capture), QStringLiteral("1"));
    QVERIFY2(answered.elapsed() < 2000, qPrintable(QString::number(answered.elapsed())));
    QVERIFY(!QFileInfo::exists(m_home->desktop + QStringLiteral("/Q-001.txt")));
    QVERIFY(characterAccuracy(EnglishLines, waitForText()) >= 0.95);
    // Once the recognition is done, the window takes captures again.
    QCOMPARE(command(Capture), QStringLiteral("1"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_home->desktop + QStringLiteral("/Q-002.txt")), 120000);
    QCOMPARE(QDir(m_home->desktop).entryList(QDir::Files).size(), 2);
}

LUMETRA_X11_TEST_MAIN(TestE2EOcr, XDesk::Server::Xvfb, true)
#include "tst_e2e_ocr.moc"
