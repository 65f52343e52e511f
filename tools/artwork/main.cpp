// orvanto-artwork OUTPUT_DIR
// Draws every picture of the product into OUTPUT_DIR (the images folder of the
// resources), each twice: NAME.png for ordinary screens and NAME@2x.png, the
// same drawing at twice the pixels, for screens of twice the density (the
// name Qt's image readers and icons look for). Run under
// QT_QPA_PLATFORM=offscreen; needs no display.

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
        QString name; // without ".png"
        std::function<QImage(double ratio)> draw;
    };
    std::vector<Job> jobs = {
        {QStringLiteral("fundo"), art::backgroundCard},
        {QStringLiteral("logo"), art::makerLogo},
        {QStringLiteral("gear"), art::gearIcon},
    };
    for (int size : {16, 32, 48, 256})
        jobs.push_back({QStringLiteral("icon/orvanto-%1").arg(size),
                        [size](double ratio) { return art::productIcon(size, ratio); }});
    for (const art::Preview& preview : art::previews())
        jobs.push_back({QStringLiteral("previews/%1").arg(preview.name), preview.draw});

    for (const Job& job : jobs) {
        const QString path = out.filePath(job.name + QStringLiteral(".png"));
        if (!QDir().mkpath(QFileInfo(path).path())) {
            err << "cannot create the folder of " << path << '\n';
            return 1;
        }
        const QImage picture = job.draw(1);
        const QImage twice = job.draw(2);
        if (twice.size() != picture.size() * 2) {
            err << "the 2x drawing of " << job.name << " is not twice its size\n";
            return 1;
        }
        if (!art::savePng(picture, path, &error) ||
            !art::savePng(twice, out.filePath(job.name + QStringLiteral("@2x.png")), &error)) {
            err << error << '\n';
            return 1;
        }
    }
    return 0;
}
