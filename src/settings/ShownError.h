#pragma once

#include <QString>

#include <exception>
#include <stdexcept>

// An error whose text is shown to the user as it stands. Raised by the
// settings, database and launching layers; handlers let it reach the error
// report.
class ShownError : public std::runtime_error {
public:
    explicit ShownError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// The text of any exception as the user sees it: a ShownError's own text,
// any other's what() (in the locale's encoding, as system texts come).
inline QString errorText(const std::exception& error) {
    if (const auto* shown = dynamic_cast<const ShownError*>(&error))
        return shown->text();
    return QString::fromLocal8Bit(error.what());
}
