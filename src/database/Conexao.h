#pragma once

// The shared connection test that every save of the settings ends with.

#include "database/Database.h"
#include "settings/Settings.h"

#include <QString>

#include <chrono>
#include <memory>
#include <optional>

// The shared connection and its default transaction: present only while a
// test runs (and, closed, after a test that ended for want of a path, user
// or password, until the next test replaces them).
extern std::unique_ptr<TDatabase> BancoGadgets;
extern std::unique_ptr<TTransaction> TransacGadgets;

// Reloads the settings file into values and tries to connect with them, as
// testConnection does. Nothing is tried, and nothing returned, while the
// path, the user or the password is empty.
std::optional<QString> ConectaBancoDados(Settings& values, bool IniciandoPC);

// Tries to connect to the database with the user and password. Not
// repeated: one attempt, whose failure's text is returned for the caller
// to show. Repeated: the attempts follow each other, ConnectRetryPause
// apart, until one succeeds or ConnectMaxAttempts have failed, and no
// failure is returned. Nothing is left open afterwards.
std::optional<QString> testConnection(const QString& databaseName, const QString& user,
                                      const QString& password, bool repeated);

// Closes the shared connection and releases both shared objects.
void DesconectarBancoDados();

// The repeated mode's pause and bound (about ten seconds in all), so that an
// attempt that can never succeed does not run for ever.
extern std::chrono::milliseconds ConnectRetryPause;
extern int ConnectMaxAttempts;
