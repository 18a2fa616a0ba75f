#include "bench/print_record.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

extern "C" int __real_puts(const char *pszLine);

namespace tvlbench {
namespace {

PrintRecord *g_pRecord = nullptr;

PrintShape ShapeOf(const std::string &sig) {
    static const struct {
        const char *pszSig;
        PrintShape enShape;
    } kShapes[] = {{"", PrintShape::kNone},      {"d", PrintShape::kD},   {"dd", PrintShape::kDD},
                   {"f", PrintShape::kF},        {"ff", PrintShape::kFF}, {"s", PrintShape::kS},
                   {"sdddd", PrintShape::kSDDDD}};
    for (const auto &stEntry : kShapes) {
        if (sig == stEntry.pszSig) {
            return stEntry.enShape;
        }
    }
    return PrintShape::kUnknown;
}

// Reads the arguments the format asks for into the call and appends one letter
// per argument to sig; flags, width and precision are skipped. False for a
// conversion other than d, f and s.
bool TakeArgs(PrintCall &stCall, std::string &sig, va_list ap) {
    for (const char *pc = stCall.pszText; *pc != '\0'; ++pc) {
        if (*pc != '%') {
            continue;
        }
        ++pc;
        while (*pc != '\0' && std::strchr("-+ #0123456789.", *pc) != nullptr) {
            ++pc;
        }
        const std::size_t uArg = sig.size();
        if (*pc == '%') {
            continue;
        }
        if (uArg >= 8) {
            return false;
        }
        switch (*pc) {
        case 'd':
            stCall.iArgs[uArg] = va_arg(ap, int);
            break;
        case 'f':
            stCall.dArgs[uArg] = va_arg(ap, double);
            break;
        case 's':
            stCall.pszArgs[uArg] = va_arg(ap, const char *);
            break;
        default:
            return false;
        }
        sig += *pc;
    }
    return true;
}

void RecordPrintf(const char *pszFormat, va_list ap) {
    PrintCall stCall{};
    stCall.pszText = pszFormat;
    std::string sig;
    va_list apArgs;
    va_copy(apArgs, ap);
    stCall.enShape = TakeArgs(stCall, sig, apArgs) ? ShapeOf(sig) : PrintShape::kUnknown;
    va_end(apArgs);
    g_pRecord->bUnsupported |= stCall.enShape == PrintShape::kUnknown;
    char szText[1024];
    vsnprintf(szText, sizeof szText, pszFormat, ap);
    g_pRecord->text += szText;
    g_pRecord->calls.push_back(stCall);
}

} // namespace

void StartRecording() {
    static PrintRecord stRecord;
    stRecord = PrintRecord{};
    g_pRecord = &stRecord;
}

PrintRecord StopRecording() {
    PrintRecord stRecord = *g_pRecord;
    g_pRecord = nullptr;
    return stRecord;
}

// The formats are the library's own, replayed verbatim.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
void Replay(const std::vector<PrintCall> &calls) {
    for (const PrintCall &stCall : calls) {
        const char *pszFormat = stCall.pszText;
        const int *piArg = stCall.iArgs;
        const double *pdArg = stCall.dArgs;
        switch (stCall.enShape) {
        case PrintShape::kPuts:
            puts(pszFormat);
            break;
        case PrintShape::kNone:
            printf(pszFormat);
            break;
        case PrintShape::kD:
            printf(pszFormat, piArg[0]);
            break;
        case PrintShape::kDD:
            printf(pszFormat, piArg[0], piArg[1]);
            break;
        case PrintShape::kF:
            printf(pszFormat, pdArg[0]);
            break;
        case PrintShape::kFF:
            printf(pszFormat, pdArg[0], pdArg[1]);
            break;
        case PrintShape::kS:
            printf(pszFormat, stCall.pszArgs[0]);
            break;
        case PrintShape::kSDDDD:
            printf(pszFormat, stCall.pszArgs[0], piArg[1], piArg[2], piArg[3], piArg[4]);
            break;
        case PrintShape::kUnknown:
            break;
        }
    }
}
#pragma GCC diagnostic pop

} // namespace tvlbench

extern "C" int __wrap_printf(const char *pszFormat, ...) {
    va_list ap;
    va_start(ap, pszFormat);
    if (tvlbench::g_pRecord != nullptr) {
        va_list apRecord;
        va_copy(apRecord, ap);
        tvlbench::RecordPrintf(pszFormat, apRecord);
        va_end(apRecord);
    }
    const int iResult = vprintf(pszFormat, ap);
    va_end(ap);
    return iResult;
}

extern "C" int __wrap_puts(const char *pszLine) {
    if (tvlbench::g_pRecord != nullptr) {
        tvlbench::PrintCall stCall{};
        stCall.enShape = tvlbench::PrintShape::kPuts;
        stCall.pszText = pszLine;
        tvlbench::g_pRecord->calls.push_back(stCall);
        tvlbench::g_pRecord->text += pszLine;
        tvlbench::g_pRecord->text += '\n';
    }
    return __real_puts(pszLine);
}
