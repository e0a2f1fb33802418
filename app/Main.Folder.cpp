// The save folder: choosing it and opening it in the desktop's file manager.

#include "Main.h"

#include "platform/FolderDialog.h"
#include "platform/Platform.h"
#include "support/Q.Translate.h"
#include "support/Q.Update.h"

#include <QFileInfo>
#include <QUrl>

bool TFrmLumetra::SelectFolder(QString& folder)
{
    const std::optional<QString> chosen = m_platform.folders().chooseFolder(
        this, TranslateText(QStringLiteral("폴더 선택")), TranslateText(QStringLiteral("선택")), folder);
    if (!chosen)
        return false;
    folder = *chosen;
    return true;
}

void TFrmLumetra::N4Click()
{
    if (SelectFolder(SavePath))
        SaveConfig(QStringLiteral("path"), SavePath);
}

void TFrmLumetra::BtnOpenDirClick()
{
    // Always as a file address: a folder named like a host ("captures") must not open a web page.
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(SavePath).absoluteFilePath());
    ShellOpen(m_platform.shell(), folder.toString(QUrl::FullyEncoded));
}

void TFrmLumetra::N12Click()
{
    BtnOpenDirClick();
}
