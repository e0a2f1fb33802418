#include "Pictures.h"
#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "ocr/TextRecognizer.h"
#include "support/SettingsStore.h"
#include "targets/Targets.h"

#include <QDir>
#include <QSettings>

namespace {

const QString CaptureFailed = QStringLiteral("캡쳐가 실패하였습니다.\r\r");
const QString NoOcr = QStringLiteral("OCR 을 지원하지 않는 윈도우 환경입니다.");

const OcrLanguage English { QStringLiteral("English"), QStringLiteral("en"), QStringLiteral("English"),
    QStringLiteral("Latn"), QStringLiteral("eng") };
const OcrLanguage Korean { QStringLiteral("Korean"), QStringLiteral("ko"), QStringLiteral("한국어"),
    QStringLiteral("Kore"), QStringLiteral("kor") };

TextRecognizer::Language textsOf(const OcrLanguage& language)
{
    return { language.displayName, language.languageTag, language.nativeName, language.script };
}

OcrOutcome completed(const QStringList& lines)
{
    OcrOutcome outcome;
    outcome.status = OcrOutcome::Status::Completed;
    for (const QString& line : lines)
        outcome.lines.append(OcrLine { line, { OcrWord { line, QRectF(1, 2, 3, 4) } } });
    outcome.text = lines.join(QLatin1Char('\n'));
    return outcome;
}

OcrOutcome ended(OcrOutcome::Status status)
{
    OcrOutcome outcome;
    outcome.status = status;
    return outcome;
}

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The recognition component on a scripted engine, and the TXT target as the main window drives it.
class TestOcr : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void rectangleChecks_data();
    void rectangleChecks();
    void languageMustMatchExactly();
    void oneRecognitionAtATime();
    void completionAfterTheComponentIsGoneIsIgnored();
    void txtFileFromTheLines_data();
    void txtFileFromTheLines();
    void failedRecognitionWritesNothing_data();
    void failedRecognitionWritesNothing();
    void failedWriteIsReported();
    void storedLanguageOutsideTheList_data();
    void storedLanguageOutsideTheList();
    void withoutLanguagesTxtFallsBackToPng();

private:
    void startProgram(const QList<OcrLanguage>& languages, const QVariant& storedLanguage = {});
    void captureToTxt();
    QStringList savedFiles() const
    {
        return QDir(m_home->desktop).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TestProgram> m_program;
};

void TestOcr::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestOcr::init()
{
    QDir(m_home->config).removeRecursively();
    QDir(m_home->desktop).removeRecursively();
    QDir().mkpath(m_home->desktop);
    m_platform = std::make_unique<FakePlatform>();
    m_platform->fakeScreen.setDesktop(Pictures::screen(640, 480));
}

void TestOcr::cleanup()
{
    m_program.reset();
    m_platform.reset();
}

void TestOcr::startProgram(const QList<OcrLanguage>& languages, const QVariant& storedLanguage)
{
    m_platform->fakeOcr.installed = languages;
    if (storedLanguage.isValid())
        QSettings(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"), QSettings::IniFormat)
            .setValue(QStringLiteral("language_ocr"), storedLanguage);
    m_program = std::make_unique<TestProgram>(*m_platform);
    m_program->start();
    m_program->click(QStringLiteral("ChkMouse"));
}

void TestOcr::captureToTxt()
{
    m_program->chooseTarget(stTXT);
    m_program->capture();
}

void TestOcr::rectangleChecks_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("edges"); // left, top, right, bottom in x, y, width, height
    QTest::addColumn<QString>("error");
    QTest::addColumn<QRect>("taken");
    const QSize size(300, 200);
    QTest::newRow("all 0: the whole picture")
        << size << QRect(0, 0, 0, 0) << QString() << QRect(0, 0, 300, 200);
    QTest::newRow("a part") << size << QRect(10, 20, 110, 70) << QString() << QRect(10, 20, 100, 50);
    QTest::newRow("right 0 with left set")
        << size << QRect(10, 10, 0, 0) << "Incorrect Right value" << QRect();
    QTest::newRow("empty picture") << QSize(0, 0) << QRect(0, 0, 0, 0) << "Incorrect Right value" << QRect();
    QTest::newRow("left negative") << size << QRect(-1, 0, 10, 10) << "Incorrect Left value" << QRect();
    QTest::newRow("top negative") << size << QRect(0, -5, 10, 10) << "Incorrect Top value" << QRect();
    QTest::newRow("right past the picture")
        << size << QRect(0, 0, 301, 200) << "Incorrect Right value" << QRect();
    QTest::newRow("bottom past the picture")
        << size << QRect(0, 0, 300, 201) << "Incorrect Bottom value" << QRect();
    QTest::newRow("left checked before right")
        << size << QRect(-1, 0, 0, 10) << "Incorrect Left value" << QRect();
    QTest::newRow("right before left") << size << QRect(50, 0, 40, 10) << "Incorrect Left value" << QRect();
}

void TestOcr::rectangleChecks()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, edges);
    QFETCH(QString, error);
    QFETCH(QRect, taken);
    m_platform->fakeOcr.installed = { English };
    TextRecognizer ocr(m_platform->fakeOcr);
    const QImage source = picture.isEmpty() ? QImage() : Pictures::screen(picture.width(), picture.height());
    ocr.setPicture(source);
    try {
        ocr.recognize(textsOf(English), nullptr, edges.x(), edges.y(), edges.width(), edges.height());
        QVERIFY2(error.isEmpty(), "no error raised");
    } catch (const TextRecognitionError& raised) {
        QCOMPARE(raised.message(), error);
        QVERIFY(!ocr.isRecognizing());
        QVERIFY(m_platform->fakeOcr.pictures.isEmpty());
        return;
    }
    QCOMPARE(m_platform->fakeOcr.pictures.size(), 1);
    const QImage given = m_platform->fakeOcr.pictures.first();
    QCOMPARE(given.format(), QImage::Format_RGB32);
    QCOMPARE(given, source.copy(taken));
}

void TestOcr::languageMustMatchExactly()
{
    m_platform->fakeOcr.installed = { English, Korean };
    TextRecognizer ocr(m_platform->fakeOcr);
    ocr.setPicture(Pictures::screen(40, 30));
    QCOMPARE(ocr.availableLanguages(), (TextRecognizer::Languages { textsOf(English), textsOf(Korean) }));
    TextRecognizer::Language shouted = textsOf(Korean);
    shouted.displayName = QStringLiteral("KOREAN");
    QVERIFY_THROWS_EXCEPTION(TextRecognitionError, ocr.recognize(shouted, nullptr, 0, 0, 0, 0));
    try {
        ocr.recognize(shouted, nullptr, 0, 0, 0, 0);
    } catch (const TextRecognitionError& error) {
        QCOMPARE(error.message(), QStringLiteral("Language not available"));
    }
    ocr.recognize(textsOf(Korean), nullptr, 0, 0, 0, 0);
    QCOMPARE(m_platform->fakeOcr.packs, QStringList { QStringLiteral("kor") });
}

void TestOcr::oneRecognitionAtATime()
{
    m_platform->fakeOcr.installed = { English };
    TextRecognizer ocr(m_platform->fakeOcr);
    ocr.setPicture(Pictures::screen(40, 30));
    QList<TextRecognizer::Result> results;
    ocr.setCompletionHandler(
        [&](TextRecognizer* sender, const TextRecognizer::Result& result, void* customData) {
            QCOMPARE(sender, &ocr);
            QCOMPARE(customData, static_cast<void*>(&results));
            results.append(result);
        });
    ocr.recognize(textsOf(English), &results, 0, 0, 0, 0);
    try {
        ocr.recognize(textsOf(English), &results, 0, 0, 0, 0);
        QFAIL("a second recognition started");
    } catch (const TextRecognitionError& error) {
        QCOMPARE(error.message(), QStringLiteral("Recognition already started"));
    }
    QVERIFY(m_platform->fakeOcr.finish(completed({ QStringLiteral("one two") })));
    QCOMPARE(results.size(), 1);
    QCOMPARE(results[0].status, TextRecognizer::Status::Completed);
    QCOMPARE(results[0].lines.size(), 1);
    QCOMPARE(results[0].lines[0].text, QStringLiteral("one two"));
    QCOMPARE(results[0].lines[0].words[0].box.height, 4.0f);

    // After the completion a new one starts.
    ocr.recognize(textsOf(English), &results, 0, 0, 0, 0);
    ocr.cancel();
    QCOMPARE(m_platform->fakeOcr.cancels, 1);
    m_platform->fakeOcr.finish(ended(OcrOutcome::Status::Canceled));
    QCOMPARE(results.size(), 2);
    QCOMPARE(results[1].status, TextRecognizer::Status::Canceled);
}

void TestOcr::completionAfterTheComponentIsGoneIsIgnored()
{
    m_platform->fakeOcr.installed = { English };
    auto ocr = std::make_unique<TextRecognizer>(m_platform->fakeOcr);
    ocr->setPicture(Pictures::screen(40, 30));
    int calls = 0;
    ocr->setCompletionHandler([&](TextRecognizer*, const TextRecognizer::Result&, void*) { ++calls; });
    ocr->recognize(textsOf(English), nullptr, 0, 0, 0, 0);
    ocr.reset();
    QVERIFY(!m_platform->fakeOcr.finish(completed({ QStringLiteral("late") })));
    QCOMPARE(calls, 0);
}

void TestOcr::txtFileFromTheLines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("two lines") << QStringList { QStringLiteral("a"), QStringLiteral("b") }
                               << QByteArray("a\r\nb\r\n");
    QTest::newRow("no text") << QStringList() << QByteArray();
    // Every script survives, whatever the system's code page would hold.
    QTest::newRow("Korean and Russian") << QStringList { QStringLiteral("안녕하세요"),
        QStringLiteral("Привет") } << QStringLiteral("안녕하세요\r\nПривет\r\n").toUtf8();
}

void TestOcr::txtFileFromTheLines()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, bytes);
    startProgram({ Korean, English }, 1);
    m_program->click(QStringLiteral("ChkSound3"));
    captureToTxt();
    // The capture has gone to the engine, enlarged three times, in the chosen language; the dispatch
    // waits for it.
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Delivering);
    QCOMPARE(m_platform->fakeOcr.packs, QStringList { QStringLiteral("eng") });
    QCOMPARE(m_platform->fakeOcr.pictures.first().size(), QSize(1920, 1440));
    QCOMPARE(m_platform->fakeSound.plays, 0);
    // A capture command meanwhile starts nothing.
    m_program->capture();
    QCOMPARE(m_platform->fakeOcr.pictures.size(), 1);

    QVERIFY(m_platform->fakeOcr.finish(completed(lines)));
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QCOMPARE(savedFiles(), QStringList { QStringLiteral("Q-001.txt") });
    QCOMPARE(readFile(m_home->desktop + QStringLiteral("/Q-001.txt")), bytes);
    QCOMPARE(m_platform->fakeSound.plays, 1);
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestOcr::failedRecognitionWritesNothing_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("canceled") << int(OcrOutcome::Status::Canceled);
    QTest::newRow("failed") << int(OcrOutcome::Status::Failed);
}

void TestOcr::failedRecognitionWritesNothing()
{
    QFETCH(int, status);
    startProgram({ English });
    m_program->click(QStringLiteral("ChkSound3"));
    // Finished by the engine on the next turn of the event loop, as a real one does.
    m_platform->fakeOcr.autoFinish = ended(OcrOutcome::Status(status));
    captureToTxt();
    QTRY_COMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    const ShownMessage& message = m_platform->fakeMessages.shown.first();
    QCOMPARE(message.icon, MessageIcon::Error);
    QCOMPARE(message.text, CaptureFailed + QStringLiteral("OCR failed."));
    QVERIFY(savedFiles().isEmpty());
    QCOMPARE(m_platform->fakeSound.plays, 0);
    // The program takes the next capture.
    m_platform->fakeOcr.autoFinish = completed({ QStringLiteral("x") });
    m_program->capture();
    QTRY_COMPARE(savedFiles(), QStringList { QStringLiteral("Q-001.txt") });
}

void TestOcr::failedWriteIsReported()
{
    startProgram({ English });
    captureToTxt();
    // The folder goes while the engine works.
    const QString missing = m_home->root + QStringLiteral("/gone");
    m_program->settings().setSaveFolder(missing);
    QVERIFY(m_platform->fakeOcr.finish(completed({ QStringLiteral("text") })));
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    const QString text = m_platform->fakeMessages.shown.first().text;
    QVERIFY2(text.startsWith(CaptureFailed) && text.contains(missing + QStringLiteral("/Q-001.txt")),
        qPrintable(text));
    QVERIFY(!QDir(missing).exists());
}

void TestOcr::storedLanguageOutsideTheList_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("selected");
    QTest::newRow("second entry") << QVariant(1) << 1;
    QTest::newRow("past the end") << QVariant(2) << -1;
    QTest::newRow("negative") << QVariant(-1) << -1;
    // Text is not a number: read as missing, so the default, the first entry.
    QTest::newRow("text") << QVariant(QStringLiteral("Korean")) << 0;
}

void TestOcr::storedLanguageOutsideTheList()
{
    QFETCH(QVariant, stored);
    QFETCH(int, selected);
    startProgram({ Korean, English }, stored);
    QComboBox* languages = m_program->list(QStringLiteral("ChkOCR_lang"));
    QCOMPARE(languages->count(), 2);
    QCOMPARE(languages->itemText(0), QStringLiteral("Korean"));
    QCOMPARE(languages->currentIndex(), selected);
    captureToTxt();
    if (selected >= 0) {
        QCOMPARE(m_platform->fakeOcr.packs,
            QStringList { selected == 0 ? QStringLiteral("kor") : QStringLiteral("eng") });
        return;
    }
    // No entry is chosen: nothing is read outside the list, and the capture says why it failed.
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_platform->fakeMessages.shown.first().text,
        CaptureFailed + QStringLiteral("Language not available"));
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QVERIFY(m_platform->fakeOcr.pictures.isEmpty());
    // The program takes the next capture once a language is picked.
    m_program->pick(QStringLiteral("ChkOCR_lang"), 0);
    m_program->capture();
    QCOMPARE(m_platform->fakeOcr.packs, QStringList { QStringLiteral("kor") });
}

void TestOcr::withoutLanguagesTxtFallsBackToPng()
{
    startProgram({});
    m_program->click(QStringLiteral("ChkSound2"));
    QCOMPARE(m_program->list(QStringLiteral("ChkOCR_lang"))->count(), 0);
    auto saysSo = [&] {
        QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
        const ShownMessage& message = m_platform->fakeMessages.shown.first();
        QCOMPARE(message.icon, MessageIcon::Information);
        QCOMPARE(message.text, NoOcr);
        m_platform->fakeMessages.shown.clear();
    };
    // Still set in the list (as from an earlier start), the capture says so before anything happens: no
    // sound, no screen read, no file.
    m_program->list(QStringLiteral("ChkSaveTo"))->setCurrentIndex(stTXT);
    m_program->capture();
    saysSo();
    QCOMPARE(m_platform->fakeSound.plays, 0);
    QCOMPARE(m_platform->fakeScreen.copyCount(), 0);
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QVERIFY(savedFiles().isEmpty());

    // Chosen in the list, the target goes back to PNG, which is what is stored.
    m_program->chooseTarget(stTXT);
    saysSo();
    QCOMPARE(m_program->target(), int(stPNG));
    QVERIFY(!m_program->list(QStringLiteral("ChkOCR_lang"))->isVisibleTo(&m_program->window()));
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("saveto"), -1), int(stPNG));
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestOcr)
#include "tst_ocr.moc"
