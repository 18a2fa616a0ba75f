// The interposed allocator forwards to glibc's own entry points.
#include "tests/hardening/alloc_counter.h"

#include <cerrno>
#include <cstddef>
#include <new>

extern "C" {
void *__libc_malloc(std::size_t uSize);
void *__libc_calloc(std::size_t uCount, std::size_t uSize);
void *__libc_realloc(void *pvOld, std::size_t uSize);
void *__libc_memalign(std::size_t uAlign, std::size_t uSize);
void __libc_free(void *pv);
}

namespace {

bool g_bCounting = false;
tvltest::AllocCounts g_stCounts{};

void Count(unsigned long &ulCounter) {
    if (g_bCounting) {
        ++ulCounter;
    }
}

void *NewOrThrow(std::size_t uSize) {
    Count(g_stCounts.news);
    void *pv = __libc_malloc(uSize == 0 ? 1 : uSize);
    if (pv == nullptr) {
        throw std::bad_alloc();
    }
    return pv;
}

void Delete(void *pv) {
    Count(g_stCounts.deletes);
    __libc_free(pv);
}

} // namespace

namespace tvltest {

void StartCountingAllocs() {
    g_stCounts = AllocCounts{};
    g_bCounting = true;
}

AllocCounts StopCountingAllocs() {
    g_bCounting = false;
    return g_stCounts;
}

} // namespace tvltest

extern "C" {

void *malloc(std::size_t uSize) noexcept {
    Count(g_stCounts.mallocs);
    return __libc_malloc(uSize);
}

void *calloc(std::size_t uCount, std::size_t uSize) noexcept {
    Count(g_stCounts.mallocs);
    return __libc_calloc(uCount, uSize);
}

void *realloc(void *pvOld, std::size_t uSize) noexcept {
    Count(g_stCounts.mallocs);
    return __libc_realloc(pvOld, uSize);
}

void *memalign(std::size_t uAlign, std::size_t uSize) noexcept {
    Count(g_stCounts.mallocs);
    return __libc_memalign(uAlign, uSize);
}

void *aligned_alloc(std::size_t uAlign, std::size_t uSize) noexcept {
    Count(g_stCounts.mallocs);
    return __libc_memalign(uAlign, uSize);
}

int posix_memalign(void **ppv, std::size_t uAlign, std::size_t uSize) noexcept {
    Count(g_stCounts.mallocs);
    *ppv = __libc_memalign(uAlign, uSize);
    return *ppv == nullptr ? ENOMEM : 0;
}

void free(void *pv) noexcept {
    Count(g_stCounts.frees);
    __libc_free(pv);
}

} // extern "C"

void *operator new(std::size_t uSize) {
    return NewOrThrow(uSize);
}
void *operator new[](std::size_t uSize) {
    return NewOrThrow(uSize);
}
void operator delete(void *pv) noexcept {
    Delete(pv);
}
void operator delete[](void *pv) noexcept {
    Delete(pv);
}
void operator delete(void *pv, std::size_t /*uSize*/) noexcept {
    Delete(pv);
}
void operator delete[](void *pv, std::size_t /*uSize*/) noexcept {
    Delete(pv);
}
