// The floor of the start-up figure: the least a Qt 6 program can do to show
// a frameless window of the panel's size.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(641, 584);
    window.show();
    return app.exec();
}
