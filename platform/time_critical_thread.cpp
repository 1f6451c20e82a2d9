#include "platform/time_critical_thread.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#endif

namespace platform {

void becomeTimeCritical([[maybe_unused]] const char* name) {
#ifdef _WIN32
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
#else
    pthread_setname_np(pthread_self(), name);
    sched_param parameter{};
    parameter.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameter);
#endif
}

} // namespace platform
