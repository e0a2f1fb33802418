// Timings of the overlays on a private 3840 x 2160 X server with openbox:
//  - from the capture command (the dispatcher's start) to the darkened drag overlay on the screen;
//  - the CPU the window outline takes while the pointer rests on a window, in this process and in the
//    X server.
// Usage: bench_overlays [runs] [seconds]

#include "TestHome.h"
#include "TestProgram.h"
#include "XDesk.h"
#include "capture/CaptureSource.h"
#include "capture/DragSelector.h"
#include "capture/WindowOutline.h"
#include "platform/Platform.h"
#include "platform/ScreenSource.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr QSize DeskSize(3840, 2160);

class ColourWindow : public QWidget
{
public:
    ColourWindow(QColor colour, const QRect& at, bool framed)
    {
        if (!framed)
            setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        QPalette palette;
        palette.setColor(QPalette::Window, colour);
        setPalette(palette);
        setAutoFillBackground(true);
        setGeometry(at);
    }
};

template <typename Condition> bool waitFor(Condition condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

double processSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds of this process's child X server, read from /proc.
double serverSeconds()
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int close = line.lastIndexOf(')');
        if (close < 0 || !line.left(close).contains("Xvfb"))
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        // After the name: state, ppid, ... utime is field 14 and stime 15 of the whole line.
        if (fields.size() > 12 && fields[1].toLongLong() == getpid())
            return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
    }
    return 0;
}

void overlayShown(Platform& platform, TestHome& home, int runs)
{
    ColourWindow white(Qt::white, QRect(QPoint(0, 0), DeskSize), false);
    white.show();
    (void)QTest::qWaitForWindowExposed(&white);
    QTest::qWait(300);
    TestProgram program(platform);
    program.start();
    program.settings().setSaveFolder(home.desktop);
    program.chooseSource(csDrag);
    QCursor::setPos(3000, 2000);

    const QPoint probe(200, 200);
    QList<double> times;
    for (int run = 0; run <= runs; ++run) {
        if (!waitFor([&] { return platform.screen().pixel(probe) == qRgb(255, 255, 255); }, 5000)) {
            std::fprintf(stderr, "the screen does not show the white window\n");
            return;
        }
        QElapsedTimer timer;
        double shown = -1;
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const bool darkened = platform.screen().pixel(probe) == qRgb(153, 153, 153);
            // Never waits for ever, so that a broken overlay cannot hang the benchmark.
            if (shown >= 0 || (!darkened && timer.elapsed() < 10000))
                return;
            shown = darkened ? double(timer.nsecsElapsed()) / 1e6 : 1e9;
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (auto drag = qobject_cast<DragSelector*>(window); drag && drag->isVisible())
                    QTest::keyClick(drag, Qt::Key_Escape);
            }
        });
        poll.start();
        timer.start();
        program.capture();
        poll.stop();
        // The first run warms caches and the server's shared memory up.
        if (run > 0)
            times.append(shown);
    }
    std::sort(times.begin(), times.end());
    if (times.last() >= 1e9) {
        std::fprintf(stderr, "the overlay did not show within 10 s\n");
        return;
    }
    std::printf(
        "capture command to darkened overlay on a %dx%d screen, %d runs: min %.1f ms, median %.1f ms, "
        "max %.1f ms\n",
        DeskSize.width(), DeskSize.height(), runs, times.first(), times[times.size() / 2], times.last());
}

void outlineAtRest(Platform& platform, int seconds)
{
    QWidget main;
    main.setGeometry(100, 100, 162, 191);
    main.show();
    ColourWindow target(QColor(40, 90, 160), QRect(800, 600, 1200, 800), true);
    target.setWindowTitle(QStringLiteral("a program"));
    target.show();
    (void)QTest::qWaitForWindowExposed(&target);
    QCursor::setPos(1400, 1000);
    auto line = new WindowOutline(platform.screen(), &main);
    line->show();
    QTest::qWait(1000);

    const double process = processSeconds(), server = serverSeconds();
    QElapsedTimer wall;
    wall.start();
    // A plain event loop: QTest::qWait would wake up every few milliseconds itself.
    QEventLoop rest;
    QTimer::singleShot(seconds * 1000, &rest, &QEventLoop::quit);
    rest.exec();
    const double elapsed = double(wall.elapsed()) / 1000;
    std::printf(
        "outline resting on a window for %.1f s: this process %.2f %% of one core, X server %.2f %%\n",
        elapsed, 100 * (processSeconds() - process) / elapsed, 100 * (serverSeconds() - server) / elapsed);
    line->close();
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int seconds = argc > 2 ? std::max(1, atoi(argv[2])) : 10;
    QString error;
    auto desk = XDesk::start(XDesk::Server::Xvfb, true, &error, DeskSize);
    if (!desk) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    qputenv("DISPLAY", desk->display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    TestHome home;
    home.apply();
    QApplication app(argc, argv);
    auto platform = createPlatform();
    overlayShown(*platform, home, runs);
    outlineAtRest(*platform, seconds);
    return 0;
}
