#pragma once

// What the settings dialog's tests share: a private HOME and alias file,
// clean settings values, settings files written as the program writes them,
// ERP databases made per test, and the dialog opened and active.

#include "ErpDatabase.h"
#include "RecordingPlatform.h"
#include "TestSupport.h"
#include "config_dialog/TfrmConfig.h"
#include "database/Alias.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <utility>

using Entries = QList<std::pair<QString, QString>>;

inline void writeSettings(const Entries& entries, const QByteArray& extra = {}) {
    writeFile(settingsFilePath(), settingsText(entries, extra));
}

// The values a stored local database gives in memory, as the panel's
// loading leaves them.
inline void setLocalValues(const QString& path, const QString& user = ErpDatabaseOwner,
                           const QString& password = QStringLiteral("masterkey")) {
    Values.LocRem = QStringLiteral("L");
    Values.CaminhoBanco = path;
    Values.Usuario = user;
    Values.Senha = password;
}

// Everything one test needs; made fresh by init(), dropped by cleanup().
struct DialogFixture {
    ScratchHome home;
    RecordingPlatform platform;
    QString savedAliasFile = AliasFilePath;

    DialogFixture() {
        clearSettingsValues(); // the values are process-wide; each test starts from none
        AliasFilePath = home.path() + QStringLiteral("/databases.conf"); // no alias unless a test writes one
    }
    ~DialogFixture() {
        AliasFilePath = savedAliasFile;
        clearSettingsValues();
    }

    QString path(const QString& name) const { return home.path() + u'/' + name; }

    // An ERP database file in the scratch folder.
    QString database(const QString& name, const QList<Branch>& rows, bool withTable = true) const {
        const QString file = path(name);
        createErpDatabase(file, rows, withTable);
        return file;
    }

    void writeAlias(const QString& alias, const QString& target) const {
        writeFile(AliasFilePath, (alias + QStringLiteral(" = ") + target + u'\n').toUtf8());
    }
};

inline const QList<Branch> TwoBranches = {
    {QStringLiteral("01"), QStringLiteral("MATRIZ"), QStringLiteral("S")},
    {QStringLiteral("02"), QStringLiteral("FILIAL CENTRO"), QStringLiteral("S")},
};

// The dialog, shown and active so that focus changes raise their events.
inline std::unique_ptr<TfrmConfig> openDialog() {
    auto dialog = std::make_unique<TfrmConfig>(nullptr, Values);
    dialog->resize(dialog->width(), 390);
    dialog->show();
    dialog->activateWindow();
    if (!QTest::qWaitForWindowActive(dialog.get()))
        qWarning("settings dialog did not become active");
    return dialog;
}

template <class T> T* control(TfrmConfig* dialog, const char* name) {
    return child<T>(dialog, name);
}
inline QLineEdit* edit(TfrmConfig* d, const char* name) {
    return control<QLineEdit>(d, name);
}
inline QComboBox* list(TfrmConfig* d, const char* name) {
    return control<QComboBox>(d, name);
}
inline QRadioButton* radio(TfrmConfig* d, const char* name) {
    return control<QRadioButton>(d, name);
}
inline QTabWidget* tabs(TfrmConfig* d) {
    return control<QTabWidget>(d, "tbcConfig");
}

inline QStringList items(QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

inline bool noDialogLeft() {
    const auto windows = QApplication::topLevelWidgets();
    return std::none_of(windows.cbegin(), windows.cend(),
                        [](QWidget* w) { return dynamic_cast<TfrmConfig*>(w) != nullptr; });
}

inline QString focusName() {
    QWidget* w = QApplication::focusWidget();
    return w ? w->objectName() : QString();
}
