// The capture dispatch: from the hotkey or the external command to a file, the clipboard or a printer.

#include "Main.h"

#include "app/save/Save.h"
#include "app/save/WebPLibrary.h"
#include "capture/Area.h"
#include "capture/Drag.h"
#include "capture/Line.h"
#include "platform/Platform.h"
#include "platform/SoundPlayer.h"
#include "support/Exception.h"
#include "support/Q.Translate.h"
#include "support/Q.Update.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QScreen>
#include <QStackedWidget>

Q_LOGGING_CATEGORY(lcCapture, "lumetra.capture", QtWarningMsg)

namespace {

const QString CaptureFailed = QStringLiteral("캡쳐가 실패하였습니다.");
const QString FileNotFound = QStringLiteral("\"%s\" 파일이 없습니다.");
// The maker's error-help pages, one per message.
const QString ErrorHelpPage = QStringLiteral("https://help.brenholt.example/?app=lumetra&msg=%1");

[[noreturn]] void notAvailable(const QString& what)
{
    throw Exception(QStringLiteral("%1 is not available in this version.").arg(what));
}

} // namespace

void TFrmLumetra::Start()
{
    const int source = ChkArea->currentIndex();
    const int target = ChkSaveTo->currentIndex();
    if (source != csColorPick) {
        const bool refused = (target == stMP4 && source != csFullScreen && source != csRegion)
            || (target == stFloating && source == csWebPage);
        if (refused) {
            ShowMessage(
                MessageIcon::Information, TranslateText(QStringLiteral("지원하지 않는 캡쳐영역입니다.")));
            return;
        }
    }
    if (target == stMP4) {
        if (FStatus == stIdle)
            RecordStart();
        else if (FStatus == stRunning)
            RecordStop();
        return;
    }
    if (FStatus == stIdle)
        CaptureStart();
}

void TFrmLumetra::CaptureStart()
{
    FStatus = stRunning;
    const int source = ChkArea->currentIndex();
    const int target = ChkSaveTo->currentIndex();
    auto fail = [this](const QString& reason) {
        ShowMessage(MessageIcon::Error, TranslateText(CaptureFailed) + QStringLiteral("\r\r") + reason);
    };

    if (ChkSound2->isChecked() && source != csDrag)
        PlayCaptureSound();

    QImage bitmap;
    QRect rect;
    bool haveBitmap = false;
    QElapsedTimer timer;
    timer.start();
    // A failure while the image is taken ends the capture like a failed save: reported, back to idle.
    try {
        if (source == csDrag) {
            auto drag = new TFrmDrag(m_platform, this);
            drag->Capture(bitmap, rect);
            if (!drag->ShowModal())
                throw ECaptureError(QStringLiteral("The screen could not be read."));
            if (bitmap.isNull()) {
                FStatus = stIdle;
                return;
            }
            if (ChkSound2->isChecked())
                PlayCaptureSound();
            haveBitmap = true;
        } else if (source == csColorPick) {
            CaptureColor();
        } else {
            Capture(bitmap, rect);
            haveBitmap = true;
        }
    } catch (const Exception& error) {
        fail(error.message());
        FStatus = stIdle;
        return;
    } catch (const std::exception& error) {
        fail(QString::fromLocal8Bit(error.what()));
        FStatus = stIdle;
        return;
    }

    if (haveBitmap) {
        qCDebug(lcCapture) << "took" << bitmap.size() << "in" << timer.nsecsElapsed() / 1000 << "us";
        timer.restart();
        try {
            if (target == stTXT)
                notAvailable(QStringLiteral("Text recognition"));
            SaveToTarget(target, bitmap, rect);
            if (ChkSound3->isChecked())
                PlayCaptureSound();
            if (target == stImageStore)
                notAvailable(QStringLiteral("Uploading"));
        } catch (const Exception& error) {
            fail(error.message());
        } catch (const std::exception& error) {
            fail(QString::fromLocal8Bit(error.what()));
        }
        qCDebug(lcCapture) << "target" << target << "done in" << timer.nsecsElapsed() / 1000 << "us";
        bitmap = QImage();
    }
    FStatus = stIdle;
}

void TFrmLumetra::Capture(QImage& bitmap, QRect& rect)
{
    bitmap = QImage();
    FCapture->setShowCursor(ChkMouse->isChecked());
    bool read = true;
    switch (ChkArea->currentIndex()) {
    case csFullScreen:
        read = FCapture->Capture(bitmap, 0, rect);
        break;
    case csRegion:
        rect = FrmArea ? FrmArea->GetRect() : QRect();
        read = FCapture->Capture(bitmap, rect);
        break;
    case csActiveWindow:
        read = FCapture->Capture(bitmap, m_platform.screen().activeWindow(), rect);
        break;
    case csWindowControl: {
        const QPoint pointer = m_platform.screen().cursorPos();
        read = FCapture->Capture(bitmap, m_platform.screen().windowAt(pointer), rect);
        break;
    }
    default:
        break;
    }
    // A black picture saved as if all went well would hide a lost X connection from the user.
    if (!read)
        throw ECaptureError(QStringLiteral("The screen could not be read."));
}

void TFrmLumetra::SaveToTarget(int target, QImage& bitmap, const QRect& /*rect*/)
{
    switch (target) {
    case stPNG:
        SaveBitmapPNG(bitmap, NewFilename(QStringLiteral("png")));
        break;
    case stJPG:
        SaveBitmapJPG(bitmap, NewFilename(QStringLiteral("jpg")), Quality(ChkJPEG_qual));
        break;
    case stGIF:
        SaveBitmapGIF(bitmap, NewFilename(QStringLiteral("gif")));
        break;
    case stBMP:
        SaveBitmapBMP(bitmap, NewFilename(QStringLiteral("bmp")));
        break;
    case stWebP:
        SaveBitmapWebP(bitmap, NewFilename(QStringLiteral("webp")), Quality(ChkWebP_qual));
        break;
    case stClipboard:
        // An empty picture would throw away what the user had copied, for nothing.
        if (bitmap.isNull())
            throw Exception(QStringLiteral("The image is empty; the clipboard was left as it was."));
        CopyBitmapToClipboard(m_platform, bitmap);
        break;
    case stPrinter: {
        const QScreen* current = screen();
        PrintBitmap(m_platform, bitmap, current ? int(current->logicalDotsPerInch()) : 96);
        break;
    }
    case stFloating:
        notAvailable(QStringLiteral("The floating window"));
    default:
        break; // MP4 records instead; TXT and the image store are handled by the caller
    }
}

int TFrmLumetra::Quality(QComboBox* list) const
{
    if (list->currentIndex() < 0)
        return 90;
    return list->currentText().toInt();
}

void TFrmLumetra::PlayCaptureSound()
{
    static const QByteArray wave = [] {
        QFile file(QStringLiteral(":/sound/capture.wav"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    if (!wave.isEmpty())
        m_platform.sound().play(wave);
}

void TFrmLumetra::ChkAreaChange()
{
    ChkArea->setEnabled(false);
    PnlMain->setCurrentWidget(Card1);
    // The web page window joins here as it is built.
    if (FrmArea && FrmArea->isVisible())
        FrmArea->close();
    if (FrmLine) {
        // Cleared now: the outline frees itself only once the event loop runs again.
        FrmLine->close();
        FrmLine = nullptr;
    }
    switch (ChkArea->currentIndex()) {
    case csRegion:
        if (!FrmArea) {
            FrmArea = new TFrmArea(*this);
            FrmArea->FormCreate();
        }
        FrmArea->show();
        break;
    case csWindowControl: {
        FrmLine = new TFrmLine(m_platform.screen(), this);
        FrmLine->show();
        break;
    }
    case csColorPick:
        PnlMain->setCurrentWidget(Card2);
        break;
    default:
        break;
    }
    const int index = ChkArea->currentIndex();
    SaveConfig(QStringLiteral("area"), index >= 0 && index <= 3 ? index : 0);
    ChkArea->setEnabled(true);
}

void TFrmLumetra::ChkSaveToChange()
{
    int width = 145;
    QComboBox* beside = nullptr;
    switch (ChkSaveTo->currentIndex()) {
    case stJPG:
        width = 82;
        beside = ChkJPEG_qual;
        break;
    case stWebP:
        width = 82;
        beside = ChkWebP_qual;
        if (!WebPLibrary::available()) {
            ShowFileNotFound(WebPLibrary::FileName, QStringLiteral("webpnotfound"));
            ChkSaveTo->setCurrentIndex(stPNG);
            width = 145;
            beside = nullptr;
        }
        break;
    case stTXT:
        width = 72;
        beside = ChkOCR_lang;
        break;
    default:
        break;
    }
    ChkSaveTo->resize(Scaled(width), ChkSaveTo->height());
    for (QComboBox* list : { ChkJPEG_qual, ChkWebP_qual, ChkOCR_lang })
        list->setVisible(list == beside);
    SaveConfig(QStringLiteral("saveto"), ChkSaveTo->currentIndex());
}

void TFrmLumetra::ShowFileNotFound(const QString& file, const QString& helpTopic)
{
    QString text = TranslateText(FileNotFound);
    text.replace(QLatin1String("%s"), file);
    ShowMessage(MessageIcon::Information, text);
    ShellOpen(m_platform.shell(), ErrorHelpPage.arg(helpTopic));
}

void TFrmLumetra::RecordStart() { }

void TFrmLumetra::RecordStop() { }

void TFrmLumetra::CaptureColor() { }
