#pragma once

// The bounded wait of every database client call: the call runs on a
// worker thread with its own copy of everything it passes to the library,
// and its caller waits at most a bound, then cancels and finally stops
// waiting.

#include <chrono>
#include <functional>
#include <memory>

// Every client call that may wait (on the network, on a damaged file) runs
// on a worker thread, and its caller waits a bounded time:
// - opening a connection: the client's connect time-out (fb::ConnectTimeout,
//   15 s) covers reaching a server and gives the client's own verdict;
//   AttachTimeout (25 s, above it) bounds the whole opening, also an
//   embedded attach that never returns: one call, which shows no progress;
// - a query (prepare, execute, every fetch), a commit, a close:
//   StatementTimeout bounds the silence, the time since the library last
//   answered (a query that keeps delivering rows runs to its end); then
//   the call is cancelled and, when it still does not return within
//   CancelGrace, given up.
// A call given up fails with "O banco de dados não respondeu em N
// segundos..."; the worker keeps what it uses and ends on its own, and the
// connection it ran on can no longer be used. Variables, so that tests can
// shorten them.
extern std::chrono::milliseconds StatementTimeout;
extern std::chrono::milliseconds AttachTimeout;
extern std::chrono::milliseconds CancelGrace;

// How the user-interface thread waits: wait() runs a local event loop that
// keeps the windows painting, holds user input back and returns whether the
// call ended (false at the bound, or when the application's loops are told
// to end). The program installs a runner around it (the wait cursor, the
// end on a signal); without one, and on any other thread, the caller
// simply blocks.
using BlockingCallRunner = std::function<void(const std::function<bool()>& wait)>;
void setBlockingCallRunner(BlockingCallRunner runner);

enum class BlockingCall { Open, Query, Commit, Close, Other };
// Called on the caller's thread before each call starts: a seam for tests
// that act between two calls (stop a server, count attachments).
void setBeforeBlockingCall(std::function<void(BlockingCall)> hook);

// How many calls' workers are still running, given-up ones included: a seam
// for tests that wait for them to end.
int runningBlockingCalls();

// Runs work on a worker thread, waiting at most bound (for an Open in all,
// for any other kind without an answer of the library; cancel is tried
// first, abandon runs on the caller's thread when the call is given up);
// passes its exception on. work must own what it uses: captured by value
// or shared, never by reference, as it may outlive the caller's wait.
void runBlockingCall(BlockingCall kind, std::function<void()> work, std::chrono::milliseconds bound,
                     const std::function<void()>& cancel, const std::function<void()>& abandon);
// The same in two steps, so that the caller can do other work while the
// worker runs: startBlockingCall starts it (after the hook above) and
// returns at once; finishBlockingCall waits for it as runBlockingCall does,
// an Open's bound counted from the start. A started call dropped without the
// wait is given up: its worker keeps what it owns and ends on its own.
struct BlockingCallState;
using StartedBlockingCall = std::shared_ptr<BlockingCallState>;
StartedBlockingCall startBlockingCall(BlockingCall kind, std::function<void()> work);
void finishBlockingCall(StartedBlockingCall call, std::chrono::milliseconds bound,
                        const std::function<void()>& cancel, const std::function<void()>& abandon);
// Another wait of the database work (a pause between attempts), with
// StatementTimeout and nothing to cancel.
void runBlockingCall(std::function<void()> work);
