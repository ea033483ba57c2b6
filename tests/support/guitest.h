// Shared set-up for tests that drive the real main window.
#pragma once

#include "app/application.h"
#include "fakeplatform.h"

#include <QTest>

// main() for a GUI test: the program's own application object (so the standard
// error box catches what handlers raise) and the recording platform.
#define TERVANE_GUI_TEST_MAIN(TestObject)                                                                    \
    int main(int argc, char** argv) {                                                                        \
        qputenv("QT_QPA_PLATFORM",                                                                           \
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));            \
        TApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        app.setQuitOnLastWindowClosed(false); /* tests close many windows; nested waits must go on */        \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
