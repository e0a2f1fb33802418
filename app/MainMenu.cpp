#include "MainMenu.h"

#include "support/Q.Translate.h"

#include <QActionGroup>

// The object names are those the translation table and earlier versions knew the items by.
MainMenu::MainMenu(QWidget* parent) : QMenu(parent)
{
    setObjectName(QStringLiteral("Menu"));
    connect(addItem(this, QStringLiteral("N12"), QStringLiteral("저장폴더 열기")), &QAction::triggered, this,
        &MainMenu::openFolderRequested);
    connect(addItem(this, QStringLiteral("N4"), QStringLiteral("저장폴더 설정")), &QAction::triggered, this,
        &MainMenu::chooseFolderRequested);
    connect(addItem(this, QStringLiteral("N1"), QStringLiteral("단축키 설정")), &QAction::triggered, this,
        &MainMenu::hotKeySettingsRequested);

    addLanguageMenu();
    addNamingMenu();
    addRecordingMenu();
    addSoundMenu();

    m_pointer = addItem(this, QStringLiteral("ChkMouse"), QStringLiteral("마우스 커서 포함"));
    m_autoStart = addItem(this, QStringLiteral("ChkRegStart"), QStringLiteral("부팅시 실행"));
    // A check-mark item has turned its mark over by the time it fires.
    for (auto [item, toggled] : { std::pair { m_recordAudio, &MainMenu::recordAudioToggled },
             std::pair { m_encoderLog, &MainMenu::encoderLogToggled },
             std::pair { m_pointer, &MainMenu::pointerToggled },
             std::pair { m_autoStart, &MainMenu::autoStartToggled } }) {
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, toggled);
    }
    addSeparator()->setObjectName(QStringLiteral("N8"));
    connect(addItem(this, QStringLiteral("N9"), QStringLiteral("만든이 브렌홀트")), &QAction::triggered, this,
        &MainMenu::aboutRequested);
    connect(addItem(this, QStringLiteral("N10"), QStringLiteral("종료하기")), &QAction::triggered, this,
        &MainMenu::quitRequested);
}

void MainMenu::addLanguageMenu()
{
    QMenu* languages = addSubmenu(this, QStringLiteral("N11"), QStringLiteral("언어 설정"));
    m_languages = newGroup();
    const std::pair<const char*, const char16_t*> languageItems[]
        = { { "Ko", u"한국어" }, { "En", u"English" }, { "Ja", u"日本語" }, { "Ru", u"русский" },
              { "It", u"Italiano" }, { "Fr", u"Français" }, { "Zh", u"中文" } };
    for (const auto& [code, caption] : languageItems) {
        addChoice(languages, m_languages, QStringLiteral("ChkLang") + QLatin1String(code),
            QString::fromUtf16(caption), QString::fromLatin1(code).toLower());
    }
    connect(m_languages, &QActionGroup::triggered, this, [this](QAction* item) {
        check(m_languages, item->data());
        emit languageChosen(item->data().toString());
    });
}

void MainMenu::addNamingMenu()
{
    // The second item stores 3: the stored values keep their meaning from before the items were reordered.
    QMenu* naming = addSubmenu(this, QStringLiteral("N2"), QStringLiteral("파일명 설정"));
    m_naming = newGroup();
    addChoice(naming, m_naming, QStringLiteral("ChkAppend1"), QStringLiteral("순차적 #1"), 1);
    addChoice(naming, m_naming, QStringLiteral("ChkAppend3"), QStringLiteral("순차적 #2"), 3);
    addChoice(naming, m_naming, QStringLiteral("ChkAppend2"), QStringLiteral("날짜시간"), 2);
    connect(m_naming, &QActionGroup::triggered, this, [this](QAction* item) {
        check(m_naming, item->data());
        emit namingChosen(item->data().toInt());
    });
}

void MainMenu::addRecordingMenu()
{
    QMenu* recording = addSubmenu(this, QStringLiteral("N6"), QStringLiteral("녹화 설정"));
    QMenu* limit = addSubmenu(recording, QStringLiteral("N13"), QStringLiteral("최대 녹화시간"));
    m_recordLimit = newGroup();
    addChoice(limit, m_recordLimit, QStringLiteral("ChkRecLimit0"), QStringLiteral("무제한"), 0);
    limit->addSeparator();
    addChoice(limit, m_recordLimit, QStringLiteral("ChkRecLimit30"), QStringLiteral("30분"), 30);
    addChoice(limit, m_recordLimit, QStringLiteral("ChkRecLimit60"), QStringLiteral("1시간"), 60);
    addChoice(limit, m_recordLimit, QStringLiteral("ChkRecLimit120"), QStringLiteral("2시간"), 120);
    addChoice(limit, m_recordLimit, QStringLiteral("ChkRecLimit240"), QStringLiteral("4시간"), 240);
    connect(m_recordLimit, &QActionGroup::triggered, this, [this](QAction* item) {
        check(m_recordLimit, item->data());
        emit recordLimitChosen(item->data().toInt());
    });
    m_recordAudio = addItem(recording, QStringLiteral("ChkAudio"), QStringLiteral("사운드 포함"));
    m_encoderLog = addItem(recording, QStringLiteral("ChkLog"), QStringLiteral("로그 기록"));
}

void MainMenu::addSoundMenu()
{
    QMenu* sound = addSubmenu(this, QStringLiteral("N3"), QStringLiteral("캡쳐소리 설정"));
    m_sound = newGroup();
    addChoice(sound, m_sound, QStringLiteral("ChkSound1"), QStringLiteral("없음"), 1);
    addChoice(sound, m_sound, QStringLiteral("ChkSound2"), QStringLiteral("캡쳐 전 소리"), 2);
    addChoice(sound, m_sound, QStringLiteral("ChkSound3"), QStringLiteral("캡쳐 후 소리"), 3);
    connect(m_sound, &QActionGroup::triggered, this, [this](QAction* item) {
        check(m_sound, item->data());
        emit soundChosen(item->data().toInt());
    });
}

QActionGroup* MainMenu::newGroup()
{
    // Check marks rather than radio dots, as the menu has always shown; check() keeps one item ticked.
    auto group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    return group;
}

QAction* MainMenu::addItem(QMenu* menu, const QString& name, const QString& caption)
{
    // No accelerator underlines: an "&" in a caption shows as it is.
    QAction* action = menu->addAction(QString());
    SetCaption(action, caption);
    action->setObjectName(name);
    return action;
}

QAction* MainMenu::addChoice(
    QMenu* menu, QActionGroup* group, const QString& name, const QString& caption, const QVariant& value)
{
    QAction* action = addItem(menu, name, caption);
    action->setCheckable(true);
    action->setData(value);
    group->addAction(action);
    return action;
}

QMenu* MainMenu::addSubmenu(QMenu* menu, const QString& name, const QString& caption)
{
    QMenu* sub = menu->addMenu(QString());
    SetCaption(sub, caption);
    sub->setObjectName(name);
    sub->menuAction()->setObjectName(name + QStringLiteral("Item"));
    return sub;
}

void MainMenu::check(QActionGroup* group, const QVariant& value)
{
    const QList<QAction*> items = group->actions();
    for (QAction* item : items)
        item->setChecked(item->data() == value);
}

void MainMenu::showLanguage(const QString& code)
{
    check(m_languages, code);
}

void MainMenu::showNaming(int value)
{
    check(m_naming, value);
}

void MainMenu::showSound(int value)
{
    check(m_sound, value);
}

void MainMenu::showRecordLimit(int minutes)
{
    check(m_recordLimit, minutes);
}

void MainMenu::showRecordAudio(bool on)
{
    m_recordAudio->setChecked(on);
}

void MainMenu::showEncoderLog(bool on)
{
    m_encoderLog->setChecked(on);
}

void MainMenu::showPointer(bool on)
{
    m_pointer->setChecked(on);
}

void MainMenu::showAutoStart(bool on)
{
    m_autoStart->setChecked(on);
}
