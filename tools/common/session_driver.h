// The one session driver of the tools: the kit's tvk_session_* on the
// program's own clock (simulated seconds, or the recording's times).
#ifndef TAVREL_TOOLS_SESSION_DRIVER_H
#define TAVREL_TOOLS_SESSION_DRIVER_H

#include "library_clock.h"
#include "tavrel_hostkit.h"

#include <string>

namespace tvltools {

// The copy of the kit a session runs on: the process's own, or an
// instance's (its table, and its library's clock seam, which the program's
// own kit build exports for instances).
struct KitCopy {
    TVK_Api api{};
    void (*useClock)(tvk::ClockNs) = nullptr;
};

// The process's own copy.
KitCopy ownCopy();

// A running session; ended, and the library's own clock given back, when it
// goes. Errors are std::runtime_error with the kit's message.
class SessionDriver {
  public:
    // The library of `copy` reads `clock` from the start on.
    SessionDriver(const KitCopy &copy, const TVK_SessionConfig &config, tvk::ClockNs clock);
    ~SessionDriver();
    SessionDriver(const SessionDriver &) = delete;
    SessionDriver &operator=(const SessionDriver &) = delete;

    // One step; the report stays valid until the next.
    const TVK_StepReport &step();
    // A host command (TVL_CMD_*) between steps.
    void command(int command);
    // The outcome is decided (no further steps), and why.
    bool over() const;
    std::string reason() const;

  private:
    void check(int result, const char *what) const;

    const KitCopy &copy_;
    TVK_Session *session_ = nullptr;
    TVK_StepReport report_{};
};

} // namespace tvltools

#endif
