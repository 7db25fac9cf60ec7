// Internal: the service threads a server started, kept so that a caller that
// must know they are gone (a library about to be unloaded, a server whose
// sessions it has already ended) can wait for them.
//
// By default a service thread runs on by itself, as the socket layer has
// always done: its handle is closed at once. For the services named with
// KeepServiceThreads, the listener keeps each thread's handle under the
// listening socket; the server hands them over to itself when it stops, and
// JoinServiceThreads waits for them and closes the handles.
#pragma once
#include "kv/comm_net.h"
#include "platform/kernel/win_types.h"

namespace kvnet {

// Threads of `service` are kept for joining from now on.
void KeepServiceThreads(KVNET_SERVER_SERVICE service);
bool ServiceThreadsKept(KVNET_SERVER_SERVICE service);

// The listener's record of a thread it started for `owner`. Handles of the
// owner's threads that have already ended are closed on the way, so that a
// long-running server's list stays as long as its live sessions.
void AddServiceThread(const void* owner, kvp::HANDLE thread);

// The threads recorded under `from` are recorded under `to` from now on.
void HandOverServiceThreads(const void* from, const void* to);

// Waits until every thread recorded under `owner` has ended, then closes
// their handles. The caller must have ended their sessions first.
void JoinServiceThreads(const void* owner);

// Threads recorded under `owner` and not yet joined (tests).
unsigned ServiceThreadsOf(const void* owner);

}  // namespace kvnet
