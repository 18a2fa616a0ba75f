#include "guard.h"

#include "instance.h"
#include "kit.h"

#include <string>

namespace tvk {

namespace {

thread_local char t_token;
std::atomic<std::uintptr_t> g_lastToken{0};

std::uintptr_t address(const void *frame) {
    return reinterpret_cast<std::uintptr_t>(frame);
}

} // namespace

const void *threadToken() {
    prepareThread();
    return &t_token;
}

void *newToken() {
    // An instance's kit takes its tokens from the process's kit, so that no
    // two instances (nor a closed instance and the next in its namespace)
    // give out the same value.
    const TokenSource source = instanceTokenSource();
    if (source != nullptr) {
        return source();
    }
    // A token is only ever compared, never dereferenced, so nothing is lost
    // to the cast.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<void *>(g_lastToken.fetch_add(1) + 1);
}

OwnerGuard::Found OwnerGuard::take(const void *frame) {
    const void *expected = nullptr;
    if (!owner_.compare_exchange_strong(expected, threadToken())) {
        if (expected != threadToken()) {
            return Found::kOtherThread;
        }
        if (address(frame) < frame_.load()) {
            return Found::kNested;
        }
    }
    frame_.store(address(frame));
    return Found::kTaken;
}

void OwnerGuard::release() {
    owner_.store(nullptr);
}

bool OwnerGuard::heldAround(const void *frame) const {
    return owner_.load() == threadToken() && address(frame) < frame_.load();
}

int refusalFor(OwnerGuard::Found found, const char *function) {
    switch (found) {
    case OwnerGuard::Found::kNested:
        return fail(TVK_E_REENTRY, std::string(function) + ": called from inside a kit callback");
    case OwnerGuard::Found::kOtherThread:
        return fail(TVK_E_THREAD,
                    std::string(function) + ": the object is in use by a call on another thread");
    default:
        return TVK_OK;
    }
}

Hold::Hold(OwnerGuard &guard, const char *function, const void *frame, Nesting nesting) {
    const OwnerGuard::Found found = guard.take(frame);
    const bool nestedRead = found == OwnerGuard::Found::kNested && nesting == Nesting::kAllowed;
    refusal_ = nestedRead ? TVK_OK : refusalFor(found, function);
    if (found == OwnerGuard::Found::kTaken) {
        guard_ = &guard;
    }
}

Hold::~Hold() {
    if (guard_ != nullptr) {
        guard_->release();
    }
}

} // namespace tvk
