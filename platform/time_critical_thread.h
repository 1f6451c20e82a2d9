// The audio refill thread's claim on the processor: it must win against the render loop, or the
// device plays the ring's old content again.
#pragma once

namespace platform {

// Raises the calling thread to the highest priority the system grants (THREAD_PRIORITY_TIME_CRITICAL on
// Windows, SCHED_FIFO on Linux where the process may use it; a refused raise leaves the priority as it
// was) and, on Linux, gives it `name` in the process's thread list.
void becomeTimeCritical(const char* name);

} // namespace platform
