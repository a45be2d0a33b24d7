#pragma once
// The threads of the computations: one pool of threads that sleep between
// loops (they never spin, so the thread that writes the outputs and other
// programs on the machine keep their share). Every parallel loop of the
// program runs on it, one loop at a time; a loop started from inside a loop
// of the pool runs on its caller's thread alone.
#include <functional>

namespace lorvane {

// body(0), ..., body(count - 1) on `threads` threads, the calling one among
// them; indices are handed out one at a time in ascending order. Returns
// when every call has returned; an exception from a call is rethrown here
// (the first one; no index is handed out after it).
void parallelfor(int count, int threads, const std::function<void(int)>& body);

// body(0), ..., body(threads - 1) at once, each on a thread of its own,
// body(0) on the calling thread: a team for a loop whose steps share their
// work out themselves (a counter of rows, of batches). Returns when every
// call has returned; an exception from a call is rethrown here (the first
// one), after the others have returned.
void eachthread(int threads, const std::function<void(int)>& body);

}  // namespace lorvane
