#pragma once

// The widget tests' support: the logic tests' own, and a main that runs
// with the program's application object.

#include "CoreTestSupport.h"
#include "ui/Application.h"
#include "ui/Resources.h"

// The program's resources, the artwork of this build folder among them: a
// test run without it stops at once, saying why.
inline void loadTestResources() {
    if (const QString missing = initOrvantoResources(); !missing.isEmpty())
        qFatal("%s", qPrintable(missing));
}

// The widget tests' application: the program's own object (so the error
// report and the resources are the program's), at 96 dots per inch.
inline void setUpWidgetTest(OrvantoApplication& app) {
    loadTestResources();
    app.setAttribute(Qt::AA_Use96Dpi, true);
}

// Like QTEST_MAIN, with the program's own application object.
#define ORVANTO_TEST_MAIN(TestObject) ORVANTO_TEST_MAIN_WITH(OrvantoApplication, setUpWidgetTest, TestObject)
