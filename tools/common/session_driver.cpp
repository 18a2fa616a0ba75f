#include "session_driver.h"

#include <stdexcept>
#include <string>

namespace tvltools {

KitCopy ownCopy() {
    KitCopy copy;
    copy.api.size = sizeof copy.api;
    tvk_instance_api(nullptr, &copy.api);
    copy.useClock = tvk::useLibraryClock;
    return copy;
}

void SessionDriver::check(int result, const char *what) const {
    if (result < 0) {
        const std::string message = copy_.api.errmsg();
        throw std::runtime_error(std::string(what) + ": " +
                                 (message.empty() ? copy_.api.strerror(result) : message));
    }
}

SessionDriver::SessionDriver(const KitCopy &copy, const TVK_SessionConfig &config,
                             tvk::ClockNs clock)
    : copy_(copy) {
    report_.size = sizeof report_;
    copy_.useClock(clock);
    const int started = copy_.api.session_start(&config, &session_);
    if (started != TVK_OK) {
        copy_.useClock(nullptr);
        check(started, "session");
    }
}

SessionDriver::~SessionDriver() {
    copy_.api.session_end(session_);
    copy_.useClock(nullptr);
}

const TVK_StepReport &SessionDriver::step() {
    check(copy_.api.session_step(session_, &report_), "step");
    return report_;
}

void SessionDriver::command(int command) {
    check(copy_.api.session_command(session_, command), "command");
}

bool SessionDriver::over() const {
    return copy_.api.session_outcome(session_, nullptr, 0) != TVK_RUNNING;
}

std::string SessionDriver::reason() const {
    char reason[TVK_REASON_MAX];
    return copy_.api.session_outcome(session_, reason, sizeof reason) >= 0 ? reason : "";
}

} // namespace tvltools
