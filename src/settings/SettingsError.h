#pragma once

#include <QString>

#include <stdexcept>

// An error whose text is shown to the user as it stands. Raised by the
// settings and database layers; handlers let it reach the error report.
class SettingsError : public std::runtime_error {
public:
    explicit SettingsError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};
