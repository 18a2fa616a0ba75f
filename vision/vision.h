// Vision sampler: polls the host for the part position once per task step,
// keeps the last ten valid positions and hands each new sample to the logic.
#ifndef TAVREL_VISION_H
#define TAVREL_VISION_H

#include "base/export.h"
#include "base/static_zero.h"

// One observation of the part.
struct ST_MateInf {
    float fPosX;
    float fPosY;
    float fDispPosX; // displacement since the previous valid sample
    float fDispPosY;
    int bMateReco;
};

// A ring entry and the value handed to the sample callback.
struct ST_EntiMateInf {
    // CONTRACT: kept though nothing inside the library reads or calls it.
    unsigned char u8Reserve; // always 0
    ST_MateInf stMateInf;
};

// A window of coordinates (both ends included) and two stored pixel words.
struct ST_VisionPixValArea {
    // CONTRACT: kept though nothing inside the library reads or calls it.
    unsigned short u16PixVal[2];
    unsigned short u16AreaXMin;
    unsigned short u16AreaXMax;
    unsigned short u16AreaYMin;
    unsigned short u16AreaYMax;
};

enum { kVisionRingLen = 10 };

// The sampler's state. The static instance is of this record alone: the
// exported destructor of ST_Vision would make the loader register it for
// destruction, and nothing may run at load.
struct ST_VisionState {
    // CONTRACT: kept though nothing inside the library reads or calls it.
    unsigned char bMateRecoEn; // set on a timeout, cleared by a valid sample
    // CONTRACT: kept though nothing inside the library reads or calls it.
    double dVisSetVal;
    unsigned char bFirstSampleDone;
    // CONTRACT: kept though nothing inside the library reads or calls it.
    double dVisInitVal[2];
    // CONTRACT: kept though nothing inside the library reads or calls it.
    ST_VisionPixValArea stVisPixValArea;
    unsigned char u8MateIdx;
    ST_EntiMateInf stEntiMateInf[kVisionRingLen];
    int (*pfnImageHandSucCb)(ST_EntiMateInf);
    // CONTRACT: kept though nothing inside the library reads or calls it.
    int (*pfnFedModConfigCb)(float, float);
    ST_MateInf (*pfnCoordRe)();

    ST_VisionState() = default;
    constexpr explicit ST_VisionState(TvlStaticZero)
        : bMateRecoEn(0), dVisSetVal(0.0), bFirstSampleDone(0), dVisInitVal{}, stVisPixValArea{},
          u8MateIdx(0), stEntiMateInf{}, pfnImageHandSucCb(nullptr), pfnFedModConfigCb(nullptr),
          pfnCoordRe(nullptr) {}
};

// The record with the constructor and destructor hosts may call.
struct ST_Vision : ST_VisionState {
    TVL_API ST_Vision();
    TVL_API ~ST_Vision();
};

extern ST_VisionState g_stVision;

// The sampler's record, ring and callbacks back to their state at load.
void VisionReset();

TVL_API int VisionInit();
TVL_API int VisionTask();
TVL_API int CheckMovement(ST_MateInf *pstCur, const ST_MateInf *pstPrev);
TVL_API int VisionSet(ST_VisionPixValArea *pstArea, double dVal);
TVL_API int VisionMateRecoTaskEn();
TVL_API int VisCoordReRegister(ST_MateInf (*pfnCoordRe)());
TVL_API void VisionImageHandSucCb_Register(int (*pfnCb)(ST_EntiMateInf));
TVL_API void VisionFedModConfigCb_Register(int (*pfnCb)(float, float));

#endif
