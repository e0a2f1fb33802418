#pragma once

#include "XDesk.h"

#include <QApplication>
#include <QTest>
#include <cstdio>

// Widgets without a display: the offscreen platform, unless the caller chose one.
#define LUMETRA_OFFSCREEN_TEST_MAIN(TestObject)                                                              \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))                                                   \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                         \
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");                                                           \
        QApplication app(argc, argv);                                                                        \
        TestObject test;                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                              \
    }

// A private X server (with openbox when `wm` is true) for the whole test program; Qt connects to it.
#define LUMETRA_X11_TEST_MAIN(TestObject, server, wm)                                                        \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        QString error;                                                                                       \
        auto desk = XDesk::start(server, wm, &error);                                                        \
        if (!desk) {                                                                                         \
            std::fprintf(stderr, "FAIL: %s\n", qPrintable(error));                                           \
            return 1;                                                                                        \
        }                                                                                                    \
        qputenv("DISPLAY", desk->display().toLatin1());                                                      \
        qputenv("QT_QPA_PLATFORM", "xcb");                                                                   \
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");                                                           \
        int result = 0;                                                                                      \
        {                                                                                                    \
            QApplication app(argc, argv);                                                                    \
            TestObject test(*desk);                                                                          \
            result = QTest::qExec(&test, argc, argv);                                                        \
        }                                                                                                    \
        return result;                                                                                       \
    }
