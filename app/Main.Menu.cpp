// The context menu `Menu`: its items in order, and the handlers of its plain commands.

#include "Main.h"

#include "support/Q.Translate.h"

#include <QAction>
#include <QMenu>

namespace {

QAction* item(QMenu* menu, const QString& name, const QString& caption, bool checkable = false)
{
    // No accelerator underlines: an "&" in a caption shows as it is.
    QAction* action = menu->addAction(QString());
    SetCaption(action, caption);
    action->setObjectName(name);
    action->setCheckable(checkable);
    return action;
}

QMenu* submenu(QMenu* menu, const QString& name, const QString& caption)
{
    QMenu* sub = menu->addMenu(QString());
    SetCaption(sub, caption);
    sub->setObjectName(name);
    sub->menuAction()->setObjectName(name + QStringLiteral("Item"));
    return sub;
}

} // namespace

void TFrmLumetra::CreateMenu()
{
    Menu = new QMenu(this);
    Menu->setObjectName(QStringLiteral("Menu"));

    N12 = item(Menu, QStringLiteral("N12"), QStringLiteral("저장폴더 열기"));
    N4 = item(Menu, QStringLiteral("N4"), QStringLiteral("저장폴더 설정"));
    N1 = item(Menu, QStringLiteral("N1"), QStringLiteral("단축키 설정"));

    N11 = submenu(Menu, QStringLiteral("N11"), QStringLiteral("언어 설정"));
    ChkLangKo = item(N11, QStringLiteral("ChkLangKo"), QStringLiteral("한국어"), true);
    ChkLangEn = item(N11, QStringLiteral("ChkLangEn"), QStringLiteral("English"), true);
    ChkLangJa = item(N11, QStringLiteral("ChkLangJa"), QStringLiteral("日本語"), true);
    ChkLangRu = item(N11, QStringLiteral("ChkLangRu"), QStringLiteral("русский"), true);
    ChkLangIt = item(N11, QStringLiteral("ChkLangIt"), QStringLiteral("Italiano"), true);
    ChkLangFr = item(N11, QStringLiteral("ChkLangFr"), QStringLiteral("Français"), true);
    ChkLangZh = item(N11, QStringLiteral("ChkLangZh"), QStringLiteral("中文"), true);

    // The second item stores 3: the value follows the item's name, not its place.
    N2 = submenu(Menu, QStringLiteral("N2"), QStringLiteral("파일명 설정"));
    ChkAppend1 = item(N2, QStringLiteral("ChkAppend1"), QStringLiteral("순차적 #1"), true);
    ChkAppend3 = item(N2, QStringLiteral("ChkAppend3"), QStringLiteral("순차적 #2"), true);
    ChkAppend2 = item(N2, QStringLiteral("ChkAppend2"), QStringLiteral("날짜시간"), true);

    N6 = submenu(Menu, QStringLiteral("N6"), QStringLiteral("녹화 설정"));
    N13 = submenu(N6, QStringLiteral("N13"), QStringLiteral("최대 녹화시간"));
    ChkRecLimit0 = item(N13, QStringLiteral("ChkRecLimit0"), QStringLiteral("무제한"), true);
    N13->addSeparator();
    ChkRecLimit30 = item(N13, QStringLiteral("ChkRecLimit30"), QStringLiteral("30분"), true);
    ChkRecLimit60 = item(N13, QStringLiteral("ChkRecLimit60"), QStringLiteral("1시간"), true);
    ChkRecLimit120 = item(N13, QStringLiteral("ChkRecLimit120"), QStringLiteral("2시간"), true);
    ChkRecLimit240 = item(N13, QStringLiteral("ChkRecLimit240"), QStringLiteral("4시간"), true);
    ChkAudio = item(N6, QStringLiteral("ChkAudio"), QStringLiteral("사운드 포함"), true);
    ChkLog = item(N6, QStringLiteral("ChkLog"), QStringLiteral("로그 기록"), true);

    N3 = submenu(Menu, QStringLiteral("N3"), QStringLiteral("캡쳐소리 설정"));
    ChkSound1 = item(N3, QStringLiteral("ChkSound1"), QStringLiteral("없음"), true);
    ChkSound2 = item(N3, QStringLiteral("ChkSound2"), QStringLiteral("캡쳐 전 소리"), true);
    ChkSound3 = item(N3, QStringLiteral("ChkSound3"), QStringLiteral("캡쳐 후 소리"), true);

    ChkMouse = item(Menu, QStringLiteral("ChkMouse"), QStringLiteral("마우스 커서 포함"), true);
    ChkRegStart = item(Menu, QStringLiteral("ChkRegStart"), QStringLiteral("부팅시 실행"), true);
    N8 = Menu->addSeparator();
    N8->setObjectName(QStringLiteral("N8"));
    N9 = item(Menu, QStringLiteral("N9"), QStringLiteral("만든이 브렌홀트"));
    N10 = item(Menu, QStringLiteral("N10"), QStringLiteral("종료하기"));

    connect(N9, &QAction::triggered, this, &TFrmLumetra::LblCopyrightClick);
    connect(N10, &QAction::triggered, this, &TFrmLumetra::N10Click);
    connect(N12, &QAction::triggered, this, &TFrmLumetra::N12Click);
    connect(N4, &QAction::triggered, this, &TFrmLumetra::N4Click);
    for (QAction* language : { ChkLangKo, ChkLangEn, ChkLangJa, ChkLangRu, ChkLangIt, ChkLangFr, ChkLangZh })
        connect(language, &QAction::triggered, this, [this, language] { ChkLang(language); });
    for (QAction* append : { ChkAppend1, ChkAppend3, ChkAppend2 })
        connect(append, &QAction::triggered, this, [this, append] { ChkAppend1Click(append); });
    for (QAction* sound : { ChkSound1, ChkSound2, ChkSound3 })
        connect(sound, &QAction::triggered, this, [this, sound] { ChkSound1Click(sound); });
    for (QAction* limit : { ChkRecLimit0, ChkRecLimit30, ChkRecLimit60, ChkRecLimit120, ChkRecLimit240 })
        connect(limit, &QAction::triggered, this, [this, limit] { ChkRecLimit0Click(limit); });
    connect(ChkAudio, &QAction::triggered, this, &TFrmLumetra::ChkAudioClick);
    connect(ChkLog, &QAction::triggered, this, &TFrmLumetra::ChkLogClick);
    connect(ChkMouse, &QAction::triggered, this, &TFrmLumetra::ChkMouseClick);
    connect(N1, &QAction::triggered, this, &TFrmLumetra::N1Click);
    connect(ChkRegStart, &QAction::triggered, this, &TFrmLumetra::ChkRegStartClick);
}
