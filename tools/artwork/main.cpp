// orvanto-artwork OUTPUT_DIR
// Draws every picture of the product into OUTPUT_DIR (the images folder of the
// resources). Run under QT_QPA_PLATFORM=offscreen; needs no display.

#include "Card.h"
#include "Marks.h"
#include "Paint.h"
#include "Previews.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

#include <functional>
#include <vector>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        err << "usage: orvanto-artwork OUTPUT_DIR\n";
        return 2;
    }
    QString error;
    if (!art::loadFonts(&error)) {
        err << error << '\n';
        return 1;
    }

    const QDir out(args.at(1));
    struct Job {
        QString file;
        std::function<QImage()> draw;
    };
    std::vector<Job> jobs = {
        {QStringLiteral("fundo.png"), art::backgroundCard},
        {QStringLiteral("logo.png"), art::makerLogo},
        {QStringLiteral("gear.png"), art::gearIcon},
    };
    for (int size : {16, 32, 48, 256})
        jobs.push_back({QStringLiteral("icon/orvanto-%1.png").arg(size), [size] { return art::productIcon(size); }});
    for (const art::Preview& preview : art::previews())
        jobs.push_back({QStringLiteral("previews/%1.png").arg(preview.name), preview.draw});

    for (const Job& job : jobs) {
        const QString path = out.filePath(job.file);
        if (!QDir().mkpath(QFileInfo(path).path())) {
            err << "cannot create the folder of " << path << '\n';
            return 1;
        }
        if (!art::savePng(job.draw(), path, &error)) {
            err << error << '\n';
            return 1;
        }
    }
    return 0;
}
