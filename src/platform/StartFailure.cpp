#include "platform/StartFailure.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// The first bytes of a regular file, enough for a script's "#!" line or a
// program's header; empty when it cannot be read.
QByteArray head(const QByteArray& file) {
    const int fd = ::open(file.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    char buffer[256];
    ssize_t n;
    do {
        n = ::read(fd, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}

// The interpreter a script names on its "#!" line, as the system reads it
// (up to the first blank or line end; a CR stays part of the name); empty
// for anything else.
QByteArray interpreterOf(const QByteArray& start) {
    if (!start.startsWith("#!"))
        return {};
    qsizetype from = 2;
    while (from < start.size() && (start[from] == ' ' || start[from] == '\t'))
        ++from;
    qsizetype to = from;
    while (to < start.size() && start[to] != ' ' && start[to] != '\t' && start[to] != '\n')
        ++to;
    return start.mid(from, to - from);
}

QString missingReason(const QByteArray& file) {
    struct stat link {};
    if (::lstat(file.constData(), &link) != 0)
        return QStringLiteral("O arquivo não foi encontrado.");
    struct stat target {};
    if (::stat(file.constData(), &target) != 0)
        return QStringLiteral("O arquivo é um link simbólico que aponta para um arquivo que não existe.");
    // The file is there: what it needs in order to run is not.
    QByteArray interpreter = interpreterOf(head(file));
    if (interpreter.endsWith('\r')) {
        interpreter.chop(1);
        return QStringLiteral(
                   "O arquivo tem quebras de linha do Windows: o sistema procura o interpretador \"%1\" "
                   "com um CR no fim do nome e não o encontra.")
            .arg(QFile::decodeName(interpreter));
    }
    if (!interpreter.isEmpty())
        return QStringLiteral(
                   "O interpretador \"%1\" indicado na primeira linha do arquivo não foi encontrado.")
            .arg(QFile::decodeName(interpreter));
    return QStringLiteral(
        "O carregador de programas de que o arquivo precisa não está instalado no sistema.");
}

QString deniedReason(const QByteArray& file) {
    struct stat target {};
    if (::stat(file.constData(), &target) != 0)
        return QStringLiteral("Não há permissão para entrar na pasta do arquivo.");
    if (S_ISDIR(target.st_mode))
        return QStringLiteral("O caminho é uma pasta, não um programa.");
    if (!S_ISREG(target.st_mode))
        return QStringLiteral("O caminho não é um arquivo comum e não pode ser executado.");
    if (::access(file.constData(), X_OK) != 0)
        return QStringLiteral("O arquivo não tem permissão de execução.");
    struct statvfs volume {};
    if (::statvfs(file.constData(), &volume) == 0 && (volume.f_flag & ST_NOEXEC))
        return QStringLiteral(
            "O arquivo está num disco ou partição em que o sistema não permite executar programas.");
    const QByteArray interpreter = interpreterOf(head(file));
    if (!interpreter.isEmpty())
        return QStringLiteral(
                   "O interpretador \"%1\" indicado na primeira linha do arquivo não pode ser executado.")
            .arg(QFile::decodeName(interpreter));
    return QStringLiteral("O sistema não permitiu executar o arquivo.");
}

QString notProgramReason(const QByteArray& file) {
    if (head(file).startsWith("\x7f"
                              "ELF"))
        return QStringLiteral("O arquivo é um programa de outro tipo de computador, ou está danificado.");
    return QStringLiteral("O arquivo não é um programa que possa ser executado.");
}

} // namespace

QString startFailureReason(const QString& path, int error) {
    const QByteArray file = QFile::encodeName(path);
    switch (error) {
    case ENOENT:
        return missingReason(file);
    case ENOTDIR:
        return QStringLiteral("Uma parte do caminho do arquivo não é uma pasta.");
    case EACCES:
        return deniedReason(file);
    case EPERM:
        return QStringLiteral("O sistema não permitiu executar o arquivo.");
    case ELOOP:
        return QStringLiteral(
            "O arquivo é um link simbólico que forma um ciclo e não leva a nenhum arquivo.");
    case ENOEXEC:
        return notProgramReason(file);
    case ENAMETOOLONG:
        return QStringLiteral("O caminho do arquivo é longo demais.");
    case ETXTBSY:
        return QStringLiteral("O arquivo está sendo gravado por outro programa.");
    case ELIBBAD:
        return QStringLiteral("Uma biblioteca de que o programa precisa está danificada.");
    case EIO:
        return QStringLiteral("Houve um erro de leitura no disco ao abrir o arquivo.");
    case ENOMEM:
        return QStringLiteral("Não há memória suficiente para iniciar o programa.");
    case EAGAIN:
        return QStringLiteral("O limite de programas em execução foi atingido.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Há arquivos abertos demais no sistema.");
    case E2BIG:
        return QStringLiteral("O ambiente passado ao programa é grande demais.");
    default:
        // The system's own text would be English; its number is what helps.
        return QStringLiteral("O sistema não conseguiu iniciar o programa (erro %1).").arg(error);
    }
}
