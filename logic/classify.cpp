// Classification of one sample: a movement class per axis and one of nine
// position areas.
#include "logic/internal.h"

#include <cmath>

namespace {

enum Band { kBandLow = 0, kBandMid = 1, kBandHigh = 2 };

// [X band][Y band]
constexpr EN_MatePosArea kAreaOfBands[3][3] = {
    {enPosXLoYLo, enPosXLoYMid, enPosXLoYHi},
    {enPosXMidYLo, enPosCentre, enPosXMidYHi},
    {enPosXHiYLo, enPosXHiYMid, enPosXHiYHi},
};

// A coordinate that is not a number fails both tests and lands high.
Band BandOf(float fCoord, const ST_ActThres &stThres) {
    if (fCoord < stThres.fBandLow) {
        return kBandLow;
    }
    if (fCoord < stThres.fBandHigh) {
        return kBandMid;
    }
    return kBandHigh;
}

void SetMov(ST_MateMov *pstMov, EN_UnidRectMovClass enDire, int bLarge, unsigned char *pu8Count) {
    pstMov->enDire = enDire;
    pstMov->bLarge = bLarge;
    ++*pu8Count;
}

void UpdateMoveLatch(ST_LogicAdj &stAdj) {
    if (stAdj.bMoveLatch == 1) {
        return;
    }
    const ST_LogicDim &stDim = stAdj.stLogicDim;
    if (stDim.stMovX.enDire != enMovNone || stDim.stMovY.enDire != enMovNone) {
        stAdj.bMoveLatch = 1;
    }
    stAdj.stMoveLatch[0] = stDim.stMovX;
    stAdj.stMoveLatch[1] = stDim.stMovY;
}

} // namespace

int LogicValDim(ST_Logic *pstLogic) {
    if (pstLogic == nullptr || !LogicActModelValid(pstLogic->enFedAct, pstLogic->enFedModel)) {
        return 0;
    }
    const ST_ActManageUnit &stUnit = pstLogic->stActUnit[pstLogic->enFedAct];
    const ST_ActThres stThresX = stUnit.stThresX[pstLogic->enFedModel];
    const ST_ActThres stThresY = stUnit.stThresY[pstLogic->enFedModel];
    const ST_MateInf stMate = pstLogic->stLogicAdj.stLogMateReco.stMateInf;

    ST_LogicDim &stDim = pstLogic->stLogicAdj.stLogicDim;
    stDim = ST_LogicDim{};
    LogicMateMoveDim_ValToSta(&stDim.stStatisX, &stDim.stValMovX, stMate.fDispPosX,
                              std::fabs(stMate.fDispPosX), stThresX);
    LogicMateMoveDim_ValToSta(&stDim.stStatisY, &stDim.stValMovY, stMate.fDispPosY,
                              std::fabs(stMate.fDispPosY), stThresY);
    LogicPosDim_ValToSta(stDim.u8AreaNum, &stDim.enValArea, stMate.fPosX, stMate.fPosY, stThresX,
                         stThresY);
    LogicMateMoveDim_NumToSta(stDim.stStatisX, &stDim.stMovX);
    LogicMateMoveDim_NumToSta(stDim.stStatisY, &stDim.stMovY);
    LogicPosDim_NumToSta(stDim.u8AreaNum, &stDim.enArea);
    UpdateMoveLatch(pstLogic->stLogicAdj);
    return 1;
}

int LogicMateMoveDim_ValToSta(ST_MateStaStatis *pstStatis, ST_MateMov *pstMov, float fDisp,
                              float fMag, ST_ActThres stThres) {
    if (pstStatis == nullptr || pstMov == nullptr) {
        return 0;
    }
    // Strict comparisons, highest threshold first; a NaN takes the positive
    // branch and fails every test.
    if (fDisp < 0.0F) {
        if (fMag > stThres.fExcess) {
            SetMov(pstMov, enMovExcess, 1, &pstStatis->u8ExcessNum);
        } else if (fMag > stThres.fNegLarge) {
            SetMov(pstMov, enMovNeg, 1, &pstStatis->u8NegLargeNum);
        } else if (fMag > stThres.fNegMove) {
            SetMov(pstMov, enMovNeg, 0, &pstStatis->u8NegNum);
        } else {
            SetMov(pstMov, enMovNone, 0, &pstStatis->u8NoneNum);
        }
    } else if (fDisp > stThres.fExcess) {
        SetMov(pstMov, enMovExcess, 1, &pstStatis->u8ExcessNum);
    } else if (fDisp > stThres.fPosLarge) {
        SetMov(pstMov, enMovPos, 1, &pstStatis->u8PosLargeNum);
    } else if (fDisp > stThres.fPosMove) {
        SetMov(pstMov, enMovPos, 0, &pstStatis->u8PosNum);
    } else {
        SetMov(pstMov, enMovNone, 0, &pstStatis->u8NoneNum);
    }
    return 1;
}

int LogicMateMoveDim_NumToSta(ST_MateStaStatis stStatis, ST_MateMov *pstMov) {
    if (pstMov == nullptr) {
        return 0;
    }
    // The small bucket of a direction wins over its large bucket.
    const struct {
        unsigned char u8Count;
        ST_MateMov stMov;
    } stOrder[] = {
        {stStatis.u8ExcessNum, {enMovExcess, 1}}, {stStatis.u8PosNum, {enMovPos, 0}},
        {stStatis.u8PosLargeNum, {enMovPos, 1}},  {stStatis.u8NegNum, {enMovNeg, 0}},
        {stStatis.u8NegLargeNum, {enMovNeg, 1}},
    };
    *pstMov = ST_MateMov{enMovNone, 0};
    for (const auto &stEntry : stOrder) {
        if (stEntry.u8Count != 0) {
            *pstMov = stEntry.stMov;
            break;
        }
    }
    return 1;
}

int LogicPosDim_ValToSta(unsigned char *pu8AreaNum, EN_MatePosArea *penArea, float fX, float fY,
                         ST_ActThres stThresX, ST_ActThres stThresY) {
    if (pu8AreaNum == nullptr || penArea == nullptr) {
        return 0;
    }
    const EN_MatePosArea enArea = kAreaOfBands[BandOf(fX, stThresX)][BandOf(fY, stThresY)];
    *penArea = enArea;
    ++pu8AreaNum[enArea];
    return 1;
}

int LogicPosDim_NumToSta(unsigned char *pu8AreaNum, EN_MatePosArea *penArea) {
    if (pu8AreaNum == nullptr || penArea == nullptr) {
        return 0;
    }
    for (int area = 0; area < kPosAreaNum; ++area) {
        if (pu8AreaNum[area] != 0) {
            *penArea = static_cast<EN_MatePosArea>(area);
            return 1;
        }
    }
    return 0;
}

// CONTRACT: exported for hosts; no caller inside the library.
int LogicMateMoveDim_Dire(ST_MateMov *pstEarlier, ST_MateMov *pstNewer) {
    if (pstEarlier == nullptr || pstNewer == nullptr) {
        return 0;
    }
    if (pstNewer->enDire != pstEarlier->enDire) {
        pstEarlier->enDire = pstNewer->enDire;
        pstNewer->enDire = enMovExcess;
        pstNewer->bLarge = 1;
    }
    return 1;
}
