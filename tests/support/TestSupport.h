#pragma once

// The widget tests' support: the logic tests' own, and a main that runs
// with the program's application object.

#include "CoreTestSupport.h"
#include "ui/Application.h"
#include "ui/Resources.h"

// The widget tests' application: the program's own object (so the error
// report and the resources are the program's), at 96 dots per inch.
inline void setUpWidgetTest(OrvantoApplication& app) {
    initOrvantoResources();
    app.setAttribute(Qt::AA_Use96Dpi, true);
}

// Like QTEST_MAIN, with the program's own application object.
#define ORVANTO_TEST_MAIN(TestObject) ORVANTO_TEST_MAIN_WITH(OrvantoApplication, setUpWidgetTest, TestObject)
