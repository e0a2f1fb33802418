#pragma once

#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

// A private X server for one test, stopped when the object goes. Xvfb for one monitor; Xorg with the
// dummy driver for several monitors (Xvfb ignores RandR monitor changes).
class XDesk
{
public:
    enum class Server { Xvfb, XorgDummy };

    ~XDesk();

    // Starts the server (and openbox when `windowManager` is set). Null with `error` filled in when a
    // tool is missing (the message names the Debian package) or the server does not come up. openbox runs
    // without its binding of the Print key unless `stockKeys` asks for the desktop as Debian ships it.
    static std::unique_ptr<XDesk> start(Server server, bool windowManager, QString* error,
        QSize size = { 1920, 1080 }, bool stockKeys = false);

    // ":N"
    QString display() const { return m_display; }
    // Environment for child processes: the given one with DISPLAY pointing here.
    QProcessEnvironment environment(
        QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;
    // Runs an X client tool (xrandr, xdotool ...) against this server; false when it fails.
    bool run(const QString& program, const QStringList& arguments, QString* output = nullptr,
        int timeoutMs = 10000) const;
    // A window's place on the screen as xwininfo tells it (frame excluded); null when it cannot.
    QRect geometry(const QString& window) const;
    // Two monitors on the dummy server: DUMMY1 `left` to the left of the primary DUMMY0 `primary`.
    bool setMonitors(QSize primary, QSize left) const;

private:
    XDesk() = default;
    bool waitForWindowManager(int timeoutMs) const;
    // The window manager's settings for tests, written into the desk's folder; empty for its defaults.
    QString windowManagerConfig() const;

    QString m_display;
    QString m_folder;
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_windowManager;
};

// Fails with the package to install when `program` is not on PATH.
bool haveTool(const QString& program, const QString& package, QString* error);
