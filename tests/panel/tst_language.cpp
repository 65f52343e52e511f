// Qt's own texts speak the program's language: the choosers and the edit
// fields' context menu are Portuguese, although the tests run in the C locale.
#include "TestSupport.h"
#include "platform/QtPlatform.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QTimer>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

// A text as the user reads it: no mnemonic marks, no shortcut column.
QString shown(QString text) {
    text = text.section(u'\t', 0, 0);
    text.remove(u'&');
    return text.trimmed();
}

QTreeView* detailView(QFileDialog* dialog) {
    return dialog->findChild<QTreeView*>(u"treeView"_s);
}

// Whether the chooser lists the folder it opened in (it reads it in the background).
bool listed(QFileDialog* dialog) {
    QTreeView* view = detailView(dialog);
    return view && view->model() && view->model()->rowCount(view->rootIndex()) > 0;
}

// Every text a chooser shows or offers: title, captions, buttons and their
// tips, the file-type list, the column headers and the listed entries.
QStringList textsOf(QFileDialog* dialog) {
    QStringList texts{dialog->windowTitle()};
    for (auto* label : dialog->findChildren<QLabel*>())
        texts << shown(label->text());
    for (auto* button : dialog->findChildren<QAbstractButton*>())
        texts << shown(button->text()) << button->toolTip();
    for (auto* box : dialog->findChildren<QComboBox*>())
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
    for (auto* header : dialog->findChildren<QHeaderView*>())
        if (header->model())
            for (int i = 0; i < header->count(); ++i)
                texts << header->model()->headerData(i, header->orientation()).toString();
    if (QTreeView* view = detailView(dialog))
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            for (int column = 0; column < view->model()->columnCount(view->rootIndex()); ++column)
                texts << view->model()->index(row, column, view->rootIndex()).data().toString();
    texts.removeAll(QString());
    return texts;
}

// Runs the blocking call, reads the chooser it shows once it is up, and
// cancels it. Cancels whatever modal window is up after a bounded wait, so a
// chooser that never appears fails the test instead of hanging it.
QStringList readChooser(const std::function<void()>& open) {
    QStringList texts;
    int tries = 0;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal);
            dialog && dialog->isVisible() && listed(dialog)) {
            texts = textsOf(dialog);
            dialog->reject();
            poll.stop();
        } else if (++tries > 250) {
            if (modal)
                modal->close();
            poll.stop();
        }
    });
    poll.start();
    open();
    return texts;
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private slots:
    // The folder chooser of the settings dialog and the open-file chooser,
    // as the real platform shows them (Qt's own dialog, not a native one).
    void choosersArePortuguese_data() {
        QTest::addColumn<bool>("folders");
        QTest::addColumn<QStringList>("portuguese");
        QTest::addColumn<QStringList>("english");
        QTest::newRow("folder chooser")
            << true
            << QStringList{u"Procurar em:"_s,     u"Pasta:"_s, u"Escolher"_s, u"Cancelar"_s, u"Voltar"_s,
                           u"Criar nova pasta"_s, u"Pastas"_s, u"Nome"_s,     u"Pasta"_s}
            << QStringList{u"Look in:"_s,          u"Directory:"_s,  u"Choose"_s, u"Cancel"_s, u"Back"_s,
                           u"Create New Folder"_s, u"Directories"_s, u"Name"_s,   u"Folder"_s};
        QTest::newRow("file chooser") << false
                                      << QStringList{u"Abrir"_s,
                                                     u"Procurar em:"_s,
                                                     u"Nome do arquivo:"_s,
                                                     u"Arquivos do tipo:"_s,
                                                     u"Todos os arquivos (*)"_s,
                                                     u"Cancelar"_s,
                                                     u"Tamanho"_s,
                                                     u"Data de modificação"_s,
                                                     u"Pasta"_s}
                                      << QStringList{u"Open"_s,           u"Look in:"_s,      u"File name:"_s,
                                                     u"Files of type:"_s, u"All Files (*)"_s, u"Cancel"_s,
                                                     u"Size"_s,           u"Date Modified"_s, u"Folder"_s};
    }
    void choosersArePortuguese() {
        QFETCH(bool, folders);
        QFETCH(QStringList, portuguese);
        QFETCH(QStringList, english);
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        // The file chooser opens in the current folder, the folder chooser
        // at home (there is no desktop folder here): both a scratch folder
        // holding one folder.
        ScratchHome scratch;
        QVERIFY(QDir(scratch.path()).mkdir(u"Relatórios"_s));
        const QString before = QDir::currentPath();
        QDir::setCurrent(scratch.path());
        auto back = qScopeGuard([&] { QDir::setCurrent(before); });
        QtPlatform real;
        bool cancelled = false;
        const QStringList texts = readChooser([&] {
            cancelled =
                folders
                    ? real.selectFolder(&owner, u"Informe em qual pasta se encontram as Gadgets"_s).isEmpty()
                    : !real.openFile(&owner).has_value();
        });
        QVERIFY2(!texts.isEmpty(), "no chooser was shown");
        QVERIFY(cancelled);
        for (const QString& text : portuguese)
            QVERIFY2(texts.contains(text), qPrintable(text + u" missing from: "_s + texts.join(u" | "_s)));
        for (const QString& text : english)
            QVERIFY2(!texts.contains(text), qPrintable(text + u" still shown"_s));
    }

    // The menu a right click opens on an edit field, every entry in Portuguese.
    void editFieldMenuIsPortuguese() {
        QLineEdit field(u"servidor"_s);
        field.show();
        QVERIFY(QTest::qWaitForWindowExposed(&field));
        field.selectAll();
        const QPoint at = field.rect().center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, field.mapToGlobal(at));
        QApplication::sendEvent(&field, &click);
        QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QStringList entries;
        for (QAction* action : menu->actions())
            if (!action->isSeparator())
                entries << shown(action->text());
        menu->close();
        QCOMPARE(entries, (QStringList{u"Desfazer"_s, u"Refazer"_s, u"Recortar"_s, u"Copiar"_s, u"Colar"_s,
                                       u"Excluir"_s, u"Selecionar tudo"_s}));
    }
};

ORVANTO_TEST_MAIN(LanguageTest)
#include "tst_language.moc"
