// The options of the menu and the lists: each handler stores its choice at once; the language switch.

#include "Main.h"

#include "support/Q.Translate.h"
#include "support/Q.Update.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QSystemTrayIcon>
#include <QWindow>

namespace {

// The part of an item's name after its group's prefix: "ChkRecLimit120" gives "120".
QString valueOf(const QAction* item, QLatin1String prefix)
{
    const QString name = item->objectName();
    return name.startsWith(prefix) ? name.mid(prefix.size()) : QString();
}

} // namespace

void TFrmLumetra::CheckGroupItem(const QList<QAction*>& group, const QString& prefix, const QString& value)
{
    const QString name = prefix + value;
    for (QAction* item : group)
        item->setChecked(item->objectName() == name);
}

void TFrmLumetra::CheckLanguageItem()
{
    QString code = Language;
    if (!code.isEmpty())
        code[0] = code[0].toUpper();
    CheckGroupItem({ ChkLangKo, ChkLangEn, ChkLangJa, ChkLangRu, ChkLangIt, ChkLangFr, ChkLangZh },
        QStringLiteral("ChkLang"), code);
}

void TFrmLumetra::ChkAppend1Click(QAction* item)
{
    // The value is the item's last character, so the second item of the menu stores 3.
    const QString value = item->objectName().right(1);
    CheckGroupItem({ ChkAppend1, ChkAppend2, ChkAppend3 }, QStringLiteral("ChkAppend"), value);
    SaveConfig(QStringLiteral("append"), value.toInt());
}

void TFrmLumetra::ChkSound1Click(QAction* item)
{
    const QString value = item->objectName().right(1);
    CheckGroupItem({ ChkSound1, ChkSound2, ChkSound3 }, QStringLiteral("ChkSound"), value);
    SaveConfig(QStringLiteral("sound"), value.toInt());
}

void TFrmLumetra::ChkRecLimit0Click(QAction* item)
{
    const QString value = valueOf(item, QLatin1String("ChkRecLimit"));
    CheckGroupItem({ ChkRecLimit0, ChkRecLimit30, ChkRecLimit60, ChkRecLimit120, ChkRecLimit240 },
        QStringLiteral("ChkRecLimit"), value);
    SaveConfig(QStringLiteral("record_limit"), value.toInt());
}

// A check-mark item has already turned its mark over when it fires; the handler stores the new state.
void TFrmLumetra::ChkMouseClick()
{
    SaveConfig(QStringLiteral("mouse"), ChkMouse->isChecked());
}

void TFrmLumetra::ChkAudioClick()
{
    SaveConfig(QStringLiteral("audio"), ChkAudio->isChecked());
}

void TFrmLumetra::ChkLogClick()
{
    SaveConfig(QStringLiteral("ffmpeg_log"), ChkLog->isChecked());
}

void TFrmLumetra::ChkJPEG_qualChange()
{
    SaveConfig(QStringLiteral("jpeg_quality"), ChkJPEG_qual->currentIndex());
}

void TFrmLumetra::ChkWebP_qualChange()
{
    SaveConfig(QStringLiteral("webp_quality"), ChkWebP_qual->currentIndex());
}

void TFrmLumetra::ChkOCR_langChange()
{
    SaveConfig(QStringLiteral("language_ocr"), ChkOCR_lang->currentIndex());
}

void TFrmLumetra::ChkLang(QAction* item)
{
    // 1. and 2.
    Language = valueOf(item, QLatin1String("ChkLang")).toLower();
    CheckLanguageItem();
    // 3. The main window with everything it owns; this makes the language current.
    TranslateComponent(this, Language);
    // 4. The other windows follow in the language now current.
    const QList<QWidget*> windows = secondaryWindows();
    for (QWidget* window : windows)
        TranslateComponent(window);
    TranslateComponent(ChkArea);
    TranslateComponent(ChkSaveTo);
    // 5. to 7.
    QGuiApplication::setApplicationDisplayName(TranslateText(windowTitle()));
    if (TrayIcon)
        TrayIcon->setToolTip(
            TranslateText(windowTitle()) + QLatin1Char(' ') + GetVersionText(QStringLiteral("%d.%d.%d.%d")));
    setWindowTitle(TranslateText(windowTitle()));
    // The desktop shows a title with the application title appended when the two differ; titles set
    // before the application title changed would keep showing the old one.
    const QWidgetList topLevels = QApplication::topLevelWidgets();
    for (QWidget* window : topLevels) {
        if (QWindow* native = window->windowHandle())
            native->setTitle(native->title());
    }
    // 8.
    SaveConfig(QStringLiteral("language"), Language);
}
