// What the kit inside an instance is told by the process's kit that loaded
// it: where handles come from (one count for the whole process, so no
// handle value is given out twice) and that it lives in a namespace of its
// own, where its capture replaces its C runtime's standard output stream
// instead of moving descriptor 1.
#ifndef TAVREL_HOSTKIT_INSTANCE_H
#define TAVREL_HOSTKIT_INSTANCE_H

#include "tavrel_hostkit.h"

namespace tvk {

using TokenSource = void *(*)();

// The process's kit's token source when this kit runs in an instance, else
// null.
TokenSource instanceTokenSource();

// Readies the calling thread for the instance's C runtime the first time it
// calls the kit: a thread the process made after the instance loaded finds
// that runtime's thread-local locale unset (its formatting of numbers and
// its error texts would crash). The entry points reach it through the
// guards and the model and action checks.
void prepareThread();

// Ends an instance's capture before the instance is unloaded: its text
// flushed and delivered, its C runtime's standard output given back.
void leaveCapture();

} // namespace tvk

extern "C" {

// Entry points the process's kit calls in the kit it loads, by name; not for
// hosts.
TVK_API void tvk_internal_instance_join(void *(*token_source)(void));
TVK_API void tvk_internal_instance_leave(void);
#ifdef _WIN32
// Points the kit's table of library entry points at library, a private copy
// of the process's tavrel.dll; 1, or 0 for a file that is not that library.
TVK_API int tvk_internal_library_bind(void *library);
#endif
}

#endif
