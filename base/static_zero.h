// Tag for the constant initialisation of the static instances: their
// constructors taking it are constexpr, so no code runs when the library is
// loaded.
#ifndef TAVREL_BASE_STATIC_ZERO_H
#define TAVREL_BASE_STATIC_ZERO_H

enum class TvlStaticZero { kTag };

#endif
