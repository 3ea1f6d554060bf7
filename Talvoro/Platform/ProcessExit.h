#pragma once

#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define TALVORO_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define TALVORO_LEAK_CHECK 1
#endif
#endif
#ifdef TALVORO_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace talvoro {

// Ends the process with `code` once main's own objects are gone, without running
// the exit-time destructors of static objects.
//
// Qt Multimedia 6.4's process-wide PulseAudio engine is such a static. Its
// destructor disconnects from the sound server without taking the PulseAudio
// event loop's lock while that loop's thread may still be dispatching the event
// that closing the last stream produced, and the process then dies in
// pa_pdispatch_run after having done all its work (QTBUG-125213, fixed in Qt
// 6.7.3). The caller destroys the application object, and with it every stream,
// before calling this; what is left is memory the system takes back anyway.
[[noreturn]] inline void exitProcess(int code)
{
    std::fflush(nullptr);
#ifdef TALVORO_LEAK_CHECK
    // Leak checking normally runs from an exit handler, which _Exit skips.
    __lsan_do_leak_check();
#endif
    std::_Exit(code);
}

} // namespace talvoro
