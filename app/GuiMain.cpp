// The running copy: loaded by the launcher once it holds the single-instance lock.

#include "Main.h"

#include "platform/Platform.h"

#include <QApplication>
#include <QIcon>

#include <malloc.h>

extern "C" __attribute__((visibility("default"))) int lumetraGuiMain(int argc, char** argv)
{
    // Captures allocate and free buffers of megabytes each time. A fixed threshold keeps them in their
    // own mappings, returned to the system when freed; glibc's sliding threshold would otherwise keep
    // them in the heaps of the encoder's threads for the life of the program.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
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

    const std::unique_ptr<Platform> platform = createPlatform();
    TFrmLumetra form(*platform, arguments);
    QObject::connect(&form, &TFrmLumetra::closed, &application, &QApplication::quit, Qt::QueuedConnection);
    form.FormCreate();
    if (arguments.value(0) != QLatin1String("/start"))
        form.show();
    return application.exec();
}
