// The one macro that marks the library's exported surface at the declaration;
// everything else is hidden. host/tavrel.h carries the same definition so a
// host compiles against it alone; host/host.cpp includes both, so the compiler
// reports a redefinition if the two ever differ.
#ifndef TAVREL_BASE_EXPORT_H
#define TAVREL_BASE_EXPORT_H

#if defined(_WIN32)
#if defined(TVL_BUILDING)
#define TVL_API __declspec(dllexport)
#else
#define TVL_API __declspec(dllimport)
#endif
#else
#define TVL_API __attribute__((visibility("default")))
#endif

#endif
