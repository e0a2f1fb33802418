#include "UploadProgressStrip.h"

#include "Upload.h"
#include "platform/ScreenSource.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <climits>

UploadProgressStrip::UploadProgressStrip(const QString& caption, ScreenSource& screen)
    : m_window(std::make_unique<QWidget>())
{
    m_window->setObjectName(QStringLiteral("ProgressForm"));
    // No frame, no taskbar entry, no focus, above the other windows, and every click goes to the window
    // below. Out of the window manager's hands, so that no placement policy moves it off its spot.
    m_window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
        | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput | Qt::X11BypassWindowManagerHint);
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    m_window->setWindowOpacity(140 / 255.0);

    const QList<Monitor> monitors = screen.monitors();
    const auto primary = std::find_if(
        monitors.begin(), monitors.end(), [](const Monitor& monitor) { return monitor.primary; });
    const QRect bounds = primary != monitors.end() ? primary->geometry : monitors.value(0).geometry;
    m_window->setGeometry(placement(bounds, screen.workArea(bounds)));
    qCDebug(lcUpload) << "strip at" << m_window->geometry() << "on" << bounds;

    m_gauge = new QProgressBar(m_window.get());
    m_gauge->setObjectName(QStringLiteral("Gauge"));
    m_gauge->setGeometry(m_window->rect());
    m_gauge->setTextVisible(false);
    m_gauge->setStyleSheet(QStringLiteral("QProgressBar { background: rgb(64, 0, 0); border: none; }"
                                          "QProgressBar::chunk { background: rgb(255, 0, 0); }"));
    m_gauge->setRange(0, 100);
    m_gauge->setValue(0);

    m_label = new QLabel(caption, m_window.get());
    m_label->setObjectName(QStringLiteral("Label"));
    QFont font = m_label->font();
    font.setPixelSize(12);
    m_label->setFont(font);
    QPalette white = m_label->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    m_label->setPalette(white);
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_label->setGeometry(0, 8, bounds.width(), Height - 8);

    m_window->show();
}

UploadProgressStrip::~UploadProgressStrip() = default;

void UploadProgressStrip::setProgress(qint64 position, qint64 total)
{
    // The gauge counts in int; a body beyond that is shown in coarser steps.
    const qint64 step = total > INT_MAX ? total / INT_MAX + 1 : 1;
    m_gauge->setRange(0, int(std::max<qint64>(total / step, 1)));
    m_gauge->setValue(int(std::clamp<qint64>(position / step, 0, m_gauge->maximum())));
}

QRect UploadProgressStrip::placement(const QRect& screen, const QRect& workArea)
{
    int bottom = screen.bottom();
    const int reserved = screen.bottom() - workArea.bottom();
    // A panel along the bottom takes less than half the screen; the work area of a screen it does not
    // touch ends with the screen.
    if (workArea.isValid() && reserved > 0 && reserved < screen.height() / 2)
        bottom = workArea.bottom();
    return QRect(screen.left(), bottom + 1 - Height, screen.width(), Height);
}
