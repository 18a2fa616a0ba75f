// Diagnostics capture, as the session driver uses it.
#ifndef TAVREL_HOSTKIT_CAPTURE_H
#define TAVREL_HOSTKIT_CAPTURE_H

namespace tvk {

// Delivers the lines collected so far when a callback capture is active.
void pumpCapture();

// A capture call of this thread is under way around frame: the caller runs
// inside a line callback.
bool insideCaptureCallback(const void *frame);

} // namespace tvk

#endif
