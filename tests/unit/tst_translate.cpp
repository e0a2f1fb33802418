#include "support/Q.Translate.h"

#include <QFile>
#include <QSet>
#include <QTest>

namespace {

const QString Codes[] = { QStringLiteral("ko"), QStringLiteral("en"), QStringLiteral("ja"),
    QStringLiteral("ru"), QStringLiteral("zh"), QStringLiteral("it"), QStringLiteral("fr") };

QByteArray shippedBytes()
{
    QFile file(QStringLiteral(":/translate.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The table's blocks, each a map from language code to text.
QList<QMap<QString, QString>> blocksOf(const QStringList& lines)
{
    QList<QMap<QString, QString>> blocks;
    QMap<QString, QString> block;
    for (const QString& line : lines) {
        if (line.isEmpty()) {
            if (!block.isEmpty())
                blocks.append(block);
            block.clear();
            continue;
        }
        block.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    if (!block.isEmpty())
        blocks.append(block);
    return blocks;
}

// Rows that share an English text by design: re-translation through English finds the earlier row.
const QSet<int> EnglishTwins = { 17, 37, 46 };

} // namespace

class TestTranslate : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void lookup_data();
    void lookup();
    void emptyLanguageMeansCurrent();
    void craftedTables_data();
    void craftedTables();
    void fileFormats_data();
    void fileFormats();
    void missingResourceShowsSourceTexts();
    void shippedTableFormat();
    void shippedTableRoundTrips();
    void userLanguage_data();
    void userLanguage();
};

void TestTranslate::init()
{
    LoadTranslateTable(shippedBytes());
}

void TestTranslate::lookup_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty source") << QString() << "en" << QString();
    QTest::newRow("Korean source") << "캡쳐영역"
                                   << "en"
                                   << "Capture";
    QTest::newRow("into Korean") << "Capture"
                                 << "ko"
                                 << "캡쳐영역";
    QTest::newRow("ASCII case folded") << "fULL sCREEN"
                                       << "ko"
                                       << "전체화면 캡쳐";
    QTest::newRow("Cyrillic case not folded") << "весь экран"
                                              << "en"
                                              << "весь экран";
    QTest::newRow("accented case not folded") << "plein Écran"
                                              << "en"
                                              << "plein Écran";
    QTest::newRow("found through another language") << "全画面"
                                                    << "fr"
                                                    << "Plein écran";
    QTest::newRow("first matching row wins") << "Open Folder"
                                             << "ko"
                                             << "폴더열기";
    QTest::newRow("escaped line breaks")
        << "알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요."
        << "en"
        << "An unknown program is using the shortcut key.\r\rPlease change the shortcut key.";
    QTest::newRow("real line breaks find nothing")
        << "알수없는 프로그램이 단축키를 사용중입니다.\n\n단축키를 변경해주세요."
        << "en"
        << "알수없는 프로그램이 단축키를 사용중입니다.\n\n단축키를 변경해주세요.";
    QTest::newRow("unknown text") << "PNG"
                                  << "ja"
                                  << "PNG";
    QTest::newRow("a file path") << "/home/user/Q-001.png"
                                 << "ru"
                                 << "/home/user/Q-001.png";
    QTest::newRow("unknown text still breaks lines") << "a\\nb"
                                                     << "en"
                                                     << "a\rb";
    QTest::newRow("code compared exactly") << "캡쳐영역"
                                           << "JA"
                                           << "Capture";
    QTest::newRow("language without lines") << "캡쳐영역"
                                            << "de"
                                            << "Capture";
    QTest::newRow("format text keeps its quotes") << "\"%s\" 파일이 없습니다."
                                                  << "en"
                                                  << "\"%s\" file not found.";
    QTest::newRow("product name") << ProductCaption << "zh"
                                  << "Lumetra";
    QTest::newRow("recording settings spelled right") << "녹화 설정"
                                                      << "en"
                                                      << "Recorder setting";
}

void TestTranslate::lookup()
{
    QFETCH(QString, source);
    QFETCH(QString, language);
    QFETCH(QString, expected);
    QCOMPARE(TranslateText(source, language), expected);
}

void TestTranslate::emptyLanguageMeansCurrent()
{
    TranslateComponent(nullptr, QStringLiteral("ja"));
    QCOMPARE(CurrentLanguage(), QStringLiteral("ja"));
    QCOMPARE(TranslateText(QStringLiteral("캡쳐영역")), QStringLiteral("キャプチャー"));
    // An empty code leaves the current language as it is.
    TranslateComponent(nullptr);
    QCOMPARE(CurrentLanguage(), QStringLiteral("ja"));
    TranslateComponent(nullptr, QStringLiteral("en"));
}

void TestTranslate::craftedTables_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("expected");
    // The Russian text of "apply" is "OK", which the earlier "confirm" row also shows in English.
    const QByteArray russianOk = "ko=확인\r\nen=OK\r\nru=ОК\r\n\r\nko=적용\r\nen=Apply\r\nru=OK\r\n\r\n";
    QTest::newRow("Russian OK back to English") << russianOk << "OK"
                                                << "en"
                                                << "OK";
    QTest::newRow("Russian OK from its source") << russianOk << "적용"
                                                << "ru"
                                                << "OK";
    QTest::newRow("no line for the language: English") << QByteArray("ko=가\r\nen=A\r\n\r\n") << "가"
                                                       << "ja"
                                                       << "A";
    QTest::newRow("neither language nor English: source")
        << QByteArray("ko=가\\n나\r\nja=カ\r\n\r\n") << "가\\n나"
        << "ru"
        << "가\r나";
    QTest::newRow("text holding =") << QByteArray("ko=a=b\r\nen=c=d\r\n\r\n") << "a=b"
                                    << "en"
                                    << "c=d";
    QTest::newRow("blank-only line joins blocks") << QByteArray("ko=가\r\n \r\nen=A\r\n\r\n") << "가"
                                                  << "en"
                                                  << "A";
    QTest::newRow("empty line ends a block") << QByteArray("ko=가\r\n\r\nen=A\r\n\r\n") << "가"
                                             << "en"
                                             << "가";
    QTest::newRow("line without = is skipped") << QByteArray("ko=가\r\nnonsense\r\nen=A\r\n\r\n") << "가"
                                               << "en"
                                               << "A";
    QTest::newRow("code in capitals is another code") << QByteArray("ko=가\r\nEN=B\r\nen=A\r\n\r\n") << "가"
                                                      << "en"
                                                      << "A";
    QTest::newRow("later block reached") << QByteArray("ko=가\r\nen=A\r\n\r\nko=나\r\nen=B\r\n\r\n") << "b"
                                         << "ko"
                                         << "나";
    QTest::newRow("first block without separator above") << QByteArray("en=A\r\nko=가\r\n\r\n") << "가"
                                                         << "en"
                                                         << "A";
}

void TestTranslate::craftedTables()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, source);
    QFETCH(QString, language);
    QFETCH(QString, expected);
    LoadTranslateTable(table);
    QCOMPARE(TranslateText(source, language), expected);
}

void TestTranslate::fileFormats_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("lines");
    const QStringList two = { "ko=가", "en=A", "", "ko=나", "en=B", "" };
    QTest::newRow("BOM and CR LF") << QByteArray("\xEF\xBB\xBFko=가\r\nen=A\r\n\r\nko=나\r\nen=B\r\n\r\n")
                                   << two;
    QTest::newRow("without BOM") << QByteArray("ko=가\r\nen=A\r\n\r\nko=나\r\nen=B\r\n\r\n") << two;
    QTest::newRow("lone LF") << QByteArray("\xEF\xBB\xBFko=가\nen=A\n\nko=나\nen=B\n\n") << two;
    QTest::newRow("lone CR") << QByteArray("ko=가\ren=A\r\rko=나\ren=B\r\r") << two;
    QTest::newRow("mixed line ends") << QByteArray("ko=가\ren=A\n\r\nko=나\r\nen=B\n\r") << two;
    QTest::newRow("no last line end") << QByteArray("ko=가\r\nen=A") << QStringList { "ko=가", "en=A" };
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("BOM only") << QByteArray("\xEF\xBB\xBF") << QStringList();
    // Cut inside the three bytes of the last character.
    QTest::newRow("truncated inside a character") << QByteArray("ko=가\r\nen=A\r\n\r\nko=\xEB\x82")
                                                  << QStringList { "ko=가", "en=A", "", "ko=\uFFFD\uFFFD" };
    QTest::newRow("binary garbage") << QByteArray("\x00\xFF\xFE=\x01\r\n", 7)
                                    << QStringList { QString(QChar(0)) + QString(QChar(0xFFFD))
                                           + QChar(0xFFFD) + QStringLiteral("=\x01") };
}

void TestTranslate::fileFormats()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, lines);
    LoadTranslateTable(data);
    QCOMPARE(TranslateTableLines(), lines);
    if (lines.size() >= 2)
        QCOMPARE(TranslateText(QStringLiteral("가"), QStringLiteral("en")), QStringLiteral("A"));
}

void TestTranslate::missingResourceShowsSourceTexts()
{
    InitTranslate(QStringLiteral(":/no-such-table.txt"));
    QVERIFY(TranslateTableLines().isEmpty());
    QCOMPARE(TranslateText(QStringLiteral("캡쳐영역"), QStringLiteral("en")), QStringLiteral("캡쳐영역"));
    QCOMPARE(TranslateText(QStringLiteral("가\\n나"), QStringLiteral("en")), QStringLiteral("가\r나"));
}

void TestTranslate::shippedTableFormat()
{
    const QByteArray bytes = shippedBytes();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.endsWith("\r\n\r\n"));
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r')
            QVERIFY2(i + 1 < bytes.size() && bytes[i + 1] == '\n', "lone CR");
        if (bytes[i] == '\n')
            QVERIFY2(i > 0 && bytes[i - 1] == '\r', "lone LF");
    }
    const QStringList lines = TranslateTableLines();
    QCOMPARE(lines.size(), 552);
    QVERIFY(lines.last().isEmpty());
    const auto blocks = blocksOf(lines);
    QCOMPARE(blocks.size(), 69);
    QSet<QString> sources;
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const auto& block = blocks.at(i);
        QCOMPARE(QSet<QString>(block.keyBegin(), block.keyEnd()),
            QSet<QString>(std::begin(Codes), std::end(Codes)));
        for (const QString& text : block)
            QVERIFY2(!text.trimmed().isEmpty(), qPrintable(QString::number(i + 1)));
        sources.insert(block.value(QStringLiteral("ko")));
    }
    QCOMPARE(sources.size(), 69);
    // Every block has exactly seven lines, so the line count pins the layout down.
    QCOMPARE(lines.count(QString()), 69);

    QCOMPARE(blocks.at(0).value(QStringLiteral("ko")), ProductCaption);
    for (const QString& code : Codes)
        if (code != QLatin1String("ko"))
            QCOMPARE(blocks.at(0).value(code), QStringLiteral("Lumetra"));
    QCOMPARE(blocks.at(1),
        (QMap<QString, QString> { { "ko", "캡쳐영역" }, { "en", "Capture" }, { "ja", "キャプチャー" },
            { "ru", "Захватить" }, { "zh", "捕获" }, { "it", "Acquisire" }, { "fr", "Capture" } }));
    QVERIFY(blocks.at(12).value(QStringLiteral("en")).startsWith(QLatin1String("Upload ")));
    QCOMPARE(blocks.at(15).value(QStringLiteral("ko")), QStringLiteral("만든이 브렌홀트"));
    QCOMPARE(blocks.at(15).value(QStringLiteral("en")), QStringLiteral("Crafted by Brenholt"));
    QCOMPARE(blocks.at(44).value(QStringLiteral("en")),
        QStringLiteral("An unknown program is using the shortcut key.\\n\\nPlease change the shortcut key."));
    for (const QString& code : Codes)
        QVERIFY2(blocks.at(57).value(code).contains(QLatin1String("%s")), qPrintable(code));
}

void TestTranslate::shippedTableRoundTrips()
{
    // Whatever a control shows, translating it again finds its own row, so switching languages back and
    // forth never mixes rows up, except where English gives two rows one text.
    const auto blocks = blocksOf(TranslateTableLines());
    for (qsizetype row = 0; row < blocks.size(); ++row) {
        for (const QString& from : Codes) {
            if (from == QLatin1String("en") && EnglishTwins.contains(int(row + 1)))
                continue;
            for (const QString& to : Codes) {
                QString expected = blocks.at(row).value(to);
                expected.replace(QLatin1String("\\n"), QLatin1String("\r"));
                QVERIFY2(TranslateText(blocks.at(row).value(from), to) == expected,
                    qPrintable(QStringLiteral("row %1 from %2 to %3").arg(row + 1).arg(from, to)));
            }
        }
    }
}

void TestTranslate::userLanguage_data()
{
    QTest::addColumn<QString>("lcAll");
    QTest::addColumn<QString>("lcMessages");
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("interface");
    QTest::newRow("nothing set") << ""
                                 << ""
                                 << ""
                                 << ""
                                 << "en"
                                 << "en";
    QTest::newRow("C") << ""
                       << ""
                       << "C"
                       << ""
                       << "en"
                       << "en";
    QTest::newRow("POSIX") << ""
                           << ""
                           << "POSIX"
                           << ""
                           << "en"
                           << "en";
    QTest::newRow("C.UTF-8") << ""
                             << ""
                             << "C.UTF-8"
                             << ""
                             << "en"
                             << "en";
    QTest::newRow("de_DE") << ""
                           << ""
                           << "de_DE"
                           << ""
                           << "de"
                           << "en";
    QTest::newRow("zh_TW") << ""
                           << ""
                           << "zh_TW"
                           << ""
                           << "zh"
                           << "zh";
    QTest::newRow("ko_KR.UTF-8") << ""
                                 << ""
                                 << "ko_KR.UTF-8"
                                 << ""
                                 << "ko"
                                 << "ko";
    QTest::newRow("ja_JP.eucJP") << ""
                                 << ""
                                 << "ja_JP.eucJP"
                                 << ""
                                 << "ja"
                                 << "ja";
    QTest::newRow("unknown name") << ""
                                  << ""
                                  << "xx_YY"
                                  << ""
                                  << "en"
                                  << "en";
    QTest::newRow("three-letter code") << ""
                                       << ""
                                       << "kok_IN"
                                       << ""
                                       << "kok"
                                       << "en";
    QTest::newRow("LC_ALL beats LANG") << "fr_FR.UTF-8"
                                       << "ru_RU.UTF-8"
                                       << "de_DE.UTF-8"
                                       << ""
                                       << "fr"
                                       << "fr";
    QTest::newRow("LC_MESSAGES beats LANG") << ""
                                            << "ru_RU.UTF-8"
                                            << "de_DE.UTF-8"
                                            << ""
                                            << "ru"
                                            << "ru";
    QTest::newRow("LANGUAGE refines a real locale") << ""
                                                    << ""
                                                    << "de_DE.UTF-8"
                                                    << "it:en"
                                                    << "it"
                                                    << "it";
    QTest::newRow("LANGUAGE ignored under C") << ""
                                              << ""
                                              << "C"
                                              << "it:en"
                                              << "en"
                                              << "en";
}

void TestTranslate::userLanguage()
{
    QFETCH(QString, lcAll);
    QFETCH(QString, lcMessages);
    QFETCH(QString, lang);
    QFETCH(QString, language);
    QFETCH(QString, user);
    QFETCH(QString, interface);
    const std::pair<const char*, QString> variables[]
        = { { "LC_ALL", lcAll }, { "LC_MESSAGES", lcMessages }, { "LANG", lang }, { "LANGUAGE", language } };
    for (const auto& [name, value] : variables) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value.toLatin1());
    }
    QCOMPARE(GetUserLanguage(), user);
    QCOMPARE(DefaultLanguage(), interface);
    InitTranslate();
    QCOMPARE(CurrentLanguage(), interface);
}

QTEST_GUILESS_MAIN(TestTranslate)
#include "tst_translate.moc"
