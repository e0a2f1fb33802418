#include "SettingsFile.h"
#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "capture/CaptureSource.h"
#include "support/Q.Translate.h"
#include "targets/Targets.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSystemTrayIcon>

namespace {

// The checked items of a menu group as the endings of their names joined by "+", "none" for none.
QString checkedOf(const TestProgram& program, const QString& prefix, const QStringList& endings)
{
    QStringList checked;
    for (const QString& ending : endings)
        if (program.checked(prefix + ending))
            checked.append(ending);
    return checked.isEmpty() ? QStringLiteral("none") : checked.join(QLatin1Char('+'));
}

const QStringList LanguageItems { "Ko", "En", "Ja", "Ru", "It", "Fr", "Zh" };

// The settings-backed state of the program in one line, so that a row of expectations reads as a whole.
QString stateOf(const TestProgram& program)
{
    return QStringLiteral("lang=%1 area=%2 saveto=%3 jpeg=%4 webp=%5 append=%6 sound=%7 limit=%8 mouse=%9 "
                          "audio=%10 log=%11 langItem=%12")
        .arg(program.settings().language())
        .arg(program.list(QStringLiteral("ChkArea"))->currentIndex())
        .arg(program.list(QStringLiteral("ChkSaveTo"))->currentIndex())
        .arg(program.list(QStringLiteral("ChkJPEG_qual"))->currentIndex())
        .arg(program.list(QStringLiteral("ChkWebP_qual"))->currentIndex())
        .arg(checkedOf(program, QStringLiteral("ChkAppend"), { "1", "2", "3" }))
        .arg(checkedOf(program, QStringLiteral("ChkSound"), { "1", "2", "3" }))
        .arg(checkedOf(program, QStringLiteral("ChkRecLimit"), { "0", "30", "60", "120", "240" }))
        .arg(int(program.checked(QStringLiteral("ChkMouse"))))
        .arg(int(program.checked(QStringLiteral("ChkAudio"))))
        .arg(int(program.checked(QStringLiteral("ChkLog"))))
        .arg(checkedOf(program, QStringLiteral("ChkLang"), LanguageItems));
}

const QString Defaults
    = QStringLiteral("lang=en area=0 saveto=0 jpeg=1 webp=1 append=1 sound=2 limit=0 mouse=1 "
                     "audio=0 log=0 langItem=En");

// Every text the window shows: captions of its components (the menu's and the windows' it owns included),
// their titles and the entries of its lists.
QStringList shownTexts(const QWidget& window)
{
    QStringList texts { window.windowTitle() };
    for (const QObject* object : window.findChildren<QObject*>()) {
        if (const auto owned = qobject_cast<const QWidget*>(object); owned && owned->isWindow())
            texts.append(owned->windowTitle());
        if (const auto list = qobject_cast<const QComboBox*>(object)) {
            for (int i = 0; i < list->count(); ++i)
                texts.append(list->itemText(i));
        } else if (!Caption(object).isEmpty()) {
            texts.append(Caption(object));
        }
    }
    return texts;
}

bool hasHangul(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3)
            return true;
    return false;
}

QString label(const TestProgram& program, const char* name)
{
    return program.find<QLabel>(QLatin1String(name))->text();
}

const QRegularExpression DateTimeName(QStringLiteral("^Q-\\d{8}-\\d{9}\\.png$"));

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStart_data();
    void firstStart();
    void restoredFromStore_data();
    void restoredFromStore();
    void menuChoicesAreStored();
    void namingChoiceNamesTheNextCapture_data();
    void namingChoiceNamesTheNextCapture();
    void listsStoreTheirIndex();
    void onlyReopenableSourcesAreStored();
    void languageSwitch_data();
    void languageSwitch();
    void everyTextIsTranslated();
    void switchingBackUsesTheFirstMatchingRow();
    void listsKeepTheirSelection();
    void ampersandsShowAsTheyAre();
    void damagedTableStillStarts_data();
    void damagedTableStillStarts();
    void brokenStoreRunsOnDefaults_data();
    void brokenStoreRunsOnDefaults();
    void chooseFolder();
    void openFolder_data();
    void openFolder();
    void rightClickOpensTheMenu_data();
    void rightClickOpensTheMenu();

private:
    void startProgram();
    QString store() const { return m_config + QStringLiteral("/Brenholt/Lumetra.conf"); }
    QStringList storedKeys() const;
    QVariant stored(const QString& name) const;

    std::unique_ptr<TestHome> m_home;
    QString m_config;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TestProgram> m_program;
};

void TestSettings::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
    for (const char* name : { "LC_ALL", "LC_MESSAGES", "LANGUAGE" })
        qunsetenv(name);
    qputenv("LANG", "en_US.UTF-8");
}

void TestSettings::init()
{
    InitTranslate();
    // A store of its own for every test: the settings library keeps what it could not write in memory,
    // per file, and would carry it into the next test.
    static int tests = 0;
    m_config = m_home->root + QStringLiteral("/config-%1").arg(++tests);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config);
    m_platform = std::make_unique<FakePlatform>();
}

void TestSettings::cleanup()
{
    m_program.reset();
    m_platform.reset();
    qputenv("LANG", "en_US.UTF-8");
}

void TestSettings::startProgram()
{
    m_program = std::make_unique<TestProgram>(*m_platform);
    m_program->start();
}

QStringList TestSettings::storedKeys() const
{
    QSettings settings(store(), QSettings::IniFormat);
    QStringList keys = settings.allKeys();
    keys.sort();
    return keys;
}

QVariant TestSettings::stored(const QString& name) const
{
    return QSettings(store(), QSettings::IniFormat).value(name);
}

void TestSettings::firstStart_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("label");
    QTest::newRow("German runs as English") << QByteArray("de_DE.UTF-8") << "en"
                                            << "Lumetra"
                                            << "Capture";
    QTest::newRow("Korean") << QByteArray("ko_KR.UTF-8") << "ko" << ProductCaption << "캡쳐영역";
    QTest::newRow("Japanese") << QByteArray("ja_JP.UTF-8") << "ja"
                              << "Lumetra"
                              << "キャプチャー";
    QTest::newRow("Chinese of Taiwan") << QByteArray("zh_TW.UTF-8") << "zh"
                                       << "Lumetra"
                                       << "捕获";
    QTest::newRow("POSIX") << QByteArray("POSIX") << "en"
                           << "Lumetra"
                           << "Capture";
    QTest::newRow("C") << QByteArray("C") << "en"
                       << "Lumetra"
                       << "Capture";
}

void TestSettings::firstStart()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, language);
    QFETCH(QString, title);
    QFETCH(QString, label);
    qputenv("LANG", locale);
    startProgram();
    QString state = Defaults;
    state.replace(QStringLiteral("lang=en"), QStringLiteral("lang=") + language)
        .replace(QStringLiteral("langItem=En"),
            QStringLiteral("langItem=") + language.at(0).toUpper() + language.at(1));
    QCOMPARE(stateOf(*m_program), state);
    QCOMPARE(m_program->settings().saveFolder(), m_home->desktop);
    // The language follows the locale at every start until the user picks one: it is not stored.
    QCOMPARE(storedKeys(), (QStringList { QStringLiteral("area"), QStringLiteral("saveto") }));
    QCOMPARE(m_program->window().windowTitle(), title);
    QCOMPARE(QGuiApplication::applicationDisplayName(), title);
    QCOMPARE(::label(*m_program, "LblArea"), label);
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestSettings::restoredFromStore_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("state");
    auto with = [](const QString& changes) {
        QString state = Defaults;
        for (const QString& change : changes.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString key = change.section(QLatin1Char('='), 0, 0) + QLatin1Char('=');
            state.replace(QRegularExpression(QStringLiteral("\\b") + key + QStringLiteral("\\S+")), change);
        }
        return state;
    };
    QTest::newRow("every choice") << QByteArray(
        "[General]\nlanguage=fr\narea=3\nsaveto=1\njpeg_quality=4\n"
        "webp_quality=0\nappend=3\nsound=3\nrecord_limit=120\nmouse=0\n"
        "audio=1\nffmpeg_log=1\n")
                                  << with("lang=fr area=3 saveto=1 jpeg=4 webp=0 append=3 sound=3 limit=120 "
                                          "mouse=0 audio=1 log=1 langItem=Fr");
    QTest::newRow("values no item stands for check nothing") << QByteArray(
        "[General]\nappend=5\nsound=0\nrecord_limit=45\n") << with("append=none sound=none limit=none");
    QTest::newRow("index beyond the list")
        << QByteArray("[General]\nsaveto=11\njpeg_quality=5\nwebp_quality=-1\n")
        << with("saveto=-1 jpeg=-1 webp=-1");
    QTest::newRow("area of a later source") << QByteArray("[General]\narea=6\n") << with("area=6");
    QTest::newRow("language in capitals") << QByteArray("[General]\nlanguage=EN\n") << with("lang=en");
    QTest::newRow("language outside the seven") << QByteArray("[General]\nlanguage=de\n") << with("lang=en");
    QTest::newRow("wrong types read as defaults") << QByteArray(
        "[General]\narea=abc\nmouse=yes\naudio=\"1\"\nappend=@ByteArray(2)\nlanguage=\"ja, ko\"\n")
                                                  << with("audio=1");
    QTest::newRow("Korean") << QByteArray("[General]\nlanguage=ko\n") << with("lang=ko langItem=Ko");
}

void TestSettings::restoredFromStore()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, state);
    writeFileAnew(store(), ini);
    startProgram();
    QCOMPARE(stateOf(*m_program), state);
    // Start-up writes back the source and the target and nothing else.
    const QByteArray after = readWholeFile(store());
    for (const QByteArray& line : ini.split('\n'))
        if (line.startsWith("language="))
            QVERIFY2(after.contains(line + '\n'), "the stored language is left as it was");
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestSettings::menuChoicesAreStored()
{
    startProgram();
    struct Case
    {
        const char* item;
        const char* key;
        QString value;
        QString checked; // the group's checked items afterwards, as stateOf shows them
    };
    // Each group's value follows the item's name, not its place in the menu; a check-mark item stores the
    // state it turned to; clicking a checked group item again keeps it.
    const Case cases[] = {
        { "ChkAppend3", "append", "3", "append=3 " },
        { "ChkAppend2", "append", "2", "append=2 " },
        { "ChkAppend1", "append", "1", "append=1 " },
        { "ChkSound1", "sound", "1", "sound=1 " },
        { "ChkSound3", "sound", "3", "sound=3 " },
        { "ChkSound3", "sound", "3", "sound=3 " },
        { "ChkRecLimit240", "record_limit", "240", "limit=240 " },
        { "ChkRecLimit30", "record_limit", "30", "limit=30 " },
        { "ChkRecLimit0", "record_limit", "0", "limit=0 " },
        { "ChkMouse", "mouse", "0", "mouse=0 " },
        { "ChkMouse", "mouse", "1", "mouse=1 " },
        { "ChkAudio", "audio", "1", "audio=1 " },
        { "ChkLog", "ffmpeg_log", "1", "log=1 " },
        { "ChkLog", "ffmpeg_log", "0", "log=0 " },
    };
    for (const Case& c : cases) {
        m_program->click(QLatin1String(c.item));
        QCOMPARE(stored(QLatin1String(c.key)).toString(), c.value);
        QVERIFY2(
            stateOf(*m_program).contains(c.checked), qPrintable(c.item + (" -> " + stateOf(*m_program))));
    }
    // What was stored is what the next start shows.
    const QString state = stateOf(*m_program);
    m_program.reset();
    startProgram();
    QCOMPARE(stateOf(*m_program), state);
}

void TestSettings::namingChoiceNamesTheNextCapture_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("item"); // empty: nothing clicked
    QTest::addColumn<QString>("expected"); // empty: a date-and-time name
    QTest::newRow("#1 after the highest") << QByteArray() << "ChkAppend1"
                                          << "Q-004.png";
    QTest::newRow("#2 the first free") << QByteArray() << "ChkAppend3"
                                       << "Q-002.png";
    QTest::newRow("date and time") << QByteArray() << "ChkAppend2" << QString();
    QTest::newRow("stored value no item stands for")
        << QByteArray("[General]\nappend=5\n") << QString() << QString();
}

void TestSettings::namingChoiceNamesTheNextCapture()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, item);
    QFETCH(QString, expected);
    QDir(m_home->desktop).removeRecursively();
    QDir().mkpath(m_home->desktop);
    for (const char* name : { "Q-001.png", "Q-003.png" })
        writeFileAnew(m_home->desktop + QLatin1Char('/') + QLatin1String(name), "x");
    if (!ini.isEmpty())
        writeFileAnew(store(), ini);
    startProgram();
    if (!item.isEmpty())
        m_program->click(item);
    m_program->capture();
    QTRY_COMPARE(QDir(m_home->desktop).entryList(QDir::Files).size(), 3);
    QTRY_COMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QStringList made = QDir(m_home->desktop).entryList(QDir::Files);
    made.removeAll(QStringLiteral("Q-001.png"));
    made.removeAll(QStringLiteral("Q-003.png"));
    QCOMPARE(made.size(), 1);
    if (expected.isEmpty())
        QVERIFY2(DateTimeName.match(made.first()).hasMatch(), qPrintable(made.first()));
    else
        QCOMPARE(made.first(), expected);
}

void TestSettings::listsStoreTheirIndex()
{
    startProgram();
    for (const char* name : { "ChkJPEG_qual", "ChkWebP_qual" }) {
        m_program->pick(QLatin1String(name), 3);
    }
    QCOMPARE(stored(QStringLiteral("jpeg_quality")).toInt(), 3);
    QCOMPARE(stored(QStringLiteral("webp_quality")).toInt(), 3);
    m_program->window().setRecognitionLanguages({ QStringLiteral("English"), QStringLiteral("한국어") }, 0);
    m_program->pick(QStringLiteral("ChkOCR_lang"), 1);
    QCOMPARE(stored(QStringLiteral("language_ocr")).toInt(), 1);
    m_program->chooseTarget(stClipboard);
    QCOMPARE(stored(QStringLiteral("saveto")).toInt(), int(stClipboard));
    m_program.reset();
    startProgram();
    QCOMPARE(m_program->list(QStringLiteral("ChkJPEG_qual"))->currentIndex(), 3);
    QCOMPARE(m_program->list(QStringLiteral("ChkWebP_qual"))->currentIndex(), 3);
    QCOMPARE(m_program->target(), int(stClipboard));
}

void TestSettings::onlyReopenableSourcesAreStored()
{
    startProgram();
    m_program->chooseSource(csRegion);
    QCOMPARE(stored(QStringLiteral("area")).toInt(), int(csRegion));
    // The window under the pointer would open its outline unasked at the next start.
    m_program->chooseSource(csWindowControl);
    QCOMPARE(m_program->source(), int(csWindowControl));
    QCOMPARE(stored(QStringLiteral("area")).toInt(), int(csFullScreen));
    m_program->chooseSource(csColorPick);
    QCOMPARE(stored(QStringLiteral("area")).toInt(), int(csFullScreen));
}

void TestSettings::languageSwitch_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("menu");
    QTest::newRow("Korean") << "ChkLangKo"
                            << "ko" << ProductCaption << "캡쳐영역"
                            << "언어 설정";
    QTest::newRow("English") << "ChkLangEn"
                             << "en"
                             << "Lumetra"
                             << "Capture"
                             << "Language";
    QTest::newRow("Japanese") << "ChkLangJa"
                              << "ja"
                              << "Lumetra"
                              << "キャプチャー"
                              << "言語";
    QTest::newRow("Russian") << "ChkLangRu"
                             << "ru"
                             << "Lumetra"
                             << "Захватить"
                             << "Язык";
    QTest::newRow("Italian") << "ChkLangIt"
                             << "it"
                             << "Lumetra"
                             << "Acquisire"
                             << "Lingua";
    QTest::newRow("French") << "ChkLangFr"
                            << "fr"
                            << "Lumetra"
                            << "Capture"
                            << "Langue";
    QTest::newRow("Chinese") << "ChkLangZh"
                             << "zh"
                             << "Lumetra"
                             << "捕获"
                             << "语言";
}

void TestSettings::languageSwitch()
{
    QFETCH(QString, item);
    QFETCH(QString, code);
    QFETCH(QString, title);
    QFETCH(QString, label);
    QFETCH(QString, menu);
    // Start in a language other than the one chosen, so that every text really changes.
    writeFileAnew(
        store(), code == QLatin1String("ru") ? "[General]\nlanguage=ja\n" : "[General]\nlanguage=ru\n");
    startProgram();
    m_program->click(item);
    QCOMPARE(m_program->settings().language(), code);
    QCOMPARE(CurrentLanguage(), code);
    QCOMPARE(stored(QStringLiteral("language")).toString(), code);
    QCOMPARE(checkedOf(*m_program, QStringLiteral("ChkLang"), LanguageItems), item.mid(7));
    QCOMPARE(m_program->window().windowTitle(), title);
    QCOMPARE(QGuiApplication::applicationDisplayName(), title);
    QCOMPARE(m_program->find<QSystemTrayIcon>(QStringLiteral("TrayIcon"))->toolTip(),
        title + QStringLiteral(" 1.0.0.1"));
    QCOMPARE(::label(*m_program, "LblArea"), label);
    QCOMPARE(m_program->find<QMenu>(QStringLiteral("N11"))->title(), menu);
    QCOMPARE(m_program->list(QStringLiteral("ChkArea"))->itemText(0),
        TranslateText(QStringLiteral("전체화면 캡쳐"), code));
}

void TestSettings::everyTextIsTranslated()
{
    writeFileAnew(store(), "[General]\nlanguage=ko\n");
    startProgram();
    // With the region frame, which is made when its source is first chosen.
    m_program->chooseSource(csRegion);
    const QWidget& window = m_program->window();
    const QStringList korean = shownTexts(window);
    for (const QString& text : { QStringLiteral("저장폴더 열기"), QStringLiteral("단축키 설정"),
             QStringLiteral("영역크기 설정"), QStringLiteral("감추기") })
        QVERIFY2(korean.contains(text), qPrintable(text));
    // English last: coming back from it merges the two "Open Folder" rows (see below).
    for (const char* item :
        { "ChkLangJa", "ChkLangRu", "ChkLangIt", "ChkLangFr", "ChkLangZh", "ChkLangEn" }) {
        m_program->click(QLatin1String(item));
        for (const QString& text : shownTexts(window)) {
            // The language menu names Korean in Korean; the recording card's "recording" and the region
            // frame's title have no row in the table and show in Korean in every language.
            static const QStringList untranslated { QStringLiteral("한국어"), QStringLiteral("녹화중"),
                QStringLiteral("영역지정 - ") + ProductCaption };
            if (!untranslated.contains(text))
                QVERIFY2(!hasHangul(text),
                    qPrintable(m_program->settings().language() + QStringLiteral(": ") + text));
        }
        // Back to Korean through the other language's texts gives the window as it was.
        m_program->click(QStringLiteral("ChkLangKo"));
        if (qstrcmp(item, "ChkLangEn") != 0)
            QCOMPARE(shownTexts(window), korean);
    }
}

void TestSettings::switchingBackUsesTheFirstMatchingRow()
{
    writeFileAnew(store(), "[General]\nlanguage=en\n");
    startProgram();
    QAction* openItem = m_program->item(QStringLiteral("N12"));
    auto openButton = m_program->find<QPushButton>(QStringLiteral("BtnOpenDir"));
    QCOMPARE(openItem->text(), QStringLiteral("Open Folder"));
    QCOMPARE(openButton->text(), QStringLiteral("Open Folder"));
    // Both show "Open Folder" in English; the button's row comes first, so both become the button's text.
    m_program->click(QStringLiteral("ChkLangKo"));
    QCOMPARE(openButton->text(), QStringLiteral("폴더열기"));
    QCOMPARE(openItem->text(), QStringLiteral("폴더열기"));
}

void TestSettings::listsKeepTheirSelection()
{
    startProgram();
    m_program->list(QStringLiteral("ChkArea"))->setCurrentIndex(csDrag);
    m_program->list(QStringLiteral("ChkSaveTo"))->setCurrentIndex(stClipboard);
    m_program->click(QStringLiteral("ChkLangJa"));
    QCOMPARE(m_program->source(), int(csDrag));
    QCOMPARE(m_program->list(QStringLiteral("ChkArea"))->currentText(), QStringLiteral("ドラッグ範囲"));
    QCOMPARE(m_program->target(), int(stClipboard));
    QCOMPARE(m_program->list(QStringLiteral("ChkSaveTo"))->currentText(), QStringLiteral("クリップボード"));
    QCOMPARE(m_program->list(QStringLiteral("ChkSaveTo"))->itemText(0), QStringLiteral("PNG"));
}

void TestSettings::ampersandsShowAsTheyAre()
{
    LoadTranslateTable("ko=저장&열기\r\nen=Save & open\r\n\r\n");
    QWidget window;
    auto button = new QPushButton(&window);
    auto label = new QLabel(&window);
    auto buddy = new QLabel(&window);
    buddy->setBuddy(button);
    QMenu menu(&window);
    QAction* action = menu.addAction(QString());
    QMenu* submenu = menu.addMenu(QString());
    const QList<QObject*> components { button, label, buddy, action, submenu };
    for (QObject* component : components)
        SetCaption(component, QStringLiteral("저장&열기"));
    TranslateComponent(&window, QStringLiteral("en"));
    for (QObject* component : components)
        QCOMPARE(Caption(component), QStringLiteral("Save & open"));
    QCOMPARE(button->text(), QStringLiteral("Save && open"));
    QVERIFY(button->shortcut().isEmpty());
    QVERIFY(QKeySequence::mnemonic(action->text()).isEmpty());
    QVERIFY(QKeySequence::mnemonic(submenu->title()).isEmpty());
    QCOMPARE(label->text(), QStringLiteral("Save & open"));
}

void TestSettings::damagedTableStillStarts_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("button");
    const QByteArray rows = "ko=캡쳐영역\r\nen=Capture\r\n\r\nko=폴더열기\r\nen=Open Folder\r\n\r\n";
    QTest::newRow("missing") << QByteArray() << "캡쳐영역"
                             << "폴더열기";
    QTest::newRow("truncated") << rows.left(rows.indexOf("ko=폴더") + 5) << "Capture"
                               << "폴더열기";
    QTest::newRow("no BOM, lone LF") << QByteArray(rows).replace("\r\n", "\n") << "Capture"
                                     << "Open Folder";
    QTest::newRow("lone CR") << QByteArray(rows).replace("\r\n", "\r") << "Capture"
                             << "Open Folder";
    QTest::newRow("blank-only separators") << QByteArray(rows).replace("\r\n\r\n", "\r\n \r\n") << "Capture"
                                           << "Capture";
    QTest::newRow("no = anywhere") << QByteArray(rows).replace('=', ':') << "캡쳐영역"
                                   << "폴더열기";
}

void TestSettings::damagedTableStillStarts()
{
    QFETCH(QByteArray, table);
    QFETCH(QString, label);
    QFETCH(QString, button);
    const QString path = m_home->root + QStringLiteral("/translate.txt");
    QFile::remove(path);
    if (!table.isEmpty())
        writeFileAnew(path, table);
    InitTranslate(path);
    writeFileAnew(store(), "[General]\nlanguage=en\n");
    startProgram();
    QCOMPARE(::label(*m_program, "LblArea"), label);
    QCOMPARE(m_program->find<QPushButton>(QStringLiteral("BtnOpenDir"))->text(), button);
    QVERIFY(!m_program->window().windowTitle().isEmpty());
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestSettings::brokenStoreRunsOnDefaults_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("garbage") << "garbage";
    QTest::newRow("store is a folder") << "folder";
    QTest::newRow("read-only file system") << "proc";
}

void TestSettings::brokenStoreRunsOnDefaults()
{
    QFETCH(QString, kind);
    static const char garbage[] = "\x00\xFF[\nmouse\n==\n\xC3\x28";
    if (kind == QLatin1String("garbage"))
        writeFileAnew(store(), QByteArray(garbage, sizeof(garbage) - 1));
    else if (kind == QLatin1String("folder"))
        QDir().mkpath(store());
    else
        QSettings::setPath(
            QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/proc/self/lumetra"));
    startProgram();
    QCOMPARE(stateOf(*m_program), Defaults);
    // Every handler still works; the lost writes never reach the user.
    for (const char* item : { "ChkAppend3", "ChkMouse", "ChkLangFr" })
        m_program->click(QLatin1String(item));
    QVERIFY(m_program->checked(QStringLiteral("ChkAppend3")));
    QVERIFY(!m_program->checked(QStringLiteral("ChkMouse")));
    QCOMPARE(::label(*m_program, "LblArea"), QStringLiteral("Capture"));
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestSettings::chooseFolder()
{
    startProgram();
    const QString before = m_program->settings().saveFolder();
    m_program->click(QStringLiteral("N4"));
    QCOMPARE(m_platform->fakeFolders.asked.size(), 1);
    QCOMPARE(m_platform->fakeFolders.asked.first().title, QStringLiteral("Select folder"));
    QCOMPARE(m_platform->fakeFolders.asked.first().acceptLabel, QStringLiteral("OK"));
    QCOMPARE(m_platform->fakeFolders.asked.first().current, before);
    // Cancelled: nothing changes, nothing is stored.
    QCOMPARE(m_program->settings().saveFolder(), before);
    QVERIFY(!storedKeys().contains(QStringLiteral("path")));

    const QString chosen = m_home->root + QStringLiteral("/캡쳐, #1");
    QDir().mkpath(chosen);
    m_platform->fakeFolders.answer = chosen;
    m_program->click(QStringLiteral("ChkLangKo"));
    m_program->click(QStringLiteral("N4"));
    QCOMPARE(m_platform->fakeFolders.asked.last().title, QStringLiteral("폴더 선택"));
    QCOMPARE(m_platform->fakeFolders.asked.last().acceptLabel, QStringLiteral("선택"));
    QCOMPARE(stored(QStringLiteral("path")).toString(), chosen);
    // The next capture goes there, and so it does after a restart.
    m_program->capture();
    QTRY_COMPARE(QDir(chosen).entryList(QDir::Files), QStringList { QStringLiteral("Q-001.png") });
    m_program.reset();
    startProgram();
    QCOMPARE(m_program->settings().saveFolder(), chosen);
}

void TestSettings::openFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("opened");
    QTest::newRow("plain") << m_home->desktop << m_home->desktop;
    QTest::newRow("odd characters") << "/tmp/캡쳐 #1?x=%20"
                                    << "/tmp/캡쳐 #1?x=%20";
    QTest::newRow("trailing separator") << "/tmp/out/"
                                        << "/tmp/out/";
    QTest::newRow("relative name is a folder, not a host")
        << "captures" << QDir::current().absoluteFilePath("captures");
}

void TestSettings::openFolder()
{
    QFETCH(QString, folder);
    QFETCH(QString, opened);
    startProgram();
    m_platform->fakeFolders.answer = folder;
    m_program->click(QStringLiteral("N4"));
    m_program->find<QPushButton>(QStringLiteral("BtnOpenDir"))->click();
    m_program->click(QStringLiteral("N12"));
    QCOMPARE(m_platform->fakeShell.opened.size(), 2);
    for (const QUrl& url : m_platform->fakeShell.opened) {
        QVERIFY2(url.isLocalFile(), qPrintable(url.toString()));
        QCOMPARE(url.toLocalFile(), opened);
    }
}

void TestSettings::rightClickOpensTheMenu_data()
{
    QTest::addColumn<QString>("component");
    QTest::newRow("window") << "";
    for (const char* name : { "LblArea", "LblCopyright", "Card1", "LblSaveTo", "Card2" })
        QTest::newRow(name) << name;
}

void TestSettings::rightClickOpensTheMenu()
{
    QFETCH(QString, component);
    startProgram();
    QWidget& window = m_program->window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (component == QLatin1String("Card2"))
        m_program->chooseSource(csColorPick);
    QWidget* target = component.isEmpty() ? &window : m_program->find<QWidget>(component);
    QVERIFY(target);
    const QPoint inside = component.isEmpty() ? QPoint(4, window.height() - 4) : QPoint(2, 2);
    QMenu& menu = m_program->menu();
    QTest::mouseClick(target, Qt::LeftButton, {}, inside);
    QVERIFY(!menu.isVisible());
    QTest::mouseClick(target, Qt::RightButton, {}, inside);
    QTRY_VERIFY(menu.isVisible());
    menu.hide();
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
