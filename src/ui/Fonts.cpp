#include "ui/Fonts.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>

#include <algorithm>
#include <mutex>
#include <thread>

#ifdef ORVANTO_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace {

// The reading started by a FontConfigurationAhead, until it is waited for.
// Never destroyed: an exit while it runs must not end in std::terminate.
std::mutex& aheadLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
std::thread& ahead() {
    static auto* thread = new std::thread;
    return *thread;
}

// Waits for the reading, if one runs: the reading is local files only, and
// the toolkit must find the configuration it makes rather than read its own.
void waitForFontConfiguration() {
    const std::lock_guard guard(aheadLock());
    if (ahead().joinable())
        ahead().join();
}

} // namespace

FontConfigurationAhead::FontConfigurationAhead() {
#ifdef ORVANTO_FONTCONFIG
    const std::lock_guard guard(aheadLock());
    if (!ahead().joinable())
        ahead() = std::thread([] { FcInit(); }); // the toolkit's own first step, taken early
#endif
}

FontConfigurationAhead::~FontConfigurationAhead() {
    waitForFontConfiguration();
}

void ensureTahoma() {
    static bool done = false;
    if (done)
        return;
    done = true;
    waitForFontConfiguration();
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (QFileInfo::exists(QString::fromLatin1(file)))
            QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    }
}

void fitToText(QLabel* label) {
    label->setWordWrap(false);
    label->ensurePolished();
    const QSize text = label->sizeHint();
    label->resize(std::max(label->width(), text.width()), std::max(label->height(), text.height()));
}

void ensureInterfaceFont() {
    static bool done = false;
    if (done)
        return;
    done = true;
    waitForFontConfiguration();
    const QString family = QStringLiteral("Segoe UI");
    if (QFontDatabase::families().contains(family))
        return;
    QFont::insertSubstitutions(
        family, {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")});
}
