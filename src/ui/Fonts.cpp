#include "ui/Fonts.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>

#include <algorithm>

void ensureTahoma() {
    static bool done = false;
    if (done)
        return;
    done = true;
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
    const QString family = QStringLiteral("Segoe UI");
    if (QFontDatabase::families().contains(family))
        return;
    QFont::insertSubstitutions(
        family, {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")});
}
