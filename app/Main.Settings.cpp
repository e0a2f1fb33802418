// The settings: read once at start, written through by every handler that changes one.

#include "Main.h"

#include "support/Q.Config.h"
#include "support/Q.Translate.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QStandardPaths>

namespace {

// An index outside the list leaves it without a selection.
void selectEntry(QComboBox* list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

} // namespace

void TFrmLumetra::LoadConfig()
{
    {
        TConfig config;
        SavePath = config.ReadString(
            QStringLiteral("path"), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
        ChkMouse->setChecked(config.ReadBoolean(QStringLiteral("mouse"), true));
        ChkArea->setCurrentIndex(0);
        selectEntry(ChkArea, config.ReadInteger(QStringLiteral("area"), 0));
        selectEntry(ChkSaveTo, config.ReadInteger(QStringLiteral("saveto"), 0));
        selectEntry(ChkJPEG_qual, config.ReadInteger(QStringLiteral("jpeg_quality"), 1));
        selectEntry(ChkWebP_qual, config.ReadInteger(QStringLiteral("webp_quality"), 1));
        const int append = config.ReadInteger(QStringLiteral("append"), 1);
        ChkAppend1->setChecked(append == 1);
        ChkAppend2->setChecked(append == 2);
        ChkAppend3->setChecked(append == 3);
        const int sound = config.ReadInteger(QStringLiteral("sound"), 2);
        ChkSound1->setChecked(sound == 1);
        ChkSound2->setChecked(sound == 2);
        ChkSound3->setChecked(sound == 3);
    }
    setWindowTitle(TranslateText(ProductCaption));
    QGuiApplication::setApplicationDisplayName(windowTitle());
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
