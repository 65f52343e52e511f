#include "ui/Resources.h"

#include "platform/Platform.h"
#include "platform/QtPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QResource>
#include <QtEndian>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Whether data is a whole binary resource file: Qt reads the tree, names
// and data at the offsets of its header without checking them against a
// mapped file's length, so a truncated or foreign file must stop here.
bool wholeResourceFile(const uchar* data, qint64 size) {
    constexpr qint64 HeaderSize = 20; // magic, version, three offsets
    if (size < HeaderSize || qstrncmp(reinterpret_cast<const char*>(data), "qres", 4) != 0)
        return false;
    const quint32 version = qFromBigEndian<quint32>(data + 4);
    if (version < 1 || version > 3)
        return false;
    for (int field = 2; field < 5; ++field) {
        if (qint64(qFromBigEndian<quint32>(data + 4 * field)) >= size)
            return false;
    }
    return true;
}

QString cannotLoad(const QString& path, const QString& reason) {
    return QStringLiteral("Não foi possível carregar os desenhos do Orvanto de %1: %2. Reinstale o Orvanto.")
        .arg(QDir::toNativeSeparators(path), reason);
}

// A program of this build folder, as opposed to an installed one. (A cross
// build's programs under Wine see the build folder's POSIX path on the
// drive they run from.)
bool inBuildFolder(const QString& programFolder) {
    const QString build = QFileInfo(QStringLiteral(ORVANTO_BUILD_DIR)).canonicalFilePath();
    const QString program = QFileInfo(programFolder).canonicalFilePath();
    if (build.isEmpty() || program.isEmpty())
        return false;
    return program == build || program.startsWith(build + u'/');
}

QStringList installedFolders(const QString& programFolder) {
    QStringList folders;
    for (const QString& relative : QStringLiteral(ORVANTO_ARTWORK_RELATIVE).split(u'|'))
        folders << QDir::cleanPath(programFolder + u'/' + relative);
    folders.removeDuplicates();
    return folders;
}

} // namespace

ArtworkFile::ArtworkFile(const QString& path) : m_file(path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        m_error = cannotLoad(path, QStringLiteral("o arquivo não existe"));
        return;
    }
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_error = cannotLoad(
            path, info.isDir()
                      ? QStringLiteral("é uma pasta, não um arquivo")
                      : QStringLiteral("o arquivo não pode ser lido (%1)").arg(m_file.errorString()));
        return;
    }
    const qint64 size = m_file.size();
    const uchar* data = size > 0 ? m_file.map(0, size) : nullptr;
    if (!data && size > 0) {
        m_error = cannotLoad(
            path, QStringLiteral("o arquivo não pode ser mapeado na memória (%1)").arg(m_file.errorString()));
        return;
    }
    // The mapping outlives the descriptor, which the program needs no more
    // (nor a gadget it starts).
    m_file.close();
    if (!data || !wholeResourceFile(data, size) || !QResource::registerResource(data)) {
        m_error = cannotLoad(path, QStringLiteral("o arquivo está danificado ou não é desta versão"));
        return;
    }
    m_data = data;
}

ArtworkFile::~ArtworkFile() {
    if (m_data)
        QResource::unregisterResource(m_data);
}

QStringList artworkFolders(const QString& programFolder) {
    QStringList folders = installedFolders(programFolder);
    if (inBuildFolder(programFolder))
        folders << QStringLiteral(ORVANTO_ARTWORK_BUILD_DIR);
    return folders;
}

QString artworkFolder(const QString& programFolder) {
    const QStringList folders = artworkFolders(programFolder);
    for (const QString& folder : folders) {
        if (QFileInfo::exists(folder + u'/' + QLatin1String(ArtworkFileNames[0])))
            return folder;
    }
    for (const QString& folder : installedFolders(programFolder)) {
        if (QFileInfo(folder).isDir())
            return folder;
    }
    return folders.first();
}

QString initOrvantoResources() {
    Q_INIT_RESOURCE(orvanto);
    // Mapped once for the process, and never taken away while it runs:
    // pictures drawn from it live as long as the application object.
    static std::vector<std::unique_ptr<ArtworkFile>> artwork;
    if (!artwork.empty())
        return artwork.back()->error();
    const QString folder = artworkFolder(QCoreApplication::applicationDirPath());
    for (const char* name : ArtworkFileNames) {
        artwork.push_back(std::make_unique<ArtworkFile>(folder + u'/' + QLatin1String(name)));
        if (!artwork.back()->isLoaded())
            return artwork.back()->error();
    }
    return {};
}

bool loadProgramResources() {
    const QString error = initOrvantoResources();
    if (error.isEmpty())
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(error));
    std::fflush(stderr);
    // The stand-in gadget has no platform object of its own: the same box.
    QtPlatform desktop;
    Platform& boxes = standardPlatform() ? platform() : desktop;
    boxes.messageBox(MessageKind::Error, QCoreApplication::applicationName(), error);
    return false;
}
