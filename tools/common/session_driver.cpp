#include "session_driver.h"

#include <stdexcept>
#include <string>

namespace tvltools {

namespace {

void check(int result, const char *what) {
    if (result < 0) {
        const std::string message = tvk_errmsg();
        throw std::runtime_error(std::string(what) + ": " +
                                 (message.empty() ? tvk_strerror(result) : message));
    }
}

} // namespace

SessionDriver::SessionDriver(const TVK_SessionConfig &config, tvk::ClockNs clock) {
    report_.size = sizeof report_;
    tvk::useLibraryClock(clock);
    const int started = tvk_session_start(&config, &session_);
    if (started != TVK_OK) {
        tvk::useLibraryClock(nullptr);
        check(started, "session");
    }
}

SessionDriver::~SessionDriver() {
    tvk_session_end(session_);
    tvk::useLibraryClock(nullptr);
}

const TVK_StepReport &SessionDriver::step() {
    check(tvk_session_step(session_, &report_), "step");
    return report_;
}

void SessionDriver::command(int command) {
    check(tvk_session_command(session_, command), "command");
}

bool SessionDriver::over() const {
    return tvk_session_outcome(session_, nullptr, 0) != TVK_RUNNING;
}

std::string SessionDriver::reason() const {
    char reason[TVK_REASON_MAX];
    return tvk_session_outcome(session_, reason, sizeof reason) >= 0 ? reason : "";
}

} // namespace tvltools
