#pragma once

#include <QApplication>

// The application object: titled "Orvanto", and a last guard that turns an
// exception escaping event delivery into the error report.
class OrvantoApplication : public QApplication {
public:
    OrvantoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
