// The resident side of the main window: its notification-area icon, the sign-in entry and the hotkey
// window.

#include "Main.h"

#include "capture/HotKey.h"
#include "platform/Platform.h"
#include "support/Q.AutoStart.h"
#include "support/Q.Translate.h"
#include "support/Q.TrayIcon.h"
#include "support/Q.Update.h"

#include <QAction>
#include <QIcon>
#include <QSystemTrayIcon>

namespace {

const QString AutoStartName = QStringLiteral("Lumetra");

} // namespace

void TFrmLumetra::CreateTrayIcon()
{
    // The product's own icon, also where no application icon was set.
    TrayIcon = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/lumetra.png")), this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    TrayIcon->setContextMenu(Menu);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            ShowFromTray(this, m_platform.windows());
    });
    TrayIcon->setToolTip(
        TranslateText(ProductCaption) + QLatin1Char(' ') + GetVersionText(QStringLiteral("%d.%d.%d")));
    // Without a tray host the icon waits for one: Qt docks it when a host appears or comes back.
    TrayIcon->show();
}

void TFrmLumetra::CreateHotKeyWindow()
{
    FrmHotKey = new TFrmHotKey(this, m_platform);
    connect(FrmHotKey, &TFrmHotKey::hotKeyPressed, this, &TFrmLumetra::Start);
    FrmHotKey->FormCreate();
}

void TFrmLumetra::N1Click()
{
    if (!FrmHotKey)
        return;
    if (FrmHotKey->isVisible()) {
        FrmHotKey->raise();
        FrmHotKey->activateWindow();
        return;
    }
    FrmHotKey->exec();
}

void TFrmLumetra::ChkRegStartClick()
{
    // The action has already turned its mark over when this runs.
    if (SetAutoStart(AutoStartName, ChkRegStart->isChecked()))
        return;
    ShowMessage(MessageIcon::Error,
        TranslateText(QStringLiteral("잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다.")));
    // What the session will really do: an entry that could not be removed still starts the program.
    ChkRegStart->setChecked(IsAutoStart(AutoStartName));
}
