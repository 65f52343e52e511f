#pragma once

// The bounded wait of every database client call: the call runs on a
// long-lived worker thread, its caller waits at most a bound, then cancels
// and finally gives the call up.

#include <chrono>
#include <functional>

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
// segundos..."; its connection is let go (left to the library) and can no
// longer be used. Variables, so that tests can shorten them.
extern std::chrono::milliseconds StatementTimeout;
extern std::chrono::milliseconds AttachTimeout;
extern std::chrono::milliseconds CancelGrace;

// How the caller waits: by default it blocks; the program installs a waiter
// that keeps its windows painting. The waiter returns when finished() says
// so, or earlier when the application's loops are told to end.
using BlockingCallRunner = std::function<void(const std::function<bool()>& finished)>;
void setBlockingCallRunner(BlockingCallRunner runner);
enum class BlockingCall { Open, Query, Commit, Close, Other };
// Called on the caller's thread before each call starts: a seam for tests
// that act between two calls (stop a server, count attachments).
void setBeforeBlockingCall(std::function<void(BlockingCall)> hook);
// Runs work on a worker thread, waiting at most bound (for an Open in all,
// for any other kind without an answer of the library; cancel is tried
// first, abandon runs when the call is given up); passes its exception on.
void runBlockingCall(BlockingCall kind, const std::function<void()>& work, std::chrono::milliseconds bound,
                     const std::function<void()>& cancel, const std::function<void()>& abandon);
// Another wait of the database work (a pause between attempts), with
// StatementTimeout and nothing to cancel.
void runBlockingCall(const std::function<void()>& work);
