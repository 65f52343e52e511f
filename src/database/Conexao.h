#pragma once

// The shared connection test that every save of the settings ends with.

#include "database/Database.h"
#include "settings/Settings.h"

#include <chrono>
#include <memory>

// The shared connection and its default transaction: present only while a
// test runs (and, closed, after a test that ended for want of a path, user
// or password, until the next test replaces them).
extern std::unique_ptr<TDatabase> BancoGadgets;
extern std::unique_ptr<TTransaction> TransacGadgets;

// Reloads the settings file into values and tries to connect with them. With
// IniciandoPC false one attempt is made and its failure shown in a message
// box; with true the attempts are repeated silently, ConnectRetryPause
// apart, until one succeeds or ConnectMaxAttempts have failed. Nothing is
// left open afterwards.
void ConectaBancoDados(Settings& values, bool IniciandoPC);

// Closes the shared connection and releases both shared objects.
void DesconectarBancoDados();

// The repeated mode's pause and bound (about ten seconds in all), so that an
// attempt that can never succeed does not run for ever.
extern std::chrono::milliseconds ConnectRetryPause;
extern int ConnectMaxAttempts;
