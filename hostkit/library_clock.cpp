#include "library_clock.h"

#include "library.h"

namespace tvk {

void useLibraryClock(ClockNs clock) {
    g_pfnLogicClock = clock != nullptr ? clock : LogicClockMonotonic;
}

} // namespace tvk
