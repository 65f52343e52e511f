#pragma once

// The widget tests' support: the logic tests' own, and a main that runs
// with the program's application object.

#include "CoreTestSupport.h"
#include "ui/Application.h"
#include "ui/Resources.h"

// Like QTEST_MAIN, with the program's own application object so that the
// error report and the resources are those of the program.
#define ORVANTO_TEST_MAIN(TestObject)                                                                        \
    int main(int argc, char** argv) {                                                                        \
        int status = 0;                                                                                      \
        {                                                                                                    \
            OrvantoApplication app(argc, argv);                                                              \
            initOrvantoResources();                                                                          \
            app.setAttribute(Qt::AA_Use96Dpi, true);                                                         \
            TestObject tc;                                                                                   \
            QTEST_SET_MAIN_SOURCE_PATH                                                                       \
            status = QTest::qExec(&tc, argc, argv);                                                          \
        }                                                                                                    \
        waitForEndingThreads();                                                                              \
        return status;                                                                                       \
    }

