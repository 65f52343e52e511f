#include "platform/ErrorReport.h"

#include "platform/MessageBoxes.h"

#include "settings/ShownError.h"

QString errorReportText(const QString& text) {
    if (text.isEmpty() || text.back().unicode() <= u'.')
        return text;
    return text + u'.';
}

void reportUncaughtError(const std::exception& error) {
    ShowMessage(errorReportText(errorText(error)));
}
