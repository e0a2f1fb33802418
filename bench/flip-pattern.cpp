// A window for judging a screen recording by its video: it shows the benchmark screen and, in its top-left
// corner, the number of the current 30th of a second in 16 black-or-white cells (most significant first),
// changed 30 times a second from its own clock. On its first change it prints "start <ms since the epoch>",
// so a frame of the video tells when it was grabbed. Runs until it is killed.
//   flip-pattern [left top width height]

#include "MixedScreen.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

constexpr int Cells = 16;
constexpr int Cell = 40;

class Flipper : public QWidget
{
public:
    explicit Flipper(QRect geometry) : m_background(mixedScreen(geometry.size()))
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(geometry);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &Flipper::flip);
    }

    void begin()
    {
        m_clock.start();
        std::printf("start %lld\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
        std::fflush(stdout);
        flip();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.drawImage(event->rect(), m_background, event->rect());
        for (int bit = 0; bit < Cells; ++bit) {
            const bool on = (m_number >> (Cells - 1 - bit)) & 1;
            painter.fillRect(bit * Cell, 0, Cell, Cell, on ? Qt::white : Qt::black);
        }
    }

private:
    void flip()
    {
        m_number = int(m_clock.nsecsElapsed() * 30 / 1000000000);
        repaint(0, 0, Cells * Cell, Cell);
        const qint64 next = (m_number + 1) * 1000000000LL / 30;
        m_timer.start(int(std::max<qint64>(1, (next - m_clock.nsecsElapsed()) / 1000000 + 1)));
    }

    QImage m_background;
    QElapsedTimer m_clock;
    QTimer m_timer;
    int m_number = 0;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication application(argc, argv);
    QRect geometry = QGuiApplication::primaryScreen()->geometry();
    if (argc == 5)
        geometry = QRect(atoi(argv[1]), atoi(argv[2]), atoi(argv[3]), atoi(argv[4]));
    Flipper flipper(geometry);
    flipper.show();
    QTimer::singleShot(500, &flipper, [&flipper] { flipper.begin(); });
    return application.exec();
}
