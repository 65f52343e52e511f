#pragma once

class QCoreApplication;

// Puts Qt's own texts (the file and folder choosers, the edit fields'
// context menu, standard buttons) into Brazilian Portuguese, whatever the
// user's locale: the program's own texts are Portuguese and fixed, and a
// window must not speak two languages. Call it once, before the first window.
// Returns false when the translations are not installed; Qt's English texts
// then stay.
bool loadToolkitTranslations(QCoreApplication& app);
