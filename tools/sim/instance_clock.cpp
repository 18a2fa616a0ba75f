// The one entry point the simulator's own build of the kit adds for its
// instances: the library's clock seam, which the shared kit keeps to
// itself, so that an instance's sessions run on simulated time.
#include "library_clock.h"
#include "tavrel_hostkit.h"

extern "C" TVK_API void tvlsim_use_library_clock(tvk::ClockNs clock) {
    tvk::useLibraryClock(clock);
}
