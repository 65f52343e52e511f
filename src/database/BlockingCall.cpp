#include "database/BlockingCall.h"

#include "database/FbClient.h"
#include "settings/ShownError.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

std::chrono::milliseconds StatementTimeout{30000};
std::chrono::milliseconds AttachTimeout{25000};
std::chrono::milliseconds CancelGrace{2000};

using Clock = std::chrono::steady_clock;

// What the caller and the worker share; the worker holds it to its end, so
// a caller that stops waiting leaves nothing behind that the worker uses.
struct BlockingCallState {
    BlockingCall kind = BlockingCall::Other;
    Clock::time_point started = Clock::now();
    std::function<void()> work;
    std::exception_ptr failure;
    std::atomic<Clock::rep> lastAnswer{Clock::now().time_since_epoch().count()};
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::function<void()> wake; // the user-interface thread's waiter, while it waits
};

namespace {

using Call = BlockingCallState;

BlockingCallRunner& blockingCallRunner() {
    static BlockingCallRunner runner;
    return runner;
}

std::function<void(BlockingCall)>& beforeBlockingCall() {
    static std::function<void(BlockingCall)> hook;
    return hook;
}

std::atomic<int> running{0};

void start(const std::shared_ptr<Call>& call) {
    running.fetch_add(1);
    // A thread of its own: a call given up may stay inside the library for
    // good without holding up the next one.
    std::thread([call] {
        fb::lastAnswer = &call->lastAnswer;
        {
            // The library is in use from the first call to the last: its
            // shutdown also breaks a query between two fetches.
            const fb::LibraryUse use;
            try {
                call->work();
            } catch (...) {
                call->failure = std::current_exception();
            }
            call->work = nullptr; // what it owned goes here, a given-up attachment with it
        }
        fb::lastAnswer = nullptr;
        {
            const std::lock_guard guard(call->lock);
            call->done = true;
            if (call->wake)
                call->wake();
            call->ended.notify_all();
        }
        running.fetch_sub(1);
    }).detach();
}

// Waits until the call is done or until() has passed; until() is asked
// afresh, as a call's progress moves it on. Returns whether it is done.
bool waitFor(Call& call, const std::function<Clock::time_point()>& until) {
    const QCoreApplication* app = QCoreApplication::instance();
    if (blockingCallRunner() && app && QThread::currentThread() == app->thread()) {
        blockingCallRunner()([&] {
            // Woken by the worker at its end; the timer stands at the bound,
            // moved on by the progress made meanwhile when it fires.
            QTimer bound;
            bound.setSingleShot(true);
            bound.setTimerType(Qt::PreciseTimer);
            QEventLoop loop;
            const auto check = [&] {
                const Clock::time_point deadline = until();
                const Clock::time_point now = Clock::now();
                if (now >= deadline) {
                    loop.quit();
                } else {
                    bound.start(std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
                }
            };
            QObject::connect(&bound, &QTimer::timeout, &loop, check);
            {
                const std::lock_guard guard(call.lock);
                if (call.done)
                    return true;
                call.wake = [&loop] {
                    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
                };
            }
            check();
            loop.exec(QEventLoop::ExcludeUserInputEvents);
            const std::lock_guard guard(call.lock);
            call.wake = nullptr;
            return call.done;
        });
    }
    std::unique_lock guard(call.lock);
    while (!call.done) {
        const Clock::time_point deadline = until();
        if (Clock::now() >= deadline)
            break;
        call.ended.wait_until(guard, deadline);
    }
    return call.done;
}

QString timeoutText(std::chrono::milliseconds bound) {
    QString seconds = QString::number(double(bound.count()) / 1000.0, 'g', 3);
    seconds.replace(QLatin1Char('.'), QLatin1Char(',')); // a decimal comma, as the texts are Portuguese
    return QStringLiteral("O banco de dados não respondeu em %1 %2. Verifique se o servidor está ligado e se "
                          "a rede até ele funciona, e tente de novo.")
        .arg(seconds,
             bound == std::chrono::seconds(1) ? QStringLiteral("segundo") : QStringLiteral("segundos"));
}

} // namespace

void setBlockingCallRunner(BlockingCallRunner runner) {
    blockingCallRunner() = std::move(runner);
}

int runningBlockingCalls() {
    return running.load();
}

void setBeforeBlockingCall(std::function<void(BlockingCall)> hook) {
    beforeBlockingCall() = std::move(hook);
}

StartedBlockingCall startBlockingCall(BlockingCall kind, std::function<void()> work) {
    if (beforeBlockingCall())
        beforeBlockingCall()(kind);
    auto call = std::make_shared<Call>();
    call->kind = kind;
    call->work = std::move(work);
    start(call);
    return call;
}

void runBlockingCall(BlockingCall kind, std::function<void()> work, std::chrono::milliseconds bound,
                     const std::function<void()>& cancel, const std::function<void()>& abandon) {
    finishBlockingCall(startBlockingCall(kind, std::move(work)), bound, cancel, abandon);
}

void finishBlockingCall(StartedBlockingCall call, std::chrono::milliseconds bound,
                        const std::function<void()>& cancel, const std::function<void()>& abandon) {
    bool done;
    if (call->kind == BlockingCall::Open) {
        const Clock::time_point until = call->started + bound;
        done = waitFor(*call, [until] { return until; });
    } else {
        // Silence, not work: each answer of the library (a row fetched)
        // starts the bound afresh.
        const std::atomic<Clock::rep>& answered = call->lastAnswer;
        done = waitFor(*call, [&answered, bound] {
            return Clock::time_point(Clock::duration(answered.load())) + bound;
        });
    }
    if (!done && cancel) {
        cancel();
        const Clock::time_point until = Clock::now() + CancelGrace;
        done = waitFor(*call, [until] { return until; });
    }
    if (!done) {
        if (abandon)
            abandon();
        throw ShownError(timeoutText(bound));
    }
    if (call->failure)
        std::rethrow_exception(call->failure);
}

void runBlockingCall(std::function<void()> work) {
    runBlockingCall(BlockingCall::Other, std::move(work), StatementTimeout, {}, {});
}
