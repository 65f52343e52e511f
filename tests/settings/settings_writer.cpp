// Two uses, both as a separate process beside the tests:
//   settings_writer              saves the settings over and over, each time
//                                with other values, until it is killed (the
//                                tests kill it at random moments);
//   settings_writer count KEY N  counts KEY of section [Contadores] up N
//                                times, one read, write and release each, as
//                                a gadget keeps its own entries;
//   settings_writer mark KEY N   writes KEY1=1 ... KEYN=N to section
//                                [Marcas], one release each 10 ms, reading
//                                nothing first, as the panel saves;
//   settings_writer save         saves once; on failure prints the error
//                                text and ends with status 1; SIGTERM ends
//                                it as it ends the program;
//   settings_writer hold LOCK MS HOW
//                                takes LOCK with flock(2), as any program
//                                may, says "held", and after MS ms (never
//                                when 0) lets it go: HOW "exit" ends the
//                                process, "unlock" unlocks and keeps the
//                                file open;
//   settings_writer outside STOP rewrites the file in place, without the
//                                lock, as programs outside the protocol do
//                                (truncated, then written in two halves),
//                                counting Voltas of section [Fora] up from
//                                what it read each time, until the file
//                                STOP exists; prints how many times it wrote.
#include "platform/EndSignals.h"
#include "settings/AtomicWrite.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
Settings Values;

int countUp(const QString& key, int rounds) {
    const QString section = QStringLiteral("Contadores");
    for (int i = 0; i < rounds; ++i) {
        IniFile ini(settingsFilePath());
        const int value = ini.read(section, key).toInt();
        ini.write(section, key, QString::number(value + 1));
        try {
            ini.release();
        } catch (const ShownError& error) { // a refusal leaves the file as it is: go on
            std::fprintf(stderr, "%s\n", error.text().toUtf8().constData());
        }
    }
    return 0;
}

int mark(const QString& key, int rounds) {
    for (int i = 1; i <= rounds; ++i) {
        IniFile ini(settingsFilePath());
        ini.write(QStringLiteral("Marcas"), key + QString::number(i), QString::number(i));
        try {
            ini.release();
        } catch (const ShownError& error) { // a refusal leaves the file as it is: go on
            std::fprintf(stderr, "%s\n", error.text().toUtf8().constData());
        }
        ::usleep(10000); // one save after the other, as a user or a gadget saves
    }
    return 0;
}

int rewriteInPlace(const QString& stopFile) {
    const QByteArray name = QFile::encodeName(settingsFilePath());
    long rounds = 0;
    while (!QFileInfo::exists(stopFile)) {
        QByteArray content;
        readWholeFile(settingsFilePath(), content, IniFile::MaxFileSize);
        const int voltas = ini::lookup(content, "Fora", "Voltas").value_or("0").toInt();
        content = ini::store(content, "Fora", "Voltas", QByteArray::number(voltas + 1), settingsFilePath());
        ++rounds;
        const int fd = ::open(name.constData(), O_WRONLY | O_TRUNC | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return 2;
        const qsizetype half = content.size() / 2;
        bool ok = ::write(fd, content.constData(), size_t(half)) == half;
        ::usleep(1000);
        ok = ok &&
             ::write(fd, content.constData() + half, size_t(content.size() - half)) == content.size() - half;
        ::close(fd);
        if (!ok)
            return 2;
        ::usleep(50000); // some 20 times a second: a busy writer, not a runaway one
    }
    std::printf("%ld\n", rounds);
    return 0;
}

int saveOnce() {
    Values.LocRem = QStringLiteral("L");
    Values.Usuario = QStringLiteral("SYSDBA");
    Values.Senha = QStringLiteral("segredo");
    try {
        SalvaIni(Values);
    } catch (const ShownError& error) {
        std::fputs(error.text().toUtf8().constData(), stdout);
        return 1;
    }
    return 0;
}

int hold(const QByteArray& lockPath, int ms, const QByteArray& how) {
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
        return 2;
    std::puts("held");
    std::fflush(stdout);
    if (ms > 0) {
        ::usleep(useconds_t(ms) * 1000);
        if (how == "exit")
            return 0;
        ::flock(fd, LOCK_UN);
    }
    for (;;)
        ::pause(); // until the test kills it
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 2 && QByteArrayView(argv[1]) == "save") {
        installEndSignals();
        return saveOnce();
    }
    if (argc == 5 && QByteArrayView(argv[1]) == "hold")
        return hold(argv[2], QByteArray(argv[3]).toInt(), argv[4]);
    if (argc == 4 && QByteArrayView(argv[1]) == "mark")
        return mark(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    if (argc == 3 && QByteArrayView(argv[1]) == "outside")
        return rewriteInPlace(QString::fromLocal8Bit(argv[2]));
    if (argc == 4 && QByteArrayView(argv[1]) == "count")
        return countUp(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    for (unsigned long i = 0;; ++i) {
        const QString suffix = QString::number(i);
        Values.LocRem = QStringLiteral("L");
        Values.Comp = QStringLiteral("0");
        Values.CaminhoBanco = QStringLiteral("/dados/erp") + suffix + QStringLiteral(".fdb");
        Values.Usuario = QStringLiteral("SYSDBA");
        Values.Senha = QStringLiteral("segredo") + suffix;
        Values.DiretorioGadgets = QStringLiteral("/opt/gadgets/");
        Values.Filial = QStringLiteral("01");
        SalvaIni(Values);
    }
}
