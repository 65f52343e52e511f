#include "config_dialog/TfrmConfig.h"

#include "ui_TfrmConfig.h"

#include "database/Alias.h"
#include "database/Conexao.h"
#include "database/Database.h"
#include "platform/ErrorReport.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "settings/DatabaseLocation.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "ui/FirstFrame.h"
#include "ui/Fonts.h"
#include "ui/Look.h"
#include "ui/WindowDrag.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QRadioButton>
#include <QStringListModel>

TfrmConfig* frmConfig = nullptr;

namespace {
const QString BranchQuery =
    QStringLiteral("SELECT CODEMPRESA, NOMEEMPRESA FROM FILIAIS WHERE FILIALATIVA <> 'N'");
const QString DefaultUser = QStringLiteral("SYSDBA");
const QString DefaultPassword = QStringLiteral("quillvane");

// Virtual-key codes the handlers test.
constexpr quint16 vkReturn = 13;
constexpr quint16 vkLeft = 37;
constexpr quint16 vkUp = 38;
constexpr quint16 vkRight = 39;
constexpr quint16 vkDown = 40;

QString dialogStyleBook() {
    QFile file(QStringLiteral(":/styles/dialog.qss"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Tab sizes of the window description (the tab bar cannot hold them
// itself). Width and height are the whole tab's: padding and border of a
// later style come out of them.
const QString LayoutSheet = QStringLiteral("QTabBar::tab { height: 20px; padding: 0px; margin: 0px; }\n"
                                           "QTabBar::tab:first { width: 142px; }\n"
                                           "QTabBar::tab:last { width: 87px; }\n");

QString branchItem(const TQuery& query) {
    const QString code = query.FieldByName(QStringLiteral("CODEMPRESA"));
    const QString name = query.FieldByName(QStringLiteral("NOMEEMPRESA"));
    // One allocation per item: the list may hold a whole network's branches.
    QString item;
    item.reserve(code.size() + 3 + name.size());
    item.append(code).append(QLatin1String(" - ")).append(name);
    return item;
}

void fillBranches(TQuery& query, QComboBox* list) {
    query.SQL = BranchQuery;
    query.Open();
    QStringList items;
    items.reserve(query.RecordCount());
    for (query.First(); !query.Eof(); query.Next())
        items.append(branchItem(query));
    TfrmConfig::setBranchItems(list, items);
}

quint16 virtualKey(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        return vkLeft;
    case Qt::Key_Up:
        return vkUp;
    case Qt::Key_Right:
        return vkRight;
    case Qt::Key_Down:
        return vkDown;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vkReturn;
    default:
        return 0;
    }
}

QChar keyChar(const QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return QChar(u'\r');
    const QString text = event->text();
    return text.isEmpty() ? QChar() : text.at(0);
}

bool isEnter(QChar KeyChar) {
    return KeyChar == u'\r';
}
} // namespace

// A temporary connection with its transaction, as the dialog's two probes
// make them. Members are destroyed connection first (which commits its
// transaction), then the transaction.
struct TfrmConfig::BranchConnection {
    TTransaction TransFiliais;
    TDatabase BancoFiliais;

    // Starts the attempt; open() waits for it.
    void begin(const QString& databaseName, const QString& user, const QString& password) {
        beginConnection(BancoFiliais, TransFiliais, databaseName, user, password);
    }
    // The attempt begun; a failure is silent and leaves the connection
    // closed. None begun: the connection has no name, and opening it fails
    // before any client call.
    void open() {
        try {
            BancoFiliais.Open();
        } catch (const std::exception&) {
        }
    }
    // One attempt, as above.
    void open(const QString& databaseName, const QString& user, const QString& password) {
        begin(databaseName, user, password);
        open();
    }
};

std::unique_ptr<TfrmConfig::BranchConnection> TfrmConfig::beginBranchConnection() const {
    auto conexao = std::make_unique<BranchConnection>();
    if (!m_values.CaminhoBanco.isEmpty() && !m_values.Usuario.isEmpty() && !m_values.Senha.isEmpty())
        conexao->begin(
            DatabaseNameFor(m_values.LocRem, m_values.Protocolo, m_values.Servidor, m_values.CaminhoBanco),
            m_values.Usuario, m_values.Senha);
    return conexao;
}

TfrmConfig::TfrmConfig(QWidget* owner, Settings& values)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), ui(std::make_unique<Ui::TfrmConfig>()),
      m_values(values) {
    // The branch list's connection attaches while the window is built: the
    // two take about as long, and need not wait for each other.
    m_branchOpening = beginBranchConnection();
    ui->setupUi(this);
    applyDialogLook(this);
    ensureTahoma();
    applyFonts();
    setStyleSheet(LayoutSheet + dialogStyleBook());
    // Captions that size themselves to their text: a font wider than the
    // designed one widens them rather than clipping them.
    for (QLabel* label : {ui->lblTitulo, ui->lblTitulo2, ui->lblCaminhoBanco, ui->lblUsuario, ui->lblSenha,
                          ui->lblConfSenha, ui->lblDirGadgets})
        fitToText(label);

    // The branch list may hold a whole network's branches: plain texts, rows
    // of one height, and no measuring of every text to size the box.
    ui->ppbFiliais->setModel(new QStringListModel(ui->ppbFiliais));
    ui->ppbFiliais->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (auto* rows = qobject_cast<QListView*>(ui->ppbFiliais->view()))
        rows->setUniformItemSizes(true);

    // uic leaves the first item selected; both lists start with none.
    ui->ppbProtocolo->setCurrentIndex(-1);
    ui->ppbFiliais->setCurrentIndex(-1);
    ui->tbcConfig->tabBar()->setFocusPolicy(Qt::NoFocus);

    // Labels take no presses: one on a title reaches the background panel.
    ui->lblTitulo->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui->lblTitulo2->setAttribute(Qt::WA_TransparentForMouseEvents);
    // A press on a field or button, even a disabled one, starts no drag.
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->edtServidor, ui->ppbProtocolo, ui->rdbLocal, ui->rdbRemota, ui->edtCaminhoBanco,
             ui->spbCaminhoBanco, ui->edtUsuario, ui->edtSenha, ui->edtConfSenha, ui->edtPasta,
             ui->spbPastaGadgets, ui->ppbFiliais, ui->btnSalvar, ui->btnCancelar})
        w->setAttribute(Qt::WA_NoMousePropagation);

    connectHandlers();
    FormCreate();
    // Letting go of the branch connection is a round trip to a server, or the
    // local engine's shutdown: the dialog shows first.
    afterFirstFrame(this, [this] { m_branchConnection.reset(); });
}

void TfrmConfig::setBranchItems(QComboBox* list, const QStringList& items) {
    auto* texts = qobject_cast<QStringListModel*>(list->model());
    if (texts && texts->rowCount() == 0)
        texts->setStringList(items); // one reset rather than a row at a time
    else
        list->addItems(items);
}

TfrmConfig::~TfrmConfig() {
    // While the dialog is whole: closing may process events.
    m_branchOpening.reset();
    m_branchConnection.reset();
    // The controls outlive this part of the object; no handler may run then.
    for (QWidget* w : findChildren<QWidget*>())
        w->removeEventFilter(this);
}

void TfrmConfig::applyFonts() {
    QFont base(QStringLiteral("Tahoma"));
    base.setPixelSize(11);
    setFont(base);

    QFont title = base;
    title.setPixelSize(15);
    title.setBold(true);
    ui->lblTitulo2->setFont(title);

    QFont button = base;
    button.setPixelSize(12);
    button.setBold(true);
    ui->btnSalvar->setFont(button);
    ui->btnCancelar->setFont(button);

    QFont tab = base;
    tab.setBold(true);
    ui->tbcConfig->tabBar()->setFont(tab);
}

void TfrmConfig::connectHandlers() {
    connect(ui->btnSalvar, &QPushButton::clicked, this, [this] { runGuarded([&] { btnSalvarClick(); }); });
    connect(ui->btnCancelar, &QPushButton::clicked, this,
            [this] { runGuarded([&] { btnCancelarClick(); }); });
    connect(ui->rdbRemota, &QRadioButton::toggled, this, [this] { runGuarded([&] { rdbRemotaChange(); }); });
    connect(ui->spbPastaGadgets, &QToolButton::clicked, this,
            [this] { runGuarded([&] { spbPastaGadgetsClick(); }); });
    connect(ui->spbCaminhoBanco, &QToolButton::clicked, this,
            [this] { runGuarded([&] { spbCaminhoBancoClick(); }); });

    // Key strokes and focus changes of the fields, lists and buttons.
    for (QWidget* w :
         std::initializer_list<QWidget*>{ui->edtCaminhoBanco, ui->edtUsuario, ui->edtSenha, ui->edtConfSenha,
                                         ui->edtPasta, ui->edtServidor, ui->ppbFiliais, ui->ppbProtocolo,
                                         ui->rdbLocal, ui->rdbRemota, ui->btnSalvar, ui->btnCancelar})
        w->installEventFilter(this);

    connect(&tmrMover, &QTimer::timeout, this, [this] { runGuarded([&] { tmrMoverTimer(); }); });
    auto* handles = new DragHandles(
        this, [this](QObject* s, Qt::MouseButton b, Qt::MouseButtons sh) { pnlFundoMouseDown(s, b, sh); },
        [this](QObject* s, Qt::MouseButton b, Qt::MouseButtons sh) { pnlFundoMouseUp(s, b, sh); });
    handles->add(ui->pnlFundo);
    handles->add(ui->tbcConfig);
    handles->add(ui->grbConexao);
    handles->add(ui->imgLogo);
}

// ---------------------------------------------------------------- opening

void TfrmConfig::FormCreate() {
    std::unique_ptr<BranchConnection> conexao;
    std::unique_ptr<TQuery> qryFiliais;

    // The temporary connection from the settings values in memory, begun
    // when the dialog was.
    auto ConecBanco = [&] {
        conexao = m_branchOpening ? std::move(m_branchOpening) : beginBranchConnection();
        conexao->open();
    };
    ConecBanco();

    if (conexao->BancoFiliais.Connected()) {
        try {
            qryFiliais = std::make_unique<TQuery>(&conexao->BancoFiliais);
            fillBranches(*qryFiliais, ui->ppbFiliais);
        } catch (const std::exception& error) {
            // A database without a usable branch table must not keep the user
            // from correcting its path: report, then go on as after a failed
            // connection, with an empty list.
            qryFiliais.reset();
            ui->ppbFiliais->clear();
            reportUncaughtError(error);
        }
    }
    ui->ppbFiliais->setCurrentIndex(-1);

    const QString path = settingsFilePath();
    if (!QFileInfo::exists(path)) {
        ui->edtPasta->setText(defaultGadgetsFolder());
    } else {
        IniFile ArqIni(path);
        const Settings stored = readSettings(ArqIni);
        m_values.Comp = stored.Comp;
        ui->edtPasta->setText(stored.DiretorioGadgets);
        ui->edtUsuario->setText(stored.Usuario);
        ui->edtSenha->setText(stored.Senha);
        ui->edtConfSenha->setText(stored.Senha);

        const ShownLocation shown = unpackLocation(stored.LocRem, stored.Comp, stored.CaminhoBanco);
        if (shown.remote)
            ui->rdbRemota->setChecked(true);
        else
            ui->rdbLocal->setChecked(true);
        ui->edtCaminhoBanco->setText(shown.path);
        CamBanco = ui->edtCaminhoBanco->text();

        ui->spbCaminhoBanco->setEnabled(!ui->rdbRemota->isChecked());

        if (ui->rdbRemota->isChecked()) {
            ui->edtServidor->setText(stored.Servidor);
            bool ok = false;
            int index = stored.Protocolo.toInt(&ok, 10);
            // An index the list does not have shows no protocol.
            if (!ok || index < 0 || index >= ui->ppbProtocolo->count())
                index = -1;
            ui->ppbProtocolo->setCurrentIndex(index);
        }

        m_values.Filial = stored.Filial;

        if (conexao->BancoFiliais.Connected() && qryFiliais &&
            qryFiliais->Locate(QStringLiteral("CODEMPRESA"), m_values.Filial)) {
            ui->ppbFiliais->setCurrentIndex(
                ui->ppbFiliais->findText(branchItem(*qryFiliais), Qt::MatchExactly | Qt::MatchCaseSensitive));
        }
    }

    if (Trimmed(ui->edtCaminhoBanco->text()).isEmpty()) {
        ui->edtCaminhoBanco->setText(retornaCaminho(QStringLiteral("VALDORE")));
        CamBanco = ui->edtCaminhoBanco->text();
        MudouBanco = true;
    }
    if (Trimmed(ui->edtUsuario->text()).isEmpty())
        ui->edtUsuario->setText(DefaultUser);
    if (Trimmed(ui->edtSenha->text()).isEmpty())
        ui->edtSenha->setText(DefaultPassword);
    if (Trimmed(ui->edtConfSenha->text()).isEmpty())
        ui->edtConfSenha->setText(DefaultPassword);

    qryFiliais.reset();
    m_branchConnection = std::move(conexao);

    ui->tbcConfig->setCurrentIndex(0);
    ui->edtCaminhoBanco->setFocus();
    m_focused = ui->edtCaminhoBanco;
}

// ----------------------------------------------------------------- saving

void TfrmConfig::showPageAndFocus(QWidget* field) {
    // A field on the hidden page could not take the focus: bring its page forward.
    for (int page = 0; page < ui->tbcConfig->count(); ++page) {
        if (ui->tbcConfig->widget(page)->isAncestorOf(field)) {
            showPage(page);
            break;
        }
    }
    moveFocus(field);
}

void TfrmConfig::showPage(int page) {
    // The page hands the focus to a control of its own on the way; only the
    // move that follows is the dialog's.
    m_showingPage = true;
    ui->tbcConfig->setCurrentIndex(page);
    m_showingPage = false;
}

void TfrmConfig::moveFocus(QWidget* field) {
    field->setFocus(Qt::OtherFocusReason);
    // No focus event comes while the window is inactive (a box has just
    // closed) or when the control already held the focus: the handlers run
    // now all the same, as they do for a move on the original platform.
    if (m_focused != field)
        focusArrived(field, Qt::OtherFocusReason);
}

void TfrmConfig::btnSalvarClick() {
    const QString pasta = Trimmed(ui->edtPasta->text());
    const QString caminho = Trimmed(ui->edtCaminhoBanco->text());
    const QString usuario = Trimmed(ui->edtUsuario->text());
    const QString senha = Trimmed(ui->edtSenha->text());
    const QString confSenha = Trimmed(ui->edtConfSenha->text());
    const QString servidor = Trimmed(ui->edtServidor->text());
    const bool remota = ui->rdbRemota->isChecked();

    // The checks in their order: the first that fails is told, and its
    // field takes the focus (a password not confirmed is typed again).
    const struct {
        bool failed;
        const char16_t* text;
        QWidget* field;
        bool retype = false;
    } checks[] = {
        {pasta.isEmpty(), u"Informe a pasta das Gadgets!", ui->edtPasta},
        {caminho.isEmpty(), u"Informe o caminho do banco de dados!", ui->edtCaminhoBanco},
        {usuario.isEmpty(), u"Informe o usuário do banco de dados!", ui->edtUsuario},
        {senha.isEmpty(), u"Informe a senha do banco de dados!", ui->edtSenha},
        {confSenha.isEmpty(), u"Confirme a senha do banco de dados!", ui->edtConfSenha},
        {senha != confSenha, u"Senha do banco de dados não confirmada!", ui->edtSenha, true},
        {remota && servidor.isEmpty(), u"Informe o Servidor!", ui->edtServidor},
        {remota && !IsWrongIP(servidor) && ui->ppbProtocolo->currentIndex() < 0,
         u"Informe o Protocolo da conexão!", ui->ppbProtocolo},
    };
    for (const auto& check : checks) {
        if (!check.failed)
            continue;
        MessageDlg(QString::fromUtf16(check.text));
        if (check.retype) {
            ui->edtSenha->clear();
            ui->edtConfSenha->clear();
        }
        showPageAndFocus(check.field);
        return;
    }
    // A list read for another database would store a branch that the saved
    // one does not have: a stale list is read again through the fields first.
    const bool listRead = branchListStale();
    if (listRead)
        readBranchListKeeping(branchCode(ui->ppbFiliais->currentText()));
    if (ui->ppbFiliais->currentIndex() < 0) {
        MessageDlg(QStringLiteral("Selecione a Filial em que será validada a senha!"));
        showPage(1);
        // Just read: entering it now would only try the same fields again.
        if (listRead)
            m_focused = ui->ppbFiliais;
        focusList();
        return;
    }

    const StoredLocation location =
        packLocation({remota, servidor, ui->ppbProtocolo->currentIndex(), caminho}, !IsWrongIP(servidor));
    m_values.LocRem = location.locRem;
    m_values.Servidor = location.servidor;
    m_values.Protocolo = location.protocolo;
    m_values.CaminhoBanco = location.caminhoBanco;
    m_values.Comp = location.comp;
    m_values.Usuario = usuario;
    m_values.Senha = senha;
    const QString folder = WithFolderSeparator(ui->edtPasta->text());
    if (folder != ui->edtPasta->text())
        ui->edtPasta->setText(folder);
    m_values.DiretorioGadgets = ui->edtPasta->text();
    m_values.Filial = ui->ppbFiliais->currentText().left(2);

    // The opening's connection is gone before the file and the database are used.
    m_branchConnection.reset();
    SalvaIni(m_values);
    if (const std::optional<QString> failure = ConectaBancoDados(m_values, false))
        ShowMessage(
            QStringLiteral("Rezovuz - Edozed ev Urevivar\r\n\r\nNão foi possível conectar ao banco de "
                           "dados!\r\n") +
            *failure);
    accept();
}

void TfrmConfig::btnCancelarClick() {
    reject();
}

void TfrmConfig::done(int result) {
    m_branchConnection.reset();
    QDialog::done(result);
}

// ------------------------------------------------ branch list and switch

void TfrmConfig::edtCaminhoBancoExit() {
    const QString Caminho = Trimmed(ui->edtCaminhoBanco->text());
    if (Caminho != CamBanco)
        MudouBanco = true;
    const auto typed = splitServerPath(Caminho);
    if (!typed)
        return;
    ui->edtCaminhoBanco->setText(typed->path);
    ui->edtServidor->setText(typed->server);
    ui->rdbRemota->setChecked(true);
    moveFocus(ui->edtUsuario);
}

bool TfrmConfig::branchListStale() const {
    return MudouBanco || Trimmed(ui->edtCaminhoBanco->text()) != CamBanco;
}

void TfrmConfig::readBranchListKeeping(const QString& code) {
    MudouBanco = true;
    ppbFiliaisEnter();
    if (code.isEmpty())
        return;
    for (int i = 0; i < ui->ppbFiliais->count(); ++i) {
        if (branchCode(ui->ppbFiliais->itemText(i)) == code) {
            ui->ppbFiliais->setCurrentIndex(i);
            return;
        }
    }
}

QString TfrmConfig::branchCode(const QString& item) {
    const qsizetype separator = item.indexOf(QStringLiteral(" - "));
    return separator < 0 ? item : item.left(separator);
}

void TfrmConfig::ppbFiliaisEnter() {
    if (!MudouBanco)
        return;
    // The opening's connection is gone before the dialog touches a database again.
    m_branchConnection.reset();
    QComboBox* list = ui->ppbFiliais;
    list->clear();

    // The probe from the fields.
    std::unique_ptr<BranchConnection> conexao;
    auto ConecBanco = [&] {
        conexao = std::make_unique<BranchConnection>();
        const QString P = Trimmed(ui->edtCaminhoBanco->text());
        const QString U = Trimmed(ui->edtUsuario->text());
        const QString W = Trimmed(ui->edtSenha->text());
        const QString S = Trimmed(ui->edtServidor->text());
        if (P.isEmpty() || U.isEmpty() || W.isEmpty())
            return;
        const auto name =
            probeDatabaseName({ui->rdbRemota->isChecked(), S, ui->ppbProtocolo->currentIndex(), P});
        if (name)
            conexao->open(*name, U, W);
    };
    ConecBanco();

    if (conexao->BancoFiliais.Connected()) {
        try {
            TQuery qryFiliais(&conexao->BancoFiliais);
            fillBranches(qryFiliais, list);
        } catch (...) {
            // The list stays empty and stale; the error goes on to the report.
            list->clear();
            list->setCurrentIndex(-1);
            throw;
        }
        if (list->count() > 0) {
            CamBanco = Trimmed(ui->edtCaminhoBanco->text());
            MudouBanco = false;
        }
    }
    list->setCurrentIndex(-1);
}

void TfrmConfig::rdbRemotaChange() {
    const bool remota = ui->rdbRemota->isChecked();
    ui->edtServidor->setEnabled(remota);
    ui->ppbProtocolo->setEnabled(remota);
    ui->spbCaminhoBanco->setEnabled(!remota);
    if (remota) {
        moveFocus(ui->edtServidor);
    } else {
        ui->edtServidor->clear();
        ui->ppbProtocolo->setCurrentIndex(-1);
    }
}

// --------------------------------------------------- keys and pickers

void TfrmConfig::enterMove(QObject* Sender, QChar KeyChar) {
    if (!isEnter(KeyChar))
        return;
    // Where Enter goes from each field, and the page it shows first (-1: none).
    const struct {
        QObject* from;
        int page;
        QWidget* to;
    } moves[] = {
        {ui->edtCaminhoBanco, -1, ui->edtUsuario}, {ui->edtUsuario, -1, ui->edtSenha},
        {ui->edtSenha, -1, ui->edtConfSenha},      {ui->edtConfSenha, 1, ui->edtPasta},
        {ui->edtPasta, -1, ui->ppbFiliais},        {ui->edtServidor, -1, ui->ppbProtocolo},
        {ui->rdbLocal, 0, ui->edtCaminhoBanco},
    };
    for (const auto& move : moves) {
        if (move.from != Sender)
            continue;
        if (move.page >= 0)
            showPage(move.page);
        moveFocus(move.to);
        return;
    }
}

void TfrmConfig::edtCaminhoBancoKeyDown(QObject* Sender, quint16&, QChar& KeyChar, Qt::KeyboardModifiers) {
    enterMove(Sender, KeyChar);
}

void TfrmConfig::edtUsuarioKeyDown(QObject* Sender, quint16&, QChar& KeyChar, Qt::KeyboardModifiers) {
    enterMove(Sender, KeyChar);
}

void TfrmConfig::edtSenhaKeyDown(QObject* Sender, quint16&, QChar& KeyChar, Qt::KeyboardModifiers) {
    enterMove(Sender, KeyChar);
}

void TfrmConfig::edtConfSenhaKeyDown(QObject* Sender, quint16&, QChar& KeyChar, Qt::KeyboardModifiers) {
    enterMove(Sender, KeyChar);
}

void TfrmConfig::edtPastaKeyDown(QObject* Sender, quint16&, QChar& KeyChar, Qt::KeyboardModifiers) {
    enterMove(Sender, KeyChar);
}

void TfrmConfig::edtServidorKeyDown(QObject* Sender, quint16&, QChar& KeyChar, Qt::KeyboardModifiers) {
    enterMove(Sender, KeyChar);
}

void TfrmConfig::rdbLocalKeyDown(QObject* Sender, quint16&, QChar& KeyChar, Qt::KeyboardModifiers) {
    enterMove(Sender, KeyChar);
}

void TfrmConfig::ppbProtocoloKeyDown(QObject*, quint16& Key, QChar&, Qt::KeyboardModifiers) {
    MudaItemMenu(ui->ppbProtocolo, Key);
}

void TfrmConfig::ppbFiliaisKeyDown(QObject*, quint16& Key, QChar&, Qt::KeyboardModifiers) {
    MudaItemMenu(ui->ppbFiliais, Key);
}

void TfrmConfig::btnSalvarKeyDown(QObject*, quint16& Key, QChar&, Qt::KeyboardModifiers) {
    if (Key == vkRight)
        moveFocus(ui->btnCancelar);
}

void TfrmConfig::btnCancelarKeyDown(QObject*, quint16& Key, QChar&, Qt::KeyboardModifiers) {
    if (Key == vkLeft)
        moveFocus(ui->btnSalvar);
}

void TfrmConfig::MudaItemMenu(QComboBox* PopPupBox, quint16 Tecla) {
    const int n = PopPupBox->count();
    const int i = PopPupBox->currentIndex();
    if ((Tecla == vkRight || Tecla == vkDown) && i != n - 1)
        PopPupBox->setCurrentIndex(i + 1);
    if ((Tecla == vkUp || Tecla == vkLeft) && i != 0)
        PopPupBox->setCurrentIndex(std::max(i - 1, -1));
}

QString TfrmConfig::SelecionarPasta(QWidget* wnd, const QString& Title) {
    return platform().selectFolder(wnd, Title);
}

void TfrmConfig::spbPastaGadgetsClick() {
    const QString Pasta =
        SelecionarPasta(this, QStringLiteral("Informe em qual pasta se encontram as Gadgets"));
    if (Pasta.isEmpty())
        return;
    ui->edtPasta->setText(Pasta);
    ui->edtPasta->selectAll();
    moveFocus(ui->edtPasta);
}

void TfrmConfig::spbCaminhoBancoClick() {
    const std::optional<QString> file = platform().openFile(this);
    if (!file)
        return;
    ui->edtCaminhoBanco->setText(*file);
    ui->edtCaminhoBanco->selectAll();
    moveFocus(ui->edtCaminhoBanco);
}

// ------------------------------------------------------------- dragging

void TfrmConfig::pnlFundoMouseDown(QObject*, Qt::MouseButton, Qt::MouseButtons Shift) {
    m_drag.mouseDown(frmConfig ? frmConfig : this, Shift);
}

void TfrmConfig::pnlFundoMouseUp(QObject*, Qt::MouseButton, Qt::MouseButtons) {
    m_drag.mouseUp();
}

void TfrmConfig::tmrMoverTimer() {
    m_drag.tick(frmConfig ? frmConfig : this);
}

// --------------------------------------------------------- event wiring

void TfrmConfig::focusList() {
    moveFocus(ui->ppbFiliais);
}

void TfrmConfig::focusArrived(QWidget* widget, Qt::FocusReason reason) {
    // The focus came back to where it logically was (the window active
    // again, a list's popup closed), or a page is handing it on its way.
    if (reason == Qt::PopupFocusReason || m_focused == widget || m_showingPage)
        return;
    QPointer<QWidget> previous = m_focused;
    m_focused = widget;
    // The path field lost the focus while the window was inactive (no
    // event then): its exit runs now, before the list's entry.
    if (previous == ui->edtCaminhoBanco)
        runGuarded([&] { edtCaminhoBancoExit(); });
    // Whatever brought the focus into the list (a click, a key, a page the
    // user showed, a move of the dialog's), a stale list is read now.
    if (widget == ui->ppbFiliais && m_focused == widget)
        runGuarded([&] { ppbFiliaisEnter(); });
}

void TfrmConfig::focusLeft(QWidget* widget, Qt::FocusReason reason) {
    if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason || m_focused != widget)
        return;
    m_focused = nullptr;
    if (widget == ui->edtCaminhoBanco)
        runGuarded([&] { edtCaminhoBancoExit(); });
}

void TfrmConfig::stepRadio(QRadioButton* from) {
    // As the original platform's dialogs do: any arrow goes to the group's
    // other button (the group wraps round), focus first, then the check, so
    // the change handler's own focus move is the last word.
    QRadioButton* to = from == ui->rdbLocal ? ui->rdbRemota : ui->rdbLocal;
    moveFocus(to);
    to->setChecked(true);
}

bool TfrmConfig::keyDown(QObject* watched, QKeyEvent* event) {
    quint16 Key = virtualKey(event);
    QChar KeyChar = keyChar(event);
    const Qt::KeyboardModifiers Shift = event->modifiers();
    using Handler = void (TfrmConfig::*)(QObject*, quint16&, QChar&, Qt::KeyboardModifiers);
    const std::pair<QObject*, Handler> handlers[] = {
        {ui->edtCaminhoBanco, &TfrmConfig::edtCaminhoBancoKeyDown},
        {ui->edtUsuario, &TfrmConfig::edtUsuarioKeyDown},
        {ui->edtSenha, &TfrmConfig::edtSenhaKeyDown},
        {ui->edtConfSenha, &TfrmConfig::edtConfSenhaKeyDown},
        {ui->edtPasta, &TfrmConfig::edtPastaKeyDown},
        {ui->edtServidor, &TfrmConfig::edtServidorKeyDown},
        {ui->rdbLocal, &TfrmConfig::rdbLocalKeyDown},
        {ui->ppbProtocolo, &TfrmConfig::ppbProtocoloKeyDown},
        {ui->ppbFiliais, &TfrmConfig::ppbFiliaisKeyDown},
        {ui->btnSalvar, &TfrmConfig::btnSalvarKeyDown},
        {ui->btnCancelar, &TfrmConfig::btnCancelarKeyDown},
    };
    runGuarded([&] {
        for (const auto& [control, handler] : handlers) {
            if (control == watched)
                (this->*handler)(watched, Key, KeyChar, Shift);
        }
    });
    // The lists and buttons step and move by the handlers alone; Qt's own
    // arrow handling there would take a second step.
    const bool arrow = Key == vkLeft || Key == vkUp || Key == vkRight || Key == vkDown;
    if (arrow && (watched == ui->rdbLocal || watched == ui->rdbRemota)) {
        runGuarded([&] { stepRadio(static_cast<QRadioButton*>(watched)); });
        return true;
    }
    const bool ownArrows = watched == ui->ppbProtocolo || watched == ui->ppbFiliais ||
                           watched == ui->btnSalvar || watched == ui->btnCancelar;
    return arrow && ownArrows;
}

bool TfrmConfig::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyDown(watched, static_cast<QKeyEvent*>(event));
    case QEvent::FocusIn:
        focusArrived(static_cast<QWidget*>(watched), static_cast<QFocusEvent*>(event)->reason());
        return false;
    case QEvent::FocusOut:
        focusLeft(static_cast<QWidget*>(watched), static_cast<QFocusEvent*>(event)->reason());
        return false;
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void TfrmConfig::keyPressEvent(QKeyEvent* event) {
    // Enter only walks the fields, and only "Cancelar" closes the dialog:
    // neither Enter nor Escape may reach QDialog's default button or reject().
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
