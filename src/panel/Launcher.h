#pragma once

#include <QString>

#include <array>

class QWidget;

// Starts the checked gadgets (catalogue order) from the gadgets folder
// DiretorioGadgets, appending the separator to that value in memory.
// Reports an empty or missing folder in a plain box.
void IniciarGadgets(const std::array<bool, 13>& checked, QString& DiretorioGadgets, QWidget* owner);
