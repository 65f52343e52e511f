#include "database/BlockingCall.h"

#include "database/FbClient.h"
#include "settings/ShownError.h"

#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

std::chrono::milliseconds StatementTimeout{30000};
std::chrono::milliseconds AttachTimeout{25000};
std::chrono::milliseconds CancelGrace{2000};

namespace {

BlockingCallRunner& blockingCallRunner() {
    static BlockingCallRunner runner;
    return runner;
}

using Clock = std::chrono::steady_clock;

// A call on its worker thread; shared, so that a worker that outlives its
// given-up caller still has what it uses.
struct Call {
    fb::CallGate gate;
    std::function<void()> work;
    std::exception_ptr failure;
    bool workEnded = false; // written under the gate, before the worker lets it go
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;

    bool isDone() {
        const std::lock_guard guard(lock);
        return done;
    }
};

// Waits until the call is done or until() has passed; until() is asked
// afresh, as a call's progress moves it on.
void waitFor(Call& call, const std::function<Clock::time_point()>& until) {
    const auto finished = [&] { return call.isDone() || Clock::now() >= until(); };
    if (BlockingCallRunner& runner = blockingCallRunner()) {
        while (!finished())
            runner(finished);
        return;
    }
    std::unique_lock guard(call.lock);
    while (!call.done) {
        const Clock::time_point deadline = until();
        if (Clock::now() >= deadline)
            return;
        call.ended.wait_until(guard, deadline);
    }
}

void waitFor(Call& call, Clock::time_point until) {
    waitFor(call, [until] { return until; });
}

void run(Call& call) {
    fb::currentGate = &call.gate;
    call.gate.ours.lock();
    {
        // The library is in use from the first call to the last: its
        // shutdown also breaks a query between two fetches.
        const fb::LibraryUse use;
        try {
            call.work();
        } catch (...) { // fb::CallAbandoned included: nobody waits for it any more
            call.failure = std::current_exception();
        }
    }
    call.workEnded = true;
    call.gate.ours.unlock();
    fb::currentGate = nullptr;
}

// Worker threads live as long as the process and take one call after the
// other: the client library keeps state per thread, and a thread a call
// would cost more than the call. A worker held up in a given-up call is
// passed over until it comes back; only then is another one started.
struct Worker {
    std::mutex lock;
    std::condition_variable wake;
    std::shared_ptr<Call> next;
    bool busy = true;
};

std::mutex& poolLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

void serve(const std::shared_ptr<Worker>& worker) {
    for (;;) {
        std::shared_ptr<Call> call;
        {
            std::unique_lock guard(worker->lock);
            worker->wake.wait(guard, [&] { return worker->next != nullptr; });
            call = std::move(worker->next);
        }
        run(*call);
        {
            const std::lock_guard pool(poolLock());
            worker->busy = false;
        }
        {
            const std::lock_guard guard(call->lock);
            call->done = true;
        }
        call->ended.notify_all();
    }
}

void startOnWorker(const std::shared_ptr<Call>& call) {
    // Never destroyed: workers outlive every static.
    static auto& workers = *new std::vector<std::shared_ptr<Worker>>;
    std::shared_ptr<Worker> chosen;
    {
        const std::lock_guard pool(poolLock());
        for (const auto& worker : workers) {
            if (!worker->busy) {
                worker->busy = true;
                chosen = worker;
                break;
            }
        }
        if (!chosen) {
            chosen = std::make_shared<Worker>();
            workers.push_back(chosen);
            std::thread([chosen] { serve(chosen); }).detach();
        }
    }
    {
        const std::lock_guard guard(chosen->lock);
        chosen->next = call;
    }
    chosen->wake.notify_one();
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

namespace {
std::function<void(BlockingCall)>& beforeBlockingCall() {
    static std::function<void(BlockingCall)> hook;
    return hook;
}
} // namespace

void setBeforeBlockingCall(std::function<void(BlockingCall)> hook) {
    beforeBlockingCall() = std::move(hook);
}

void runBlockingCall(BlockingCall kind, const std::function<void()>& work, std::chrono::milliseconds bound,
                     const std::function<void()>& cancel, const std::function<void()>& abandon) {
    if (fb::currentGate) { // already on a call's worker: part of that call
        work();
        return;
    }
    if (beforeBlockingCall())
        beforeBlockingCall()(kind);
    auto call = std::make_shared<Call>();
    call->work = work;
    startOnWorker(call);
    if (kind == BlockingCall::Open) {
        waitFor(*call, Clock::now() + bound);
    } else {
        // Silence, not work: each answer of the library (a row fetched)
        // starts the bound afresh.
        const fb::CallGate& gate = call->gate;
        waitFor(*call, [&gate, bound] {
            return Clock::time_point(Clock::duration(gate.lastAnswer.load())) + bound;
        });
    }
    if (!call->isDone() && cancel) {
        cancel();
        waitFor(*call, Clock::now() + CancelGrace);
    }
    while (!call->isDone()) {
        // Given up only while the worker is inside the library: then it
        // touches nothing of ours any more (see fb::CallGate).
        if (call->gate.ours.try_lock_for(std::chrono::milliseconds(50))) {
            if (!call->workEnded) {
                call->gate.abandoned = true;
                call->gate.ours.unlock();
                if (abandon)
                    abandon();
                throw ShownError(timeoutText(bound));
            }
            call->gate.ours.unlock();
            waitFor(*call, Clock::time_point::max());
        }
    }
    if (call->failure)
        std::rethrow_exception(call->failure);
}

void runBlockingCall(const std::function<void()>& work) {
    runBlockingCall(BlockingCall::Other, work, StatementTimeout, {}, {});
}
