#include "database/FbClient.h"

#include "database/FirebirdInstallation.h"
#include "settings/ShownError.h"

#include <QCoreApplication>

#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace fb {

thread_local std::atomic<std::chrono::steady_clock::rep>* lastAnswer = nullptr;

std::chrono::seconds ConnectTimeout{15};

namespace {

// How long the engine may take to close what is still open at exit.
constexpr unsigned int ShutdownTimeoutMs = 5000;

QString notFound(const QString& name) {
    return QStringLiteral("InterBase library %1 not found in the path. Please install InterBase to use this "
                          "functionality")
        .arg(name);
}

template <class Fn> bool resolve(void* library, const char* symbol, Fn& target) {
    target = reinterpret_cast<Fn>(librarySymbol(library, symbol));
    return target != nullptr;
}

template <class Fn> bool resolve(void* library, const char* symbol, Entry<Fn>& target) {
    return resolve(library, symbol, target.fn);
}

bool resolveAll(void* library, Api& api) {
    return resolve(library, "isc_attach_database", api.attach_database) &&
           resolve(library, "isc_detach_database", api.detach_database) &&
           resolve(library, "isc_database_info", api.database_info) &&
           resolve(library, "isc_start_multiple", api.start_multiple) &&
           resolve(library, "isc_commit_transaction", api.commit_transaction) &&
           resolve(library, "isc_rollback_transaction", api.rollback_transaction) &&
           resolve(library, "isc_dsql_alloc_statement2", api.dsql_alloc_statement2) &&
           resolve(library, "isc_dsql_prepare", api.dsql_prepare) &&
           resolve(library, "isc_dsql_describe", api.dsql_describe) &&
           resolve(library, "isc_dsql_execute2", api.dsql_execute2) &&
           resolve(library, "isc_dsql_fetch", api.dsql_fetch) &&
           resolve(library, "isc_dsql_free_statement", api.dsql_free_statement) &&
           resolve(library, "fb_interpret", api.interpret) &&
           resolve(library, "fb_cancel_operation", api.cancel_operation);
}

void appendItem(QByteArray& block, char item, const QByteArray& value, const char* what) {
    if (value.size() > 255)
        throw ShownError(QStringLiteral("%1 tem %2 bytes, e o cliente do banco de dados aceita no máximo "
                                        "255. Encurte em \"Configurações\" e salve de novo.")
                             .arg(QString::fromUtf8(what))
                             .arg(value.size()));
    block.append(item);
    block.append(static_cast<char>(static_cast<unsigned char>(value.size())));
    block.append(value);
}

bool isValidUtf8(const unsigned char* p, qsizetype n) {
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        char32_t min;
        char32_t cp;
        if ((c & 0xE0) == 0xC0) {
            extra = 1, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

using ShutdownFn = int (*)(unsigned int, const int);
using ShutdownCallbackFn = ISC_STATUS (*)(ISC_STATUS*, FB_SHUTDOWN_CALLBACK, const int, void*);

void (*signalForwarder)(int) = nullptr;

// The client library takes SIGINT and SIGTERM for itself once loaded and
// shuts its engine down on them, leaving the program running without it.
// Asked first, this refuses that shutdown and hands the signal to the
// program's own end, which shuts the engine down in order at exit.
int onClientShutdown(const int reason, const int, void*) {
    if (reason != fb_shutrsn_signal)
        return 0;
    if (signalForwarder)
        signalForwarder(SIGTERM);
    return 1; // not now: the program ends itself
}

// The loaded libraries' shutdown entries, called once at exit.
std::vector<ShutdownFn>& shutdowns() {
    static auto& list = *new std::vector<ShutdownFn>;
    return list;
}

// Whether threads may enter the library, and how many are inside it.
enum class Use { Open, Closing, Closed };
std::atomic<Use> libraryState{Use::Open};
std::atomic<int> usersInside{0};
// Never destroyed: threads may wait on them while the process ends.
std::mutex& stateLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
std::condition_variable& stateChanged() {
    static auto* changed = new std::condition_variable;
    return *changed;
}

// An embedded engine left running at exit ends its threads while the
// process tears down around them; shut down with the application object
// (or at exit without one), it ends them first. When that is not allowed
// or does not end, the process goes at once, its work being done.
void shutDownAtEnd() {
    if (!closeClients(std::chrono::milliseconds(ShutdownTimeoutMs)))
        std::_Exit(EXIT_SUCCESS);
}
} // namespace

LibraryUse::LibraryUse() {
    for (;;) {
        // Counted first, then the state read; closeClients does the
        // opposite: one of the two always sees the other.
        usersInside.fetch_add(1);
        if (libraryState.load() != Use::Closing)
            return;
        usersInside.fetch_sub(1);
        std::unique_lock guard(stateLock());
        stateChanged().wait(guard, [] { return libraryState.load() != Use::Closing; });
    }
}

LibraryUse::~LibraryUse() {
    usersInside.fetch_sub(1);
}

bool closeClients(std::chrono::milliseconds bound) {
    {
        const std::lock_guard guard(stateLock());
        Use expected = Use::Open;
        if (!libraryState.compare_exchange_strong(expected, Use::Closing))
            return expected == Use::Closed; // shut down already, or being shut down by another thread
    }
    if (usersInside.load() != 0)
        return false; // stays closed: the process goes without the shutdown
    // The library waits for what its own threads still run, whatever
    // time-out it is given: the shutdown runs on a thread of its own, and is
    // left there when the bound runs out.
    auto finished = std::make_shared<std::promise<void>>();
    std::future<void> ended = finished->get_future();
    std::thread([finished] {
        for (ShutdownFn shutdown : shutdowns())
            shutdown(ShutdownTimeoutMs, fb_shutrsn_app_stopped);
        finished->set_value();
    }).detach();
    if (ended.wait_for(bound) != std::future_status::ready)
        return false;
    {
        const std::lock_guard guard(stateLock());
        libraryState.store(Use::Closed);
    }
    stateChanged().notify_all();
    return true;
}

void setSignalForwarder(void (*forward)(int)) {
    signalForwarder = forward;
}

const Api& load() {
    // One entry per library name ever loaded; never unloaded. Entries stay
    // where they are: connections keep pointers to them, also connections
    // held in globals, which are released after the statics.
    static std::mutex mutex;
    static auto& loaded = *new std::map<QString, Api>;
    std::lock_guard lock(mutex);
    const QString name = LibraryName;
    const auto found = loaded.find(name);
    if (found != loaded.end())
        return found->second;
    const LibraryUse use; // loading runs the library's own start-up
    // The first of the platform's names that loads with every function.
    const QStringList candidates = libraryCandidates(name);
    void* library = nullptr;
    Api api;
    for (const QString& candidate : candidates) {
        library = openLibrary(candidate);
        if (library && resolveAll(library, api))
            break;
        if (library)
            closeLibrary(library);
        library = nullptr;
        api = Api{};
    }
    if (!library)
        throw ShownError(notFound(candidates.join(QStringLiteral(", "))));
    if (ShutdownFn shutdown = nullptr; resolve(library, "fb_shutdown", shutdown)) {
        if (shutdowns().empty()) {
            std::atexit(shutDownAtEnd);
            if (QCoreApplication::instance())
                qAddPostRoutine(shutDownAtEnd);
        }
        shutdowns().push_back(shutdown);
    }
    if (ShutdownCallbackFn callback = nullptr; resolve(library, "fb_shutdown_callback", callback)) {
        ISC_STATUS_ARRAY status{};
        callback(status, onClientShutdown, fb_shut_confirmation, nullptr);
    }
    return loaded.emplace(name, api).first->second;
}

QByteArray parameterBlock(const std::optional<QByteArray>& user, const std::optional<QByteArray>& password) {
    QByteArray block;
    block.append(static_cast<char>(isc_dpb_version1));
    // Declared, not inherited: the client would otherwise read the texts in
    // the locale's character set, and accents would fail outside UTF-8.
    appendItem(block, isc_dpb_utf8_filename, QByteArray(), "O indicador de nome de arquivo");
    if (user)
        appendItem(block, isc_dpb_user_name, *user, "O nome de usuário");
    if (password)
        appendItem(block, isc_dpb_password, *password, "A senha");
    appendItem(block, isc_dpb_lc_ctype, QByteArrayLiteral("UTF8"), "O conjunto de caracteres");
    const auto seconds = static_cast<quint32>(ConnectTimeout.count());
    QByteArray timeout(4, Qt::Uninitialized);
    for (int i = 0; i < 4; ++i)
        timeout[i] = static_cast<char>((seconds >> (8 * i)) & 0xFF);
    appendItem(block, isc_dpb_connect_timeout, timeout, "O tempo limite de conexão");
    return block;
}

QByteArray parameterBlock(const QStringList& params) {
    std::optional<QByteArray> user;
    std::optional<QByteArray> password;
    for (const QString& line : params) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString name = line.left(eq).trimmed();
        if (!user && name.compare(QLatin1String("user_name"), Qt::CaseInsensitive) == 0)
            user = line.mid(eq + 1).toUtf8();
        else if (!password && name.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
            password = line.mid(eq + 1).toUtf8();
    }
    return parameterBlock(user, password);
}

QString errorText(const Api& api, const ISC_STATUS* status) {
    QByteArray text;
    char buffer[1024];
    const ISC_STATUS* cursor = status;
    while (api.interpret(buffer, sizeof buffer, &cursor) > 0) {
        if (!text.isEmpty() && !text.endsWith('\n'))
            text.append("\r\n");
        text.append(buffer);
    }
    if (text.endsWith('.'))
        text.chop(1);
    return decodeText(text.constData(), text.size());
}

QString decodeText(const char* data, qsizetype size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size && bytes[i] < 0x80)
        ++i;
    if (i == size)
        return QString::fromLatin1(data, size);
    if (isValidUtf8(bytes + i, size - i))
        return QString::fromUtf8(data, size);
    return QString::fromLatin1(data, size);
}

// ------------------------------------------------------------- handles

Attachment::Attachment(const QByteArray& name, const QByteArray& block) {
    const Api& api = load();
    ISC_STATUS_ARRAY status{};
    if (api.attach_database(status, static_cast<short>(name.size()), name.constData(), &m_handle,
                            static_cast<short>(block.size()), block.constData()))
        throw ShownError(errorText(api, status));
    m_api = &api;
    const char items[] = {isc_info_db_sql_dialect, isc_info_end};
    char answer[64] = {};
    if (api.database_info(status, &m_handle, sizeof items, items, sizeof answer, answer)) {
        const QString text = errorText(api, status);
        ISC_STATUS_ARRAY cleanup{};
        api.detach_database(cleanup, &m_handle);
        throw ShownError(text);
    }
    if (static_cast<unsigned char>(answer[0]) == isc_info_db_sql_dialect) {
        const int length =
            static_cast<unsigned char>(answer[1]) | (static_cast<unsigned char>(answer[2]) << 8);
        if (length >= 1 && length <= 4) {
            unsigned value = 0;
            for (int i = 0; i < length; ++i)
                value |= static_cast<unsigned>(static_cast<unsigned char>(answer[3 + i])) << (8 * i);
            if (value >= 1 && value < SQL_DIALECT_V6)
                m_dialect = static_cast<unsigned short>(value);
        }
    }
}

Attachment& Attachment::operator=(Attachment&& other) noexcept {
    if (this != &other) {
        if (m_handle) {
            ISC_STATUS_ARRAY cleanup{};
            m_api->detach_database(cleanup, &m_handle);
        }
        m_api = other.m_api;
        m_handle = std::exchange(other.m_handle, 0);
        m_dialect = other.m_dialect;
    }
    return *this;
}

Attachment::~Attachment() {
    if (m_handle) {
        ISC_STATUS_ARRAY cleanup{};
        m_api->detach_database(cleanup, &m_handle);
    }
}

void Attachment::detach() {
    ISC_STATUS_ARRAY status{};
    isc_db_handle detaching = std::exchange(m_handle, 0);
    if (detaching && m_api->detach_database(status, &detaching))
        throw ShownError(errorText(*m_api, status));
}

void Attachment::cancel(const Api* api, isc_db_handle handle) {
    if (api && handle) {
        const LibraryUse use;
        ISC_STATUS_ARRAY status{};
        api->cancel_operation(status, &handle, fb_cancel_raise);
    }
}

namespace {
// The transaction parameter block entry of isc_start_multiple.
struct TransactionBlock {
    isc_db_handle* database;
    int length;
    const char* parameters;
};
} // namespace

Transaction::Transaction(Attachment& attachment) : m_api(&attachment.api()) {
    TransactionBlock block{attachment.handle(), 0, nullptr};
    ISC_STATUS_ARRAY status{};
    if (m_api->start_multiple(status, &m_handle, 1, &block))
        throw ShownError(errorText(*m_api, status));
}

Transaction::~Transaction() {
    if (m_handle) {
        ISC_STATUS_ARRAY cleanup{};
        m_api->rollback_transaction(cleanup, &m_handle);
    }
}

void Transaction::commit() {
    ISC_STATUS_ARRAY status{};
    if (m_handle && m_api->commit_transaction(status, &m_handle)) {
        const QString failure = errorText(*m_api, status);
        ISC_STATUS_ARRAY cleanup{};
        m_api->rollback_transaction(cleanup, &m_handle);
        m_handle = 0;
        throw ShownError(failure);
    }
    m_handle = 0;
}

Statement::Statement(Attachment& attachment) : m_api(&attachment.api()) {
    ISC_STATUS_ARRAY status{};
    if (m_api->dsql_alloc_statement2(status, attachment.handle(), &m_handle)) {
        m_handle = 0;
        throw ShownError(errorText(*m_api, status));
    }
}

Statement::~Statement() {
    if (m_handle) {
        ISC_STATUS_ARRAY cleanup{};
        m_api->dsql_free_statement(cleanup, &m_handle, DSQL_drop);
    }
}

} // namespace fb
