// Diagnostics capture, as the session driver uses it.
#ifndef TAVREL_HOSTKIT_CAPTURE_H
#define TAVREL_HOSTKIT_CAPTURE_H

namespace tvk {

// Delivers the lines collected so far when a callback capture is active.
void pumpCapture();

} // namespace tvk

#endif
