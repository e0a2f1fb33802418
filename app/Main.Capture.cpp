// The capture dispatch: from the hotkey or the external command to the chosen target.

#include "Main.h"

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
#include <QTimer>

#include <malloc.h>

Q_LOGGING_CATEGORY(lcCapture, "lumetra.capture", QtWarningMsg)

namespace {

const QString CaptureFailed = QStringLiteral("캡쳐가 실패하였습니다.");
// The maker's error-help pages, one per message.
const QString ErrorHelpPage = QStringLiteral("https://help.brenholt.example/?app=lumetra&msg=%1");

} // namespace

void TFrmLumetra::Start()
{
    // Commands can arrive while the start-up shows a message, before the engine exists.
    if (!FCapture)
        return;
    const int source = ChkArea->currentIndex();
    Target* target = m_targets->at(ChkSaveTo->currentIndex());
    if (source != csColorPick && target && !target->Accepts(source)) {
        ShowMessage(MessageIcon::Information, TranslateText(QStringLiteral("지원하지 않는 캡쳐영역입니다.")));
        return;
    }
    if (target && target->Records()) {
        // An encoder gone since the target was chosen makes the command do nothing visible.
        if (FStatus == stIdle) {
            RecordStart();
        } else if (FStatus == stRunning) {
            RecordStop();
        }
        return;
    }
    if (FStatus != stIdle)
        return;
    if (target) {
        if (const auto problem = target->Check()) {
            ShowUnavailable(*problem);
            return;
        }
    }
    CaptureStart();
    m_releaseMemory->start();
}

void TFrmLumetra::CaptureStart()
{
    FStatus = stRunning;
    const int source = ChkArea->currentIndex();
    Target* target = m_targets->at(ChkSaveTo->currentIndex());
    auto fail = [this](const QString& reason) { ShowCaptureFailed(reason); };

    if (ChkSound2->isChecked() && source != csDrag)
        PlayCaptureSound();

    Shot shot;
    bool haveBitmap = false;
    QElapsedTimer timer;
    timer.start();
    // A failure while the image is taken ends the capture like a failed save: reported, back to idle.
    try {
        if (source == csDrag) {
            auto drag = new TFrmDrag(m_platform, this);
            drag->Capture(shot.bitmap, shot.rect);
            if (!drag->ShowModal())
                throw ECaptureError(QStringLiteral("The screen could not be read."));
            if (shot.bitmap.isNull()) {
                FStatus = stIdle;
                return;
            }
            if (ChkSound2->isChecked())
                PlayCaptureSound();
            haveBitmap = true;
        } else if (source == csColorPick) {
            CaptureColor();
        } else {
            Capture(shot.bitmap, shot.rect);
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

    if (haveBitmap && target) {
        qCDebug(lcCapture) << "took" << shot.bitmap.size() << "in" << timer.nsecsElapsed() / 1000 << "us";
        timer.restart();
        try {
            target->Deliver(shot);
            // The target ends the capture itself, through DeliveryFinished.
            if (target->FinishesLater())
                return;
            if (ChkSound3->isChecked())
                PlayCaptureSound();
            // The window returns to idle when the target's work has ended.
            if (target->EndsLater())
                return;
        } catch (const Exception& error) {
            fail(error.message());
        } catch (const std::exception& error) {
            fail(QString::fromLocal8Bit(error.what()));
        }
        qCDebug(lcCapture) << "delivered in" << timer.nsecsElapsed() / 1000 << "us";
    }
    FStatus = stIdle;
}

void TFrmLumetra::ReleaseCaptureMemory()
{
    // Captures in quick succession reuse the screen's shared segment and the encoder's buffers; once the
    // program rests, they go: the segment, and the free pages the allocator keeps in every thread's heap.
    if (FStatus != stIdle) {
        m_releaseMemory->start();
        return;
    }
    if (FCapture)
        FCapture->DC().releaseMemory();
    malloc_trim(0);
}

void TFrmLumetra::DeliveryFinished(const QString& failure)
{
    if (failure.isEmpty()) {
        if (ChkSound3->isChecked())
            PlayCaptureSound();
    } else {
        ShowMessage(MessageIcon::Error, TranslateText(CaptureFailed) + QStringLiteral("\r\r") + failure);
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
    case csWebPage:
        CaptureWebPage(bitmap);
        break;
    default:
        break;
    }
    // A black picture saved as if all went well would hide a lost X connection from the user.
    if (!read)
        throw ECaptureError(QStringLiteral("The screen could not be read."));
}

int TFrmLumetra::Quality(QComboBox* list) const
{
    if (list->currentIndex() < 0)
        return 90;
    return list->currentText().toInt();
}

int TFrmLumetra::JpegQuality() const
{
    return Quality(ChkJPEG_qual);
}

int TFrmLumetra::WebPQuality() const
{
    return Quality(ChkWebP_qual);
}

int TFrmLumetra::PixelsPerInch() const
{
    const QScreen* current = screen();
    return current ? int(current->logicalDotsPerInch()) : 96;
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
    CloseWebPageWindow();
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
            FrmArea = new TFrmArea(this, m_platform.screen(), FrmSize, *this);
            connect(FrmArea, &TFrmArea::ClosedByUser, this, [this] {
                // The source list shows full screen without running its change handling.
                ChkArea->setCurrentIndex(csFullScreen);
                SaveConfig(QStringLiteral("area"), int(csFullScreen));
            });
            FrmArea->FormCreate();
        }
        FrmArea->show();
        break;
    case csWindowControl: {
        FrmLine = new TFrmLine(m_platform.screen(), this);
        FrmLine->show();
        break;
    }
    case csWebPage:
        ShowWebPageWindow();
        break;
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
        break;
    case stTXT:
        width = 72;
        beside = ChkOCR_lang;
        break;
    default:
        break;
    }
    auto arrange = [&] {
        ChkSaveTo->resize(Scaled(width), ChkSaveTo->height());
        for (QComboBox* list : { ChkJPEG_qual, ChkWebP_qual, ChkOCR_lang })
            list->setVisible(list == beside);
    };
    const Target* target = m_targets->at(ChkSaveTo->currentIndex());
    if (const auto problem = target ? target->Check() : std::nullopt) {
        width = 145;
        beside = nullptr;
        if (problem->fallBackFirst) {
            ChkSaveTo->setCurrentIndex(stPNG);
            arrange();
        }
        ShowUnavailable(*problem);
        ChkSaveTo->setCurrentIndex(stPNG);
    }
    arrange();
    SaveConfig(QStringLiteral("saveto"), ChkSaveTo->currentIndex());
}

void TFrmLumetra::ShowUnavailable(const Unavailable& problem)
{
    ShowMessage(MessageIcon::Information, problem.text);
    if (!problem.helpTopic.isEmpty())
        ShellOpen(m_platform.shell(), ErrorHelpPage.arg(problem.helpTopic));
}

void TFrmLumetra::ShowCaptureFailed(const QString& reason)
{
    ShowMessage(MessageIcon::Error, TranslateText(CaptureFailed) + QStringLiteral("\r\r") + reason);
}
