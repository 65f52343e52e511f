#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// The choosers ask for the kind of an entry ("Folder", "Drive", ...) under
// the icon provider's name, but the shipped catalogue still files those
// texts under the file dialog's: look them up there.
class FileKindTexts final : public QTranslator {
public:
    // The catalogue is this object's child: it leaves the application's
    // list of translators only after this one has.
    explicit FileKindTexts(QObject* parent) : QTranslator(parent), m_catalogue(new QTranslator(this)) {}
    QTranslator& catalogue() { return *m_catalogue; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        return m_catalogue->translate("QFileDialog", source, disambiguation, n);
    }
    bool isEmpty() const override { return false; }

private:
    QTranslator* m_catalogue;
};

} // namespace

bool loadToolkitTranslations(QCoreApplication& app) {
    auto* texts = new FileKindTexts(&app);
    // By file name, not by locale: the locale lookup would also accept a
    // plain "pt" (European) catalogue ahead of the Brazilian one.
    if (!texts->catalogue().load(QStringLiteral("qtbase_pt_BR"),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(&texts->catalogue())) {
        delete texts;
        return false;
    }
    QCoreApplication::installTranslator(texts);
    return true;
}
