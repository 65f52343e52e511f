#include "GadgetWindow.h"

#include "platform/ErrorReport.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"
#include "ui/Fonts.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int WindowWidth = 300;
constexpr int MinimumHeight = 330;
constexpr int ValueWidth = 165; // long paths are elided to this, whole in the tooltip
constexpr int TileGap = 12;

const QString StyleSheet =
    QStringLiteral("QWidget#gadgetWindow { background: #F4F4F4; }\n"
                   "QWidget#header { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5E5E5E, "
                   "stop:1 #3A3A3A); }\n"
                   "QLabel#caption { color: white; font: bold 15px \"Tahoma\"; }\n"
                   "QLabel#program { color: #D2D2D2; font: 11px \"Tahoma\"; }\n"
                   "QWidget#accent { background: #C8322B; }\n"
                   "QLabel#preview { background: white; border: 1px solid #D0D0D0; border-radius: 4px; }\n"
                   "QLabel { font: 12px \"Tahoma\"; color: #444444; }\n"
                   "QLabel[role=\"key\"] { color: #808080; }\n"
                   "QLabel[role=\"value\"] { font: bold 12px \"Tahoma\"; color: #333333; }\n"
                   "QLabel#status { color: #2E7D32; }\n"
                   "QLabel#status[problem=\"true\"] { color: #B22222; }\n"
                   "QLabel#section { font: 11px \"Tahoma\"; color: #909090; }\n");

QLabel* makeLabel(const QString& text, const char* role) {
    auto* label = new QLabel(text);
    label->setProperty("role", QString::fromLatin1(role));
    return label;
}

// Shows text whole when it fits, else elided in the middle with the whole
// text as the tooltip.
void setValue(QLabel* label, const QString& text) {
    label->ensurePolished(); // the style sheet's font, not the default one
    const QFontMetrics metrics(label->font());
    const QString shown = metrics.elidedText(text, Qt::ElideMiddle, ValueWidth);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

void restyle(QWidget* widget) {
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

} // namespace

GadgetWindow::GadgetWindow(const Gadget* gadget, const QString& programName, const QString& iniPath)
    : m_gadget(gadget), m_iniPath(iniPath) {
    setObjectName(QStringLiteral("gadgetWindow"));
    setAttribute(Qt::WA_StyledBackground);
    setWindowTitle(gadget ? QString::fromUtf8(gadget->caption) : QStringLiteral("Gadget de demonstração"));
    ensureTahoma();
    setStyleSheet(StyleSheet);
    buildLook(programName);

    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(400); // a drag moves the window many times: keep only where it stops
    connect(&m_saveTimer, &QTimer::timeout, this, [this] { runGuarded([this] { savePosition(); }); });

    if (!gadget) {
        setStatus(QStringLiteral("Este programa faz o papel de qualquer uma das 13 gadgets: "
                                 "instale-o na pasta das Gadgets com o nome de uma delas, "
                                 "por exemplo Tarvelo.exe."),
                  true);
        return;
    }
    m_settings = readGadgetSettings(iniPath);
    setValue(m_database,
             m_settings.databaseName.isEmpty() ? QStringLiteral("(não informado)") : m_settings.databaseName);
    setValue(m_user, m_settings.user.isEmpty() ? QStringLiteral("(não informado)") : m_settings.user);
    setValue(m_branch, m_settings.branch.isEmpty() ? QStringLiteral("(não informada)") : m_settings.branch);
    placeWindow();

    if (!m_settings.fileFound) {
        setStatus(QStringLiteral("Configurações não encontradas: salve-as em \"Configurações\" no painel."),
                  true);
        setSectionNote(
            QStringLiteral("Posição não guardada: %1 ainda não existe.").arg(QFileInfo(iniPath).fileName()));
    } else if (m_settings.databaseName.isEmpty() || m_settings.user.isEmpty() ||
               m_settings.password.isEmpty()) {
        setStatus(QStringLiteral("Configurações incompletas: banco de dados, usuário ou senha em branco."),
                  true);
    } else {
        startBranchLookup();
    }
}

GadgetWindow::~GadgetWindow() = default;

bool GadgetWindow::lookupRunning() const {
    return m_lookup && m_lookup->isRunning();
}

void GadgetWindow::buildLook(const QString& programName) {
    auto* header = new QWidget;
    header->setObjectName(QStringLiteral("header"));
    header->setAttribute(Qt::WA_StyledBackground);
    auto* caption = new QLabel(windowTitle());
    caption->setObjectName(QStringLiteral("caption"));
    auto* program = new QLabel(QStringLiteral("%1 · gadget de demonstração").arg(programName));
    program->setObjectName(QStringLiteral("program"));
    auto* headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(12, 8, 12, 8);
    headerLayout->setSpacing(1);
    headerLayout->addWidget(caption);
    headerLayout->addWidget(program);

    auto* accent = new QWidget;
    accent->setObjectName(QStringLiteral("accent"));
    accent->setAttribute(Qt::WA_StyledBackground);
    accent->setFixedHeight(3);

    auto* preview = new QLabel;
    preview->setObjectName(QStringLiteral("preview"));
    preview->setAlignment(Qt::AlignCenter);
    preview->setFixedHeight(150);
    if (m_gadget) {
        const QPixmap picture(
            QStringLiteral(":/images/previews/%1.png").arg(QString::fromLatin1(m_gadget->previewImage)));
        preview->setPixmap(
            picture.scaled(WindowWidth - 40, 140, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }

    m_database = makeLabel(QString(), "value");
    m_user = makeLabel(QString(), "value");
    m_branch = makeLabel(QString(), "value");
    for (QLabel* value : {m_database, m_user, m_branch})
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* form = new QFormLayout;
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(4);
    form->addRow(makeLabel(QStringLiteral("Banco de dados"), "key"), m_database);
    form->addRow(makeLabel(QStringLiteral("Usuário"), "key"), m_user);
    form->addRow(makeLabel(QStringLiteral("Filial"), "key"), m_branch);

    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_section = new QLabel;
    m_section->setObjectName(QStringLiteral("section"));
    m_section->setWordWrap(true);
    if (m_gadget)
        m_section->setText(QStringLiteral("Posição da janela guardada na seção [%1] de %2.")
                               .arg(gadgetSection(*m_gadget), QFileInfo(m_iniPath).fileName()));

    auto* body = new QVBoxLayout;
    body->setContentsMargins(14, 12, 14, 12);
    body->setSpacing(8);
    body->addWidget(preview);
    body->addLayout(form);
    body->addWidget(m_status);
    body->addStretch(1);
    body->addWidget(m_section);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(accent);
    layout->addLayout(body);

    setFixedWidth(WindowWidth);
    setMinimumHeight(MinimumHeight);
}

void GadgetWindow::fitHeight() {
    // The wrapped texts' height depends on the width, which a window does
    // not follow by itself once shown: squeezed below what they need, the
    // texts would be laid over the picture. Grow to fit them, never shrink
    // below it. Activating afresh drops the texts' cached heights.
    QLayout* body = layout();
    body->invalidate();
    body->activate();
    const int needed =
        std::max(MinimumHeight, body->hasHeightForWidth() ? body->totalHeightForWidth(WindowWidth)
                                                          : body->totalSizeHint().height());
    setMinimumHeight(needed);
    if (height() < needed)
        resize(WindowWidth, needed);
}

void GadgetWindow::placeWindow() {
    const QString section = gadgetSection(*m_gadget);
    if (const auto stored = readWindowPosition(m_iniPath, section)) {
        // Only where it can still be seen: a screen may have gone since.
        if (QGuiApplication::screenAt(*stored + QPoint(40, 20))) {
            move(*stored);
            return;
        }
    }
    // Side by side in catalogue order, so thirteen windows do not pile up.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const int row = int(m_gadget - GadgetCatalogue.data());
    const QSize size(WindowWidth, std::max(minimumHeight(), sizeHint().height()));
    const int columns = std::max(1, (area.width() - TileGap) / (size.width() + TileGap));
    const int rows = std::max(1, (area.height() - TileGap) / (size.height() + TileGap));
    const int column = row % columns;
    const int line = (row / columns) % rows;
    move(area.left() + TileGap + column * (size.width() + TileGap),
         area.top() + TileGap + line * (size.height() + TileGap));
}

void GadgetWindow::startBranchLookup() {
    setStatus(QStringLiteral("Consultando o banco de dados…"), false);
    struct Outcome {
        std::optional<QString> name;
        QString error;
    };
    auto outcome = std::make_shared<Outcome>();
    const GadgetSettings settings = m_settings;
    // Off the window's thread: a server that never answers keeps the window
    // painting while the client waits for its time-out.
    m_lookup = QThread::create([settings, outcome] {
        try {
            outcome->name = lookupBranchName(settings);
        } catch (const ShownError& error) {
            outcome->error = error.text();
        } catch (const std::exception& error) {
            outcome->error = QString::fromLocal8Bit(error.what());
        }
    });
    connect(m_lookup, &QThread::finished, this,
            [this, outcome] { runGuarded([&] { showBranch(outcome->name, outcome->error); }); });
    connect(m_lookup, &QThread::finished, m_lookup, &QObject::deleteLater);
    m_lookup->start();
}

void GadgetWindow::showBranch(const std::optional<QString>& name, const QString& error) {
    if (!error.isEmpty()) {
        setStatus(QStringLiteral("Não foi possível abrir o banco de dados:\n%1").arg(error), true);
        return;
    }
    if (name) {
        const QString branch = m_settings.branch + QStringLiteral(" - ") + *name;
        setValue(m_branch, branch);
        setStatus(QStringLiteral("Banco de dados aberto."), false);
        try {
            saveOwnEntries(m_iniPath, gadgetSection(*m_gadget), {{LastBranchKey, branch}});
        } catch (const ShownError& error) {
            setSectionNote(QStringLiteral("Filial não guardada: %1").arg(error.text()));
        }
    } else {
        setValue(m_branch,
                 m_settings.branch.isEmpty() ? QStringLiteral("(não informada)") : m_settings.branch);
        setStatus(QStringLiteral("Banco de dados aberto, mas a filial \"%1\" não está na tabela FILIAIS.")
                      .arg(m_settings.branch),
                  true);
    }
}

void GadgetWindow::savePosition() {
    if (!m_gadget)
        return;
    try {
        saveWindowPosition(m_iniPath, gadgetSection(*m_gadget), pos());
    } catch (const ShownError& error) {
        // Not worth a box: the gadget works on without its position.
        setSectionNote(QStringLiteral("Posição não guardada: %1").arg(error.text()));
    }
}

void GadgetWindow::setStatus(const QString& text, bool problem) {
    m_status->setText(text);
    m_status->setProperty("problem", problem);
    restyle(m_status);
    fitHeight();
}

void GadgetWindow::setSectionNote(const QString& text) {
    m_section->setText(text);
    fitHeight();
}

void GadgetWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        m_saveTimer.start(); // the section appears as soon as the window does
    }
}

void GadgetWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (m_shown)
        m_saveTimer.start();
}

void GadgetWindow::closeEvent(QCloseEvent* event) {
    m_saveTimer.stop();
    runGuarded([this] { savePosition(); });
    QWidget::closeEvent(event);
}
