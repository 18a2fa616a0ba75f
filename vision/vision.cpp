#include "vision/vision.h"

#include <cstring>
#include <new>

ST_VisionState g_stVision{TvlStaticZero::kTag};

namespace {

// The stored configuration values every initialisation writes.
constexpr double kVisInitVal[2] = {122500.0, 10000.0};
constexpr double kVisSetValInit = 2000.0;

} // namespace

// The static instance is constant-initialised instead.
// CONTRACT: exported for hosts; no caller inside the library.
ST_Vision::ST_Vision() = default;

// CONTRACT: exported for hosts; no caller inside the library.
ST_Vision::~ST_Vision() = default;

void VisionReset() {
    // Built in place on zero bytes, padding included, as at load.
    std::memset(static_cast<void *>(&g_stVision), 0, sizeof g_stVision);
    new (&g_stVision) ST_VisionState{TvlStaticZero::kTag};
}

int VisionInit() {
    g_stVision.dVisInitVal[0] = kVisInitVal[0];
    g_stVision.dVisInitVal[1] = kVisInitVal[1];
    g_stVision.dVisSetVal = kVisSetValInit;
    g_stVision.pfnImageHandSucCb = nullptr;
    return 0;
}

int VisionTask() {
    // Without a coordinate source (the host stepped before initialising) there
    // is nothing to poll.
    if (g_stVision.pfnCoordRe == nullptr) {
        return 0;
    }
    const unsigned char u8Idx = g_stVision.u8MateIdx;
    ST_EntiMateInf &stSlot = g_stVision.stEntiMateInf[u8Idx];
    stSlot = ST_EntiMateInf{};

    const ST_MateInf stPolled = g_stVision.pfnCoordRe();
    if (stPolled.bMateReco == 0) {
        return 0;
    }
    stSlot.stMateInf.fPosX = stPolled.fPosX;
    stSlot.stMateInf.fPosY = stPolled.fPosY;
    g_stVision.bMateRecoEn = 0;

    if (g_stVision.bFirstSampleDone == 0) {
        // The first valid sample after load only primes the ring.
        g_stVision.bFirstSampleDone = 1;
    } else {
        const unsigned uPrev = (u8Idx + kVisionRingLen - 1U) % kVisionRingLen;
        CheckMovement(&stSlot.stMateInf, &g_stVision.stEntiMateInf[uPrev].stMateInf);
        if (g_stVision.pfnImageHandSucCb != nullptr) {
            g_stVision.pfnImageHandSucCb(stSlot);
        }
    }
    g_stVision.u8MateIdx = static_cast<unsigned char>((u8Idx + 1U) % kVisionRingLen);
    return 0;
}

int CheckMovement(ST_MateInf *pstCur, const ST_MateInf *pstPrev) {
    if (pstCur == nullptr || pstPrev == nullptr) {
        return 0;
    }
    pstCur->fDispPosX = pstCur->fPosX - pstPrev->fPosX;
    pstCur->fDispPosY = pstCur->fPosY - pstPrev->fPosY;
    return 1;
}

int VisionSet(ST_VisionPixValArea *pstArea, double dVal) {
    if (pstArea == nullptr) {
        return 0;
    }
    g_stVision.stVisPixValArea = *pstArea;
    g_stVision.dVisSetVal = dVal;
    return 0;
}

int VisionMateRecoTaskEn() {
    g_stVision.bMateRecoEn = 1;
    return 1;
}

int VisCoordReRegister(ST_MateInf (*pfnCoordRe)()) {
    if (pfnCoordRe != nullptr) {
        g_stVision.pfnCoordRe = pfnCoordRe;
    }
    return 0;
}

void VisionImageHandSucCb_Register(int (*pfnCb)(ST_EntiMateInf)) {
    if (pfnCb != nullptr) {
        g_stVision.pfnImageHandSucCb = pfnCb;
    }
}

void VisionFedModConfigCb_Register(int (*pfnCb)(float, float)) {
    if (pfnCb != nullptr) {
        g_stVision.pfnFedModConfigCb = pfnCb;
    }
}
