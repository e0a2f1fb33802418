#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

// A private home for one test: HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR and a save folder, so that no test
// reads or writes the person's own settings, and an update service that is not there. The runtime folder has
// a short path (socket paths are limited to 107 bytes) and mode 0700. Everything is removed when the object
// goes.
class TestHome
{
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    QString root;
    QString home;
    QString config;
    QString runtime;
    QString desktop; // the default save folder, $HOME/Desktop

    QProcessEnvironment environment(
        QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;
    // Points this process's own variables here (for tests that run the program's code in-process).
    void apply() const;
    // Asks the copy of `program` running in this home to quit ("/uninst"); kills it when it has not ended
    // within `graceMs`. `base` is the environment it was started with, the desk's display in it.
    void stop(QProcess& running, const QString& program, const QProcessEnvironment& base,
        int graceMs = 10000) const;
};
