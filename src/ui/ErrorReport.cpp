#include "ErrorReport.h"

#include "MessageBoxes.h"

#include "SettingsError.h"

QString errorReportText(const QString& text) {
    if (text.isEmpty() || text.back().unicode() <= u'.')
        return text;
    return text + u'.';
}

void reportUncaughtError(const std::exception& error) {
    const auto* known = dynamic_cast<const SettingsError*>(&error);
    ShowMessage(errorReportText(known ? known->text() : QString::fromUtf8(error.what())));
}
