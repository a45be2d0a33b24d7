#pragma once
// The threads of the computations: a loop over indices spread over a few
// threads that sleep between loops (they never spin, so the thread that
// writes the outputs and other programs on the machine keep their share).
#include <functional>

namespace lorvane {

// body(0), ..., body(count - 1) on `threads` threads, the calling one among
// them; indices are handed out one at a time in ascending order. Returns
// when every call has returned; an exception from a call is rethrown here
// (the first one; the other indices still run).
void parallelfor(int count, int threads, const std::function<void(int)>& body);

}  // namespace lorvane
