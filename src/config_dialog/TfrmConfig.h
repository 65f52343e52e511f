#pragma once

#include "settings/IsWrongIP.h"
#include "settings/Settings.h"
#include "ui/WindowDrag.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace Ui {
class TfrmConfig;
}
class QComboBox;
class QRadioButton;

// The settings dialog: where the ERP database lives, its user and password,
// the gadgets folder and the branch. Built anew for every opening; its
// creation loads the fields (FormCreate), "Salvar" checks and stores them.
// A query error while the branch list is read at creation is reported, and
// the dialog opens with an empty list so that the path can be corrected.
// It opens from the settings values it is lent and stores a save in them.
class TfrmConfig : public QDialog {
public:
    TfrmConfig(QWidget* owner, Settings& values);
    ~TfrmConfig() override;

    // Handlers, named after the control and the event they answer.
    void FormCreate();
    void btnSalvarClick();
    void btnCancelarClick();
    void edtCaminhoBancoExit();
    void ppbFiliaisEnter();
    void rdbRemotaChange();

    // Key-down handlers: Key is the virtual-key code (37 to 40 for the
    // arrows, 13 for Enter), KeyChar the character the stroke produces.
    // They change neither; the control's own handling follows.
    void edtCaminhoBancoKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void edtUsuarioKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void edtSenhaKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void edtConfSenhaKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void edtPastaKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void edtServidorKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void rdbLocalKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void ppbProtocoloKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void ppbFiliaisKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void btnSalvarKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);
    void btnCancelarKeyDown(QObject* Sender, quint16& Key, QChar& KeyChar, Qt::KeyboardModifiers Shift);

    // Steps the selected item of a drop-down list: Right/Down forward,
    // Left/Up back, never past either end.
    void MudaItemMenu(QComboBox* PopPupBox, quint16 Tecla);
    // The folder chooser owned by wnd; the chosen folder, or empty.
    QString SelecionarPasta(QWidget* wnd, const QString& Title);
    void spbPastaGadgetsClick();
    void spbCaminhoBancoClick();

    void pnlFundoMouseDown(QObject* Sender, Qt::MouseButton Button, Qt::MouseButtons Shift);
    void pnlFundoMouseUp(QObject* Sender, Qt::MouseButton Button, Qt::MouseButtons Shift);
    void tmrMoverTimer();

    static bool IsWrongIP(const QString& ip) { return ::IsWrongIP(ip); }

    // Appends the branch texts to the branch list in one step.
    static void setBranchItems(QComboBox* list, const QStringList& items);

    // Read access for the tests.
    const QString& camBanco() const { return CamBanco; }
    bool mudouBanco() const { return MudouBanco; }
    const WindowDrag& drag() const { return m_drag; }

    QTimer tmrMover;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct BranchConnection;
    // The temporary connection from the settings values in memory, its
    // attachment begun (none when a value it needs is empty).
    std::unique_ptr<BranchConnection> beginBranchConnection() const;

    void connectHandlers();
    void applyFonts();
    void focusArrived(QWidget* widget, Qt::FocusReason reason);
    void focusLeft(QWidget* widget, Qt::FocusReason reason);
    // The dialog's own moves of the focus into the branch list, which enter it.
    void focusList();
    // The dialog's own focus moves: the handlers of the move run even where
    // the toolkit sends no focus event.
    void moveFocus(QWidget* field);
    void showPage(int page);
    // Whether the list belongs to another path than the field's.
    bool branchListStale() const;
    // Reads the list through the fields; the branch of that code stays
    // selected when the new list has it.
    void readBranchListKeeping(const QString& code);
    // The code part of a branch item ("01" of "01 - MATRIZ").
    static QString branchCode(const QString& item);
    bool keyDown(QObject* watched, QKeyEvent* event);
    // The Enter moves of the fields that only move the focus.
    void enterMove(QObject* Sender, QChar KeyChar);
    // An arrow key on one of the two location buttons.
    void stepRadio(QRadioButton* from);
    void showPageAndFocus(QWidget* field);

    std::unique_ptr<Ui::TfrmConfig> ui;
    Settings& m_values;
    WindowDrag m_drag{tmrMover};
    // The connection the branch list was read through, closed once the
    // dialog has shown its first frame or when it closes, whichever comes first.
    std::unique_ptr<BranchConnection> m_branchConnection;
    // The connection begun as the dialog is built, until FormCreate takes it.
    std::unique_ptr<BranchConnection> m_branchOpening;
    QString CamBanco;
    bool MudouBanco = false;
    // The control that holds the focus as the handlers see it: a window
    // losing activation or a list opening its popup does not move it.
    QPointer<QWidget> m_focused;
    bool m_showingPage = false;
};

// The settings dialog while it is open; empty at every other moment.
extern TfrmConfig* frmConfig;
