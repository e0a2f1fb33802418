// The running copy: loaded by the launcher once it holds the single-instance lock.

#include "Lumetra.h"
#include "MainWindow.h"

#include "platform/Platform.h"
#include "support/Q.Translate.h"

#include <QApplication>
#include <QIcon>

#include <malloc.h>

extern "C" __attribute__((visibility("default"))) int lumetraGuiMain(int argc, char** argv)
{
    // Every capture needs the same few buffers of megabytes. Fixed thresholds keep them in the heap for
    // the next capture: fresh pages cost about 3 ms per megabyte to fault in, and glibc's sliding
    // thresholds let the heaps of the encoder's threads grow capture after capture. Bitmaps beyond
    // 64 MiB still get their own mappings and go back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    // One heap for every thread: malloc_trim gives back the top of the main heap only, so what a worker
    // thread's own heap held would stay resident after the program comes to rest.
    mallopt(M_ARENA_MAX, 1);
    // The program scales its windows itself from each monitor's DPI; Qt's own scaling would shrink the
    // screen it reports.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication application(argc, argv);
    // The window hides instead of closing; only a real close of the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationDisplayName(QString());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/lumetra.png")));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    // Before the first window: its texts are translated as it is set up.
    InitTranslate();
    const std::unique_ptr<Platform> platform = createPlatform();
    Lumetra program(*platform, arguments);
    // A quit can arrive while the start-up still shows a message, in a loop of its own: exit() ends that
    // one too (quit() only acts once the application's loop runs), and the application's is never entered.
    bool ended = false;
    QObject::connect(
        &program, &Lumetra::ended, &application,
        [&ended] {
            ended = true;
            QApplication::exit(0);
        },
        Qt::QueuedConnection);
    program.start();
    if (ended)
        return 0;
    if (arguments.value(0) != QLatin1String("/start"))
        program.window().show();
    return application.exec();
}
