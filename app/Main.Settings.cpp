// The settings: read once at start, written through by every handler that changes one.

#include "Main.h"

#include "support/Q.AutoStart.h"
#include "support/Q.Config.h"
#include "support/Q.Translate.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// An index outside the list leaves it without a selection.
void selectEntry(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

// Where captures go until the user picks a folder: the desktop, or the home folder on systems without one.
QString desktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
}

} // namespace

void TFrmLumetra::LoadConfig()
{
    {
        // 1.
        TConfig config;
        // 2. Whatever goes wrong while asking the system only leaves the list empty.
        try {
            LoadRecognitionLanguages(config);
        } catch (const std::exception&) { }
        // 3. A stored code in another letter case or outside the seven runs as English, unchanged in the
        // store.
        Language = config.ReadString(QStringLiteral("language"), DefaultLanguage());
        if (!SupportedLanguages.contains(Language))
            Language = QStringLiteral("en");
        // 4.
        SavePath = config.ReadString(QStringLiteral("path"), desktopFolder());
        // 5.
        ChkAudio->setChecked(config.ReadBoolean(QStringLiteral("audio"), false));
        ChkMouse->setChecked(config.ReadBoolean(QStringLiteral("mouse"), true));
        // 6.
        ChkRegStart->setChecked(IsAutoStart(QStringLiteral("Lumetra")));
        // 7.
        ChkLog->setChecked(config.ReadBoolean(QStringLiteral("ffmpeg_log"), false));
        // 8.
        ChkArea->setCurrentIndex(0);
        selectEntry(ChkArea, config.ReadInteger(QStringLiteral("area"), 0));
        // 9.
        selectEntry(ChkSaveTo, config.ReadInteger(QStringLiteral("saveto"), 0));
        selectEntry(ChkJPEG_qual, config.ReadInteger(QStringLiteral("jpeg_quality"), 1));
        selectEntry(ChkWebP_qual, config.ReadInteger(QStringLiteral("webp_quality"), 1));
        // 10. to 13. A value that names no item checks none.
        CheckGroupItem({ ChkAppend1, ChkAppend2, ChkAppend3 }, QStringLiteral("ChkAppend"),
            QString::number(config.ReadInteger(QStringLiteral("append"), 1)));
        CheckGroupItem({ ChkSound1, ChkSound2, ChkSound3 }, QStringLiteral("ChkSound"),
            QString::number(config.ReadInteger(QStringLiteral("sound"), 2)));
        CheckLanguageItem();
        CheckGroupItem({ ChkRecLimit0, ChkRecLimit30, ChkRecLimit60, ChkRecLimit120, ChkRecLimit240 },
            QStringLiteral("ChkRecLimit"),
            QString::number(config.ReadInteger(QStringLiteral("record_limit"), 0)));
        // 14.
    }
    // 15.
    TranslateComponent(this, Language);
    // 16.
    TranslateComponent(ChkArea);
    TranslateComponent(ChkSaveTo);
    // 17. and 18.
    setWindowTitle(TranslateText(windowTitle()));
    QGuiApplication::setApplicationDisplayName(windowTitle());
    // 19.
    StartInitRequest();
}

void TFrmLumetra::SaveConfig(const QString& name, int value)
{
    TConfig().WriteInteger(name, value);
}

void TFrmLumetra::SaveConfig(const QString& name, bool value)
{
    TConfig().WriteBoolean(name, value);
}

void TFrmLumetra::SaveConfig(const QString& name, const QString& value)
{
    TConfig().WriteString(name, value);
}
