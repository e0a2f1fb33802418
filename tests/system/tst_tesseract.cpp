#include "TestMain.h"
#include "ocr/TextRecognizer.h"
#include "platform/tesseract/Bands.h"
#include "platform/tesseract/TesseractOcr.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstring>

namespace {

const QString SystemPacks = QStringLiteral(LUMETRA_TESSDATA);

// A page with lines of text at known rows: each entry is the top of a 40-pixel line.
QImage linedPage(int width, int height, const QList<int>& lineTops, const QStringList& words = {})
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(30);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (qsizetype i = 0; i < lineTops.size(); ++i)
        painter.drawText(QRect(40, lineTops[i], width - 80, 40), Qt::AlignLeft | Qt::AlignVCenter,
            words.value(i, QStringLiteral("Several words of text on one line")));
    return image;
}

// Waits for a recognition's end; the outcome, or Failed with a note when none came.
OcrOutcome recognise(
    TesseractOcr& engine, const QImage& picture, const QString& pack, std::unique_ptr<OcrJob>* keep = nullptr)
{
    std::optional<OcrOutcome> outcome;
    QString error;
    std::unique_ptr<OcrJob> job = engine.recognize(
        picture, pack, [&](const OcrOutcome& got) { outcome = got; }, &error);
    if (!job) {
        OcrOutcome failed;
        failed.error = error;
        return failed;
    }
    if (keep) {
        *keep = std::move(job);
        return {};
    }
    QDeadlineTimer deadline(120000);
    while (!outcome && !deadline.hasExpired())
        QTest::qWait(20);
    return outcome.value_or(OcrOutcome {});
}

} // namespace

// The Tesseract side of recognition: the languages the installed packs give, the bands a page is cut into,
// and the helper program with the real engine on small pictures.
class TestTesseract : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { qunsetenv("TESSDATA_PREFIX"); }
    void describePack_data();
    void describePack();
    void systemLanguageFirst_data();
    void systemLanguageFirst();
    void languagesAreTheInstalledPacks();
    void bandsFallBetweenLines();
    void tallPagesGetMoreBands();
    void wordsKeepTheirPlaceAcrossBands();
    void tinyPictureHasNoText();
    void damagedPackFailsWithoutTakingTheProgram();
    void cancelEndsAtOnce();
    void packRemovedAfterStart();
};

void TestTesseract::describePack_data()
{
    QTest::addColumn<QString>("pack");
    QTest::addColumn<QStringList>("texts"); // display name, tag, native name, script
    QTest::newRow("Korean") << "kor" << QStringList { "Korean", "ko", "한국어", "Kore" };
    QTest::newRow("English, not American") << "eng" << QStringList { "English", "en", "English", "Latn" };
    QTest::newRow("Russian") << "rus" << QStringList { "Russian", "ru", "русский", "Cyrl" };
    QTest::newRow("simplified Chinese")
        << "chi_sim" << QStringList { "Chinese (Simplified Han)", "zh-Hans", "简体中文", "Hans" };
    QTest::newRow("traditional Chinese")
        << "chi_tra" << QStringList { "Chinese (Traditional Han)", "zh-Hant", "繁體中文", "Hant" };
    QTest::newRow("Serbian in Latin")
        << "srp_latn" << QStringList { "Serbian (Latin)", "sr-Latn", "srpski", "Latn" };
    QTest::newRow("vertical Japanese")
        << "jpn_vert" << QStringList { "Japanese (vert)", "ja-x-vert", "日本語", "Jpan" };
    QTest::newRow("unknown to the locale data") << "frk" << QStringList { "frk", "frk", "", "" };
}

void TestTesseract::describePack()
{
    QFETCH(QString, pack);
    QFETCH(QStringList, texts);
    const OcrLanguage language = DescribePack(pack);
    QCOMPARE(
        (QStringList { language.displayName, language.languageTag, language.nativeName, language.script }),
        texts);
    QCOMPARE(language.pack, pack);
}

void TestTesseract::systemLanguageFirst_data()
{
    QTest::addColumn<QString>("system");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("Korean desktop") << "ko_KR"
                                    << QStringList { "kor", "chi_sim", "chi_tra", "eng", "frk", "jpn" };
    QTest::newRow("no language: English")
        << "C" << QStringList { "eng", "chi_sim", "chi_tra", "frk", "jpn", "kor" };
    QTest::newRow("Taiwan: its script first")
        << "zh_TW" << QStringList { "chi_tra", "chi_sim", "eng", "frk", "jpn", "kor" };
    QTest::newRow("no pack of its own")
        << "de_DE" << QStringList { "chi_sim", "chi_tra", "eng", "frk", "jpn", "kor" };
}

void TestTesseract::systemLanguageFirst()
{
    QFETCH(QString, system);
    QFETCH(QStringList, order);
    QList<OcrLanguage> languages;
    for (const char* pack : { "jpn", "kor", "eng", "chi_tra", "frk", "chi_sim" })
        languages.append(DescribePack(QString::fromLatin1(pack)));
    QStringList packs;
    for (const OcrLanguage& language : OrderLanguages(languages, QLocale(system)))
        packs.append(language.pack);
    QCOMPARE(packs, order);
}

void TestTesseract::languagesAreTheInstalledPacks()
{
    QTemporaryDir folder;
    for (const char* file :
        { "rus.traineddata", "eng.traineddata", "osd.traineddata", "equ.traineddata", "notes.txt" }) {
        QFile touch(folder.filePath(QString::fromLatin1(file)));
        QVERIFY(touch.open(QIODevice::WriteOnly));
    }
    QDir().mkpath(folder.filePath(QStringLiteral("configs")));
    qputenv("TESSDATA_PREFIX", folder.path().toLocal8Bit());
    QStringList packs;
    for (const OcrLanguage& language : TesseractOcr().languages())
        packs.append(language.pack);
    // This test runs without a system language: English first.
    QCOMPARE(packs, (QStringList { QStringLiteral("eng"), QStringLiteral("rus") }));
}

void TestTesseract::bandsFallBetweenLines()
{
    QList<int> tops;
    for (int top = 30; top + 40 < 2400; top += 55)
        tops.append(top);
    const QImage page = linedPage(1500, 2400, tops);
    const std::vector<Band> bands = CutIntoBands(page.constBits(), page.width(), page.height(),
        int(page.bytesPerLine()), BandLimits { 4, 300, 32767 });
    QCOMPARE(bands.size(), std::size_t(4));
    int next = 0;
    for (const Band& band : bands) {
        QCOMPARE(band.top, next);
        QVERIFY(band.height >= 300);
        next = band.top + band.height;
        // No line is cut: a cut lies outside every line's rows.
        for (int top : tops)
            QVERIFY2(band.top <= top || band.top >= top + 40, qPrintable(QString::number(band.top)));
    }
    QCOMPARE(next, page.height());
    // Small pictures stay whole.
    QCOMPARE(CutIntoBands(
                 page.constBits(), page.width(), 500, int(page.bytesPerLine()), BandLimits { 4, 300, 32767 })
                 .size(),
        std::size_t(1));
}

void TestTesseract::tallPagesGetMoreBands()
{
    // A page taller than the engine takes: even without text every band keeps to the limit.
    QImage page(200, 10000, QImage::Format_RGB32);
    page.fill(Qt::white);
    const std::vector<Band> bands = CutIntoBands(
        page.constBits(), page.width(), page.height(), int(page.bytesPerLine()), BandLimits { 2, 600, 3000 });
    QVERIFY(bands.size() >= 4);
    int next = 0;
    for (const Band& band : bands) {
        QCOMPARE(band.top, next);
        QVERIFY(band.height <= 3000 && band.height >= 1);
        next += band.height;
    }
    QCOMPARE(next, 10000);
}

void TestTesseract::wordsKeepTheirPlaceAcrossBands()
{
    // Two engines on two cores cut this page into several bands; each word must come back where it is.
    qputenv("LUMETRA_OCR_THREADS", "2");
    const QStringList words = { QStringLiteral("Alpha"), QStringLiteral("Bravo"), QStringLiteral("Charlie"),
        QStringLiteral("Delta") };
    const QList<int> tops = { 100, 800, 1500, 2200 };
    TesseractOcr engine;
    const OcrOutcome outcome = recognise(engine, linedPage(900, 2400, tops, words), QStringLiteral("eng"));
    qunsetenv("LUMETRA_OCR_THREADS");
    QCOMPARE(outcome.status, OcrOutcome::Status::Completed);
    QStringList lines;
    for (const OcrLine& line : outcome.lines)
        lines.append(line.text);
    QCOMPARE(lines, words);
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QRectF box = outcome.lines[i].words.value(0).rect;
        QVERIFY2(box.top() >= tops[i] && box.bottom() <= tops[i] + 40 && box.left() >= 40,
            qPrintable(QStringLiteral("%1: %2,%3").arg(words[i]).arg(box.left()).arg(box.top())));
    }
    QCOMPARE(outcome.text, words.join(QLatin1Char('\n')));
}

void TestTesseract::tinyPictureHasNoText()
{
    QImage dot(3, 3, QImage::Format_RGB32);
    dot.fill(Qt::white);
    TesseractOcr engine;
    const OcrOutcome outcome = recognise(engine, dot, QStringLiteral("eng"));
    QCOMPARE(outcome.status, OcrOutcome::Status::Completed);
    QVERIFY(outcome.lines.isEmpty());
}

void TestTesseract::damagedPackFailsWithoutTakingTheProgram()
{
    QFile original(SystemPacks + QStringLiteral("/eng.traineddata"));
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray pack = original.readAll();
    // The pack starts with a count and a table of 64-bit offsets, one per part.
    auto partStart = [&pack](int part) {
        qint64 offset = -1;
        std::memcpy(&offset, pack.constData() + 4 + 8 * part, sizeof offset);
        return offset;
    };
    QTemporaryDir folder;
    auto damage = [&](const QString& name, qint64 at) {
        QByteArray copy = pack;
        for (qint64 i = at; i < at + 8; ++i)
            copy[i] = char(~copy[i]);
        QFile file(folder.filePath(name + QStringLiteral(".traineddata")));
        return file.open(QIODevice::WriteOnly) && file.write(copy) == copy.size();
    };
    // The engine aborts on a damaged character table; a pack cut short it reports. Neither may take the
    // program with it.
    QVERIFY(damage(QStringLiteral("aborts"), partStart(22) + 4));
    QFile truncated(folder.filePath(QStringLiteral("short.traineddata")));
    QVERIFY(truncated.open(QIODevice::WriteOnly) && truncated.write(pack.left(1000)) == 1000);
    truncated.close();
    qputenv("TESSDATA_PREFIX", folder.path().toLocal8Bit());
    TesseractOcr engine;
    for (const QString& name : { QStringLiteral("aborts"), QStringLiteral("short") }) {
        const OcrOutcome outcome = recognise(engine, linedPage(600, 100, { 30 }), name);
        QVERIFY2(outcome.status == OcrOutcome::Status::Failed, qPrintable(name));
        QVERIFY(!outcome.error.isEmpty());
    }
}

void TestTesseract::cancelEndsAtOnce()
{
    QList<int> tops;
    for (int top = 20; top + 40 < 3000; top += 50)
        tops.append(top);
    TesseractOcr engine;
    std::optional<OcrOutcome> outcome;
    QString error;
    auto job = engine.recognize(
        linedPage(3000, 3000, tops), QStringLiteral("eng"), [&](const OcrOutcome& got) { outcome = got; },
        &error);
    QVERIFY2(job, qPrintable(error));
    QTest::qWait(300);
    QElapsedTimer timer;
    timer.start();
    job->cancel();
    QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 5000);
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(outcome->status, OcrOutcome::Status::Canceled);
}

void TestTesseract::packRemovedAfterStart()
{
    QTemporaryDir folder;
    QVERIFY(QFile::copy(SystemPacks + QStringLiteral("/eng.traineddata"),
        folder.filePath(QStringLiteral("eng.traineddata"))));
    qputenv("TESSDATA_PREFIX", folder.path().toLocal8Bit());
    TesseractOcr engine;
    TextRecognizer ocr(engine);
    const TextRecognizer::Languages languages = ocr.availableLanguages();
    QCOMPARE(languages.size(), 1);
    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("eng.traineddata"))));
    ocr.setPicture(linedPage(300, 100, { 30 }));
    try {
        ocr.recognize(languages.first(), nullptr, 0, 0, 0, 0);
        QFAIL("recognised with a removed pack");
    } catch (const TextRecognitionError& error) {
        QCOMPARE(error.message(), QStringLiteral("Language not available"));
    }
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestTesseract)
#include "tst_tesseract.moc"
