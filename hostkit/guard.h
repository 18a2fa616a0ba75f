// Which thread is inside a call on one kit object, kept without a lock (the
// Windows build's thread model has no mutex): an atomic holding the calling
// thread's token, and where on that thread's stack the outermost call has its
// frame. Stacks grow down on every platform the kit builds for, so a call
// made from inside a callback of that call has a frame at a lower address;
// a call of the same thread from a frame at the same or a higher address
// proves the old call gone (a runtime unwound its frames without running
// their destructors) and takes its place.
#ifndef TAVREL_HOSTKIT_GUARD_H
#define TAVREL_HOSTKIT_GUARD_H

#include <atomic>
#include <cstdint>

namespace tvk {

// The calling thread's token: the address of a thread_local.
const void *threadToken();

// A handle value that is never given out again in this process.
void *newToken();

class OwnerGuard {
  public:
    enum class Found { kTaken, kNested, kOtherThread };
    // frame: the entry function's __builtin_frame_address(0).
    Found take(const void *frame);
    void release();
    // A call of this thread on the object is under way around frame: the
    // caller runs inside one of its callbacks.
    bool heldAround(const void *frame) const;

  private:
    std::atomic<const void *> owner_{nullptr};
    std::atomic<std::uintptr_t> frame_{0};
};

// One entry point's hold on an object for the length of the call. A call
// that only reads may run inside a callback of the object (kAllowed).
enum class Nesting { kRefused, kAllowed };
class Hold {
  public:
    Hold(OwnerGuard &guard, const char *function, const void *frame,
         Nesting nesting = Nesting::kRefused);
    ~Hold();
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;
    // TVK_OK when held; else TVK_E_REENTRY or TVK_E_THREAD, the message set.
    int refusal() const {
        return refusal_;
    }

  private:
    OwnerGuard *guard_ = nullptr;
    int refusal_;
};

// TVK_OK, or the refusal (message set) for a call of function made from
// inside a call on guard's object, or while another thread's call runs.
int refusalFor(OwnerGuard::Found found, const char *function);

} // namespace tvk

#endif
