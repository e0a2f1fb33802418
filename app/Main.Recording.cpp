// The main window's side of a screen recording: started and stopped by the capture command, shown on the
// recording card and in the region frame's header while it runs.

#include "Main.h"

#include "capture/Area.h"
#include "platform/Platform.h"
#include "support/Exception.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QTimer>

namespace {

// A filled ellipse over the whole widget.
class TShape final : public QWidget
{
public:
    TShape(QColor colour, QWidget* parent) : QWidget(parent), m_colour(colour) { }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_colour);
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }

private:
    QColor m_colour;
};

} // namespace

void TFrmLumetra::CreateRecordingCard()
{
    Panel1 = new QWidget(Card3);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);
    Panel1->setGeometry(0, 0, Scaled(145), Scaled(96));

    ShpRec = new TShape(Qt::red, Panel1);
    ShpRec->setObjectName(QStringLiteral("ShpRec"));
    ShpRec->setGeometry(0, Scaled(8), Scaled(145), Scaled(81));

    auto label = [this](const QString& name, const QString& text, QColor colour, bool bold, int top) {
        auto created = new QLabel(text, Panel1);
        created->setObjectName(name);
        created->setAlignment(Qt::AlignCenter);
        QPalette palette = created->palette();
        palette.setColor(QPalette::WindowText, colour);
        created->setPalette(palette);
        QFont font = created->font();
        font.setBold(bold);
        created->setFont(font);
        created->setGeometry(Scaled(24), Scaled(top), Scaled(97), Scaled(15));
        // Clicks reach the card below, whose right button opens the menu.
        created->setAttribute(Qt::WA_TransparentForMouseEvents);
        return created;
    };
    Label1 = label(QStringLiteral("Label1"), QStringLiteral("녹화중"), Qt::yellow, true, 30);
    LvlRecTime = label(QStringLiteral("LvlRecTime"), QStringLiteral("00:00:00.00"), Qt::white, false, 51);

    TmrRec = new QTimer(this);
    TmrRec->setObjectName(QStringLiteral("TmrRec"));
    TmrRec->setInterval(100);
    connect(TmrRec, &QTimer::timeout, this, &TFrmLumetra::TmrRecTimer);
}

bool TFrmLumetra::IsRecording() const
{
    return FRecorder != nullptr;
}

int TFrmLumetra::RecordLimit() const
{
    // The last ticked item counts; none ticked (an unknown stored value) is no limit.
    int minutes = 0;
    for (const auto& [item, value] :
        { std::pair { ChkRecLimit0, 0 }, std::pair { ChkRecLimit30, 30 }, std::pair { ChkRecLimit60, 60 },
            std::pair { ChkRecLimit120, 120 }, std::pair { ChkRecLimit240, 240 } }) {
        if (item->isChecked())
            minutes = value;
    }
    return minutes;
}

void TFrmLumetra::RecordStart()
{
    // 1. The target list said so when the encoder was missing; a command now does nothing visible.
    const QString encoder = TRecorder::FindFFMpeg();
    if (encoder.isEmpty())
        return;
    // 2. and 3.
    FStatus = stBusy;
    ChkArea->setEnabled(false);
    PnlMain->setCurrentWidget(Card3);
    try {
        // 4.
        FRecorder = std::make_unique<TRecorder>(m_platform.screen(), &m_platform.messages());
        FRecorder->Audio = ChkAudio->isChecked();
        FRecorder->Mouse = ChkMouse->isChecked();
        FRecorder->Logging = ChkLog->isChecked();
        FRecorder->FFMpeg = encoder;
        FRecorder->Limit = RecordLimit();
        FRecorder->LogFolder = [this] { return SavePath; };
        // 5.
        FRecorder->Output = NewFilename(QStringLiteral("mp4"));
        // 6. Blocks while the encoder lists the sound sources, when sound is wanted.
        if (ChkArea->currentIndex() == csRegion && FrmArea)
            FRecorder->Start(
                *FCapture, [area = QPointer<TFrmArea>(FrmArea)] { return area ? area->GetRect() : QRect(); });
        else
            FRecorder->Start();
    } catch (const std::exception& error) {
        const auto own = dynamic_cast<const Exception*>(&error);
        FRecorder.reset();
        TmrRecTimer();
        ShowCaptureFailed(own ? own->message() : QString::fromLocal8Bit(error.what()));
        return;
    }
    // 7. and 8.
    TmrRec->start();
    FStatus = stRunning;
}

void TFrmLumetra::RecordStop()
{
    if (FRecorder)
        FRecorder->Stop();
}

void TFrmLumetra::TmrRecTimer()
{
    if (FRecorder && FRecorder->IsRunning()) {
        const QString time = FRecorder->RecTime().left(8);
        LvlRecTime->setText(time);
        if (FrmArea)
            FrmArea->ShowRecTime(time, true);
        return;
    }
    // The encoder has ended, whatever the reason.
    TmrRec->stop();
    const QString failure = FRecorder ? FRecorder->Failure() : QString();
    FRecorder.reset();
    ChkArea->setEnabled(true);
    PnlMain->setCurrentWidget(Card1);
    LvlRecTime->setText(QStringLiteral("00:00:00"));
    if (FrmArea)
        FrmArea->ShowRecTime(QStringLiteral("00:00:00"), false);
    FStatus = stIdle;
    // An encoder that failed early would otherwise leave the user believing a file was written.
    if (!failure.isEmpty())
        ShowCaptureFailed(failure);
}
