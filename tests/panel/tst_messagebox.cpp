// The real message box: caption, icon, one "OK" button, centred on the screen.
#include "TestSupport.h"
#include "platform/MessageBoxes.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

class MessageBoxTest : public QObject {
    Q_OBJECT

private slots:
    void boxes_data() {
        QTest::addColumn<bool>("warning");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::newRow("plain") << false << "Orvanto" << int(QMessageBox::NoIcon);
        QTest::newRow("warning") << true << "Warning" << int(QMessageBox::Warning);
    }
    void boxes() {
        QFETCH(bool, warning);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        struct Seen {
            QString title, text, button;
            int icon = -1, buttons = 0;
            QPoint centre;
        } seen;
        bool closed = false;
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = {box->windowTitle(),
                    box->text(),
                    box->buttons().value(0)->text(),
                    int(box->icon()),
                    int(box->buttons().size()),
                    box->frameGeometry().center()};
            closed = true;
            box->buttons().first()->click();
        });
        const QString text = QStringLiteral("linha 1\r\n\r\nlinha 2");
        if (warning)
            MessageDlg(text);
        else
            ShowMessage(text);
        QVERIFY(closed);
        QCOMPARE(seen.title, caption);
        QCOMPARE(seen.icon, icon);
        QCOMPARE(seen.text, QStringLiteral("linha 1\n\nlinha 2"));
        QCOMPARE(seen.buttons, 1);
        QCOMPARE(seen.button, QStringLiteral("OK"));
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY2((seen.centre - centre).manhattanLength() <= 2,
                 qPrintable(QString("%1,%2").arg(seen.centre.x()).arg(seen.centre.y())));
    }
};

ORVANTO_TEST_MAIN(MessageBoxTest)
#include "tst_messagebox.moc"
