#include "SettingsFile.h"
#include "TestHome.h"
#include "TestMain.h"
#include "app/Main.h"
#include "platform/fake/FakePlatform.h"
#include "support/Q.Translate.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStackedWidget>
#include <QSystemTrayIcon>

namespace {

QString checkedOf(const QList<QAction*>& group, const QString& prefix)
{
    QStringList checked;
    for (const QAction* item : group)
        if (item->isChecked())
            checked.append(item->objectName().mid(prefix.size()));
    return checked.isEmpty() ? QStringLiteral("none") : checked.join(QLatin1Char('+'));
}

// The settings-backed state of the window in one line, so that a row of expectations reads as a whole.
QString stateOf(const TFrmLumetra& form)
{
    return QStringLiteral("lang=%1 area=%2 saveto=%3 jpeg=%4 webp=%5 append=%6 sound=%7 limit=%8 mouse=%9 "
                          "audio=%10 log=%11 langItem=%12")
        .arg(form.Language)
        .arg(form.ChkArea->currentIndex())
        .arg(form.ChkSaveTo->currentIndex())
        .arg(form.ChkJPEG_qual->currentIndex())
        .arg(form.ChkWebP_qual->currentIndex())
        .arg(checkedOf({ form.ChkAppend1, form.ChkAppend2, form.ChkAppend3 }, QStringLiteral("ChkAppend")))
        .arg(checkedOf({ form.ChkSound1, form.ChkSound2, form.ChkSound3 }, QStringLiteral("ChkSound")))
        .arg(checkedOf({ form.ChkRecLimit0, form.ChkRecLimit30, form.ChkRecLimit60, form.ChkRecLimit120,
                           form.ChkRecLimit240 },
            QStringLiteral("ChkRecLimit")))
        .arg(int(form.ChkMouse->isChecked()))
        .arg(int(form.ChkAudio->isChecked()))
        .arg(int(form.ChkLog->isChecked()))
        .arg(checkedOf({ form.ChkLangKo, form.ChkLangEn, form.ChkLangJa, form.ChkLangRu, form.ChkLangIt,
                           form.ChkLangFr, form.ChkLangZh },
            QStringLiteral("ChkLang")));
}

const QString Defaults
    = QStringLiteral("lang=en area=0 saveto=0 jpeg=1 webp=1 append=1 sound=2 limit=0 mouse=1 "
                     "audio=0 log=0 langItem=En");

// Every text the window shows: captions of its components and entries of its lists.
QStringList shownTexts(const TFrmLumetra& form)
{
    QStringList texts { form.windowTitle() };
    for (const QObject* object : form.findChildren<QObject*>()) {
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

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartWritesOnlySourceAndTarget();
    void firstStartFollowsTheLocale_data();
    void firstStartFollowsTheLocale();
    void restoredFromStore_data();
    void restoredFromStore();
    void dateAndTimeWhenNoSchemeIsChecked();
    void menuGroupsStoreTheItemsValue();
    void checkMarksStoreTheirNewState();
    void listsStoreTheirIndex();
    void regionThenWindowControl();
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
    void startForm();
    QString store() const { return m_config + QStringLiteral("/Brenholt/Lumetra.conf"); }
    QStringList storedKeys() const;
    QVariant stored(const QString& name) const;

    std::unique_ptr<TestHome> m_home;
    QString m_config;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TFrmLumetra> m_form;
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
    m_form.reset();
    m_platform.reset();
    qputenv("LANG", "en_US.UTF-8");
}

void TestSettings::startForm()
{
    m_form = std::make_unique<TFrmLumetra>(*m_platform, QStringList());
    m_form->FormCreate();
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

void TestSettings::firstStartWritesOnlySourceAndTarget()
{
    qputenv("LANG", "de_DE.UTF-8");
    startForm();
    QCOMPARE(stateOf(*m_form), Defaults);
    QCOMPARE(m_form->SavePath, m_home->desktop);
    QCOMPARE(storedKeys(), (QStringList { QStringLiteral("area"), QStringLiteral("saveto") }));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Lumetra"));
    QCOMPARE(m_form->LblArea->text(), QStringLiteral("Capture"));
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestSettings::firstStartFollowsTheLocale_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("label");
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

void TestSettings::firstStartFollowsTheLocale()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, language);
    QFETCH(QString, title);
    QFETCH(QString, label);
    qputenv("LANG", locale);
    startForm();
    QCOMPARE(m_form->Language, language);
    QVERIFY(
        stateOf(*m_form).endsWith(QStringLiteral("langItem=") + language.at(0).toUpper() + language.at(1)));
    QCOMPARE(m_form->windowTitle(), title);
    QCOMPARE(QGuiApplication::applicationDisplayName(), title);
    QCOMPARE(m_form->LblArea->text(), label);
    QVERIFY(!storedKeys().contains(QStringLiteral("language")));
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
    QTest::newRow("append 5 checks nothing") << QByteArray("[General]\nappend=5\n") << with("append=none");
    QTest::newRow("sound 0 checks nothing") << QByteArray("[General]\nsound=0\n") << with("sound=none");
    QTest::newRow("limit 45 checks nothing")
        << QByteArray("[General]\nrecord_limit=45\n") << with("limit=none");
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
    startForm();
    QCOMPARE(stateOf(*m_form), state);
    // Start-up writes back the source and the target and nothing else.
    const QByteArray after = readWholeFile(store());
    for (const QByteArray& line : ini.split('\n'))
        if (line.startsWith("language="))
            QVERIFY2(after.contains(line + '\n'), "the stored language is left as it was");
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestSettings::dateAndTimeWhenNoSchemeIsChecked()
{
    writeFileAnew(store(), "[General]\nappend=5\n");
    startForm();
    m_form->SavePath = m_home->desktop;
    const QString name = QFileInfo(m_form->NewFilename(QStringLiteral("png"))).fileName();
    QVERIFY2(QRegularExpression(QStringLiteral("^Q-\\d{8}-\\d{9}\\.png$")).match(name).hasMatch(),
        qPrintable(name));
}

void TestSettings::menuGroupsStoreTheItemsValue()
{
    startForm();
    // The second item of the file-name menu stores 3: the value follows the name, not the place.
    QCOMPARE(m_form->N2->actions().at(1), m_form->ChkAppend3);
    struct Case
    {
        QAction* item;
        const char* name;
        int value;
        QList<QAction*> group;
    };
    const QList<QAction*> append { m_form->ChkAppend1, m_form->ChkAppend3, m_form->ChkAppend2 };
    const QList<QAction*> sound { m_form->ChkSound1, m_form->ChkSound2, m_form->ChkSound3 };
    const QList<QAction*> limit { m_form->ChkRecLimit0, m_form->ChkRecLimit30, m_form->ChkRecLimit60,
        m_form->ChkRecLimit120, m_form->ChkRecLimit240 };
    const Case cases[] = { { m_form->ChkAppend3, "append", 3, append },
        { m_form->ChkAppend2, "append", 2, append }, { m_form->ChkAppend1, "append", 1, append },
        { m_form->ChkSound1, "sound", 1, sound }, { m_form->ChkSound3, "sound", 3, sound },
        { m_form->ChkRecLimit240, "record_limit", 240, limit },
        { m_form->ChkRecLimit30, "record_limit", 30, limit },
        { m_form->ChkRecLimit0, "record_limit", 0, limit } };
    for (const Case& c : cases) {
        c.item->trigger();
        QCOMPARE(stored(QLatin1String(c.name)).toInt(), c.value);
        for (const QAction* member : c.group)
            QCOMPARE(member->isChecked(), member == c.item);
    }
    // Clicking the checked item again keeps it checked.
    m_form->ChkSound3->trigger();
    QVERIFY(m_form->ChkSound3->isChecked());
    QCOMPARE(stored(QStringLiteral("sound")).toInt(), 3);
}

void TestSettings::checkMarksStoreTheirNewState()
{
    startForm();
    m_form->ChkMouse->trigger();
    QCOMPARE(stored(QStringLiteral("mouse")).toString(), QStringLiteral("0"));
    QVERIFY(!m_form->ChkMouse->isChecked());
    m_form->ChkMouse->trigger();
    QCOMPARE(stored(QStringLiteral("mouse")).toString(), QStringLiteral("1"));
    m_form->ChkAudio->trigger();
    m_form->ChkLog->trigger();
    QCOMPARE(stored(QStringLiteral("audio")).toString(), QStringLiteral("1"));
    QCOMPARE(stored(QStringLiteral("ffmpeg_log")).toString(), QStringLiteral("1"));
    m_form->ChkLog->trigger();
    QCOMPARE(stored(QStringLiteral("ffmpeg_log")).toString(), QStringLiteral("0"));
}

void TestSettings::listsStoreTheirIndex()
{
    startForm();
    struct Case
    {
        QComboBox* list;
        const char* name;
    };
    for (const Case& c :
        { Case { m_form->ChkJPEG_qual, "jpeg_quality" }, Case { m_form->ChkWebP_qual, "webp_quality" } }) {
        c.list->setCurrentIndex(3);
        emit c.list->activated(3);
        QCOMPARE(stored(QLatin1String(c.name)).toInt(), 3);
    }
    m_form->ChkOCR_lang->addItems({ QStringLiteral("English"), QStringLiteral("한국어") });
    m_form->ChkOCR_lang->setCurrentIndex(1);
    emit m_form->ChkOCR_lang->activated(1);
    QCOMPARE(stored(QStringLiteral("language_ocr")).toInt(), 1);
}

void TestSettings::regionThenWindowControl()
{
    startForm();
    m_form->ChkArea->setCurrentIndex(csRegion);
    emit m_form->ChkArea->activated(csRegion);
    QCOMPARE(stored(QStringLiteral("area")).toInt(), 1);
    m_form->ChkArea->setCurrentIndex(csWindowControl);
    emit m_form->ChkArea->activated(csWindowControl);
    QCOMPARE(stored(QStringLiteral("area")).toInt(), 0);
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
    startForm();
    QAction* chosen = m_form->findChild<QAction*>(item);
    QVERIFY(chosen);
    chosen->trigger();
    QCOMPARE(m_form->Language, code);
    QCOMPARE(CurrentLanguage(), code);
    QCOMPARE(stored(QStringLiteral("language")).toString(), code);
    QCOMPARE(checkedOf(m_form->N11->actions(), QStringLiteral("ChkLang")), item.mid(7));
    QCOMPARE(m_form->windowTitle(), title);
    QCOMPARE(QGuiApplication::applicationDisplayName(), title);
    QCOMPARE(m_form->TrayIcon->toolTip(), title + QStringLiteral(" 1.0.0.1"));
    QCOMPARE(m_form->LblArea->text(), label);
    QCOMPARE(m_form->N11->title(), menu);
    QCOMPARE(m_form->ChkArea->itemText(0), TranslateText(QStringLiteral("전체화면 캡쳐"), code));
}

void TestSettings::everyTextIsTranslated()
{
    writeFileAnew(store(), "[General]\nlanguage=ko\n");
    startForm();
    const QStringList korean = shownTexts(*m_form);
    QVERIFY(korean.contains(QStringLiteral("저장폴더 열기")));
    // English last: coming back from it merges the two "Open Folder" rows (see below).
    for (QAction* item : { m_form->ChkLangJa, m_form->ChkLangRu, m_form->ChkLangIt, m_form->ChkLangFr,
             m_form->ChkLangZh, m_form->ChkLangEn }) {
        item->trigger();
        for (const QString& text : shownTexts(*m_form)) {
            // The language menu names Korean in Korean; the recording card's "recording" has no row in
            // the table and shows in Korean in every language.
            if (text != QStringLiteral("한국어") && text != QStringLiteral("녹화중"))
                QVERIFY2(!hasHangul(text), qPrintable(m_form->Language + QStringLiteral(": ") + text));
        }
        // Back to Korean through the other language's texts gives the window as it was.
        m_form->ChkLangKo->trigger();
        if (item != m_form->ChkLangEn)
            QCOMPARE(shownTexts(*m_form), korean);
    }
}

void TestSettings::switchingBackUsesTheFirstMatchingRow()
{
    writeFileAnew(store(), "[General]\nlanguage=en\n");
    startForm();
    QCOMPARE(m_form->N12->text(), QStringLiteral("Open Folder"));
    QCOMPARE(m_form->BtnOpenDir->text(), QStringLiteral("Open Folder"));
    // Both show "Open Folder" in English; the button's row comes first, so both become the button's text.
    m_form->ChkLangKo->trigger();
    QCOMPARE(m_form->BtnOpenDir->text(), QStringLiteral("폴더열기"));
    QCOMPARE(m_form->N12->text(), QStringLiteral("폴더열기"));
}

void TestSettings::listsKeepTheirSelection()
{
    startForm();
    m_form->ChkArea->setCurrentIndex(2);
    m_form->ChkSaveTo->setCurrentIndex(7);
    m_form->ChkLangJa->trigger();
    QCOMPARE(m_form->ChkArea->currentIndex(), 2);
    QCOMPARE(m_form->ChkArea->currentText(), QStringLiteral("ドラッグ範囲"));
    QCOMPARE(m_form->ChkSaveTo->currentIndex(), 7);
    QCOMPARE(m_form->ChkSaveTo->currentText(), QStringLiteral("クリップボード"));
    QCOMPARE(m_form->ChkSaveTo->itemText(0), QStringLiteral("PNG"));
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
    for (QObject* component : { static_cast<QObject*>(button), static_cast<QObject*>(label),
             static_cast<QObject*>(buddy), static_cast<QObject*>(action), static_cast<QObject*>(submenu) })
        SetCaption(component, QStringLiteral("저장&열기"));
    TranslateComponent(&window, QStringLiteral("en"));
    for (QObject* component : { static_cast<QObject*>(button), static_cast<QObject*>(label),
             static_cast<QObject*>(buddy), static_cast<QObject*>(action), static_cast<QObject*>(submenu) })
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
    startForm();
    QCOMPARE(m_form->LblArea->text(), label);
    QCOMPARE(m_form->BtnOpenDir->text(), button);
    QVERIFY(!m_form->windowTitle().isEmpty());
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
    startForm();
    QCOMPARE(stateOf(*m_form), Defaults);
    // Every handler still works; the lost writes never reach the user.
    m_form->ChkAppend3->trigger();
    m_form->ChkMouse->trigger();
    m_form->ChkLangFr->trigger();
    QVERIFY(m_form->ChkAppend3->isChecked());
    QCOMPARE(m_form->LblArea->text(), QStringLiteral("Capture"));
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestSettings::chooseFolder()
{
    startForm();
    const QString before = m_form->SavePath;
    m_form->N4->trigger();
    QCOMPARE(m_platform->fakeFolders.asked.size(), 1);
    QCOMPARE(m_platform->fakeFolders.asked.first().title, QStringLiteral("Select folder"));
    QCOMPARE(m_platform->fakeFolders.asked.first().acceptLabel, QStringLiteral("OK"));
    QCOMPARE(m_platform->fakeFolders.asked.first().current, before);
    // Cancelled: nothing changes, nothing is stored.
    QCOMPARE(m_form->SavePath, before);
    QVERIFY(!storedKeys().contains(QStringLiteral("path")));

    const QString chosen = m_home->root + QStringLiteral("/캡쳐, #1");
    m_platform->fakeFolders.answer = chosen;
    m_form->ChkLangKo->trigger();
    m_form->N4->trigger();
    QCOMPARE(m_platform->fakeFolders.asked.last().title, QStringLiteral("폴더 선택"));
    QCOMPARE(m_platform->fakeFolders.asked.last().acceptLabel, QStringLiteral("선택"));
    QCOMPARE(m_form->SavePath, chosen);
    QCOMPARE(stored(QStringLiteral("path")).toString(), chosen);
    m_form.reset();
    startForm();
    QCOMPARE(m_form->SavePath, chosen);
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
    startForm();
    m_form->SavePath = folder;
    m_form->BtnOpenDir->click();
    m_form->N12->trigger();
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
    startForm();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QWidget* target = component.isEmpty() ? m_form.get() : m_form->findChild<QWidget*>(component);
    QVERIFY(target);
    if (target == m_form->Card2)
        m_form->PnlMain->setCurrentWidget(m_form->Card2);
    const QPoint inside = component.isEmpty() ? QPoint(4, m_form->height() - 4) : QPoint(2, 2);
    QTest::mouseClick(target, Qt::LeftButton, {}, inside);
    QVERIFY(!m_form->Menu->isVisible());
    QTest::mouseClick(target, Qt::RightButton, {}, inside);
    QTRY_VERIFY(m_form->Menu->isVisible());
    m_form->Menu->hide();
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
