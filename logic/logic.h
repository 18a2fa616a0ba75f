// Adjustment logic: the logic state record, its enumerations and every
// operation of the tuning loop. It builds on the feeder and the vision sampler;
// only the host interface builds on it.
#ifndef TAVREL_LOGIC_H
#define TAVREL_LOGIC_H

#include "base/export.h"
#include "base/ids.h"
#include "base/static_zero.h"
#include "base/time_point.h"
#include "feeder/feeder.h"
#include "vision/vision.h"

// Adjustment status; the values travel to the host.
enum EN_LogicAdjSta : int {
    enLogicAdjNull = 0,
    enLogicAdjFedCol = 1,
    enLogicAdjFedWait = 2,
    enLogicAdjVerifWait = 3,
    enLogicAdjVerifStart = 4,
    enLogicAdjVerifIng = 5,
    enLogicAdjVerifEnd = 6,
    enLogicAdjSucc = 7,
    enLogicAdjFail = 8
};

// Task state; returned to the host by every step.
enum EN_LogicTaskSta : int {
    enLogicTaskAdj = 4,
    enLogicTaskVerifStart = 5,
    enLogicTaskVerifIng = 6,
    enLogicTaskWait = 7,
    enLogicTaskEnd = 8
};

// Movement class of one axis.
enum EN_UnidRectMovClass : int { enMovNone = 0, enMovPos = 1, enMovNeg = 2, enMovExcess = 3 };

enum { kMovClassNum = 4 };

// One cell of the 3 x 3 grid of X band (rows) and Y band (columns).
enum EN_MatePosArea : int {
    enPosXLoYMid = 0,
    enPosXLoYLo = 1,
    enPosXLoYHi = 2,
    enPosXMidYLo = 3,
    enPosXMidYHi = 4,
    enPosXHiYMid = 5,
    enPosXHiYLo = 6,
    enPosXHiYHi = 7,
    enPosCentre = 8
};

enum { kPosAreaNum = 9 };

// The step bytes of u8AdjStep, per model, and their count.
enum {
    kStepFre = 0,      // frequency step
    kStepAmp = 1,      // amplitude step
    kStepAuxAmp = 2,   // amplitude step of auxiliary motors, with bAuxAmpStep
    kStepFreLarge = 3, // frequency step after a large movement
    // CONTRACT: kept though nothing inside the library reads or calls it.
    kStepSpare4 = 4,
    // CONTRACT: kept though nothing inside the library reads or calls it.
    kStepSpare5 = 5,
    kAdjStepNum = 6
};

enum EN_AdjConfigSta : int { enAdjCfgOff = 0, enAdjCfgAux = 1, enAdjCfgMain = 2 };

enum EN_AnaHanStaRel : int { enStaRelAnd = 0, enStaRelOr = 1 };

struct ST_ActThres {
    float fPosMove;
    float fPosLarge;
    float fNegMove;
    float fNegLarge;
    float fExcess;
    float fBandLow;
    float fBandHigh;
};

struct ST_ActManageUnit {
    unsigned char u8AdjSuccNum;
    unsigned char u8AdjNumMax;
    unsigned char u8MotAdjNum;
    unsigned char u8AdjNumDec;
    int bAuxAmpStep;
    EN_AdjConfigSta enAreaCfg[kPosAreaNum];
    EN_AdjConfigSta enMotCfg[kVoiMotNum];
    EN_AnaHanStaRel enStaRel;
    EN_AdjConfigSta enMovCfgX[kMovClassNum];
    ST_ActThres stThresX[kFedModelNum];
    EN_AdjConfigSta enMovCfgY[kMovClassNum];
    ST_ActThres stThresY[kFedModelNum];
    unsigned char u8AdjStep[kFedModelNum][kAdjStepNum];
};

struct ST_MateMov {
    EN_UnidRectMovClass enDire;
    int bLarge;
};

struct ST_MateStaStatis {
    unsigned char u8NoneNum;
    unsigned char u8PosNum;
    unsigned char u8PosLargeNum;
    unsigned char u8NegNum;
    unsigned char u8NegLargeNum;
    unsigned char u8ExcessNum;
};

struct ST_LogicDim {
    ST_MateMov stMovX;
    ST_MateMov stMovY;
    EN_MatePosArea enArea;
    ST_MateMov stValMovX;
    ST_MateMov stValMovY;
    EN_MatePosArea enValArea;
    ST_MateStaStatis stStatisX;
    ST_MateStaStatis stStatisY;
    unsigned char u8AreaNum[kPosAreaNum];
};

struct ST_LogMateReco {
    unsigned char bNewMate;
    TvlTimePoint tLastMate;
    // CONTRACT: kept though nothing inside the library reads or calls it.
    unsigned char u8Reserve; // copied from the sample, always 0
    ST_MateInf stMateInf;

    TVL_API ST_LogMateReco();
    constexpr explicit ST_LogMateReco(TvlStaticZero)
        : bNewMate(0), tLastMate(0), u8Reserve(0), stMateInf{} {}
};

struct ST_LogicAdj {
    unsigned char u8VanishNum;
    unsigned char u8AdjNum;
    unsigned char u8RestartWaitNum;
    EN_LogicAdjSta enAdj;
    int bMoveLatch;
    ST_MateMov stMoveLatch[2];
    ST_LogMateReco stLogMateReco;
    ST_LogicDim stLogicDim;

    TVL_API ST_LogicAdj();
    constexpr explicit ST_LogicAdj(TvlStaticZero tag)
        : u8VanishNum(0), u8AdjNum(0), u8RestartWaitNum(0), enAdj(enLogicAdjNull),
          bMoveLatch(0), stMoveLatch{}, stLogMateReco(tag), stLogicDim{} {}
};

struct ST_Logic {
    // CONTRACT: kept though nothing inside the library reads or calls it.
    TvlTimePoint tAdjRestart; // the last restart command
    EN_FeederModel enFedModel;
    unsigned short u16FedRunTim[kFedModelNum];
    ST_VisionPixValArea stPixValArea[kFedModelNum];
    EN_LogicTaskSta enLogicTaskSta;
    EN_FeederAct enFedAct;
    ST_ActManageUnit stActUnit[kFedActNum];
    ST_LogicAdj stLogicAdj;
    int (*pfnLogicAdjEnd)(EN_LogicAdjSta);

    TVL_API ST_Logic();
    constexpr explicit ST_Logic(TvlStaticZero tag)
        : tAdjRestart(0), enFedModel(enFedKav), u16FedRunTim{}, stPixValArea{},
          enLogicTaskSta(static_cast<EN_LogicTaskSta>(0)), enFedAct(enFedAct0), stActUnit{},
          stLogicAdj(tag), pfnLogicAdjEnd(nullptr) {}
};

extern ST_Logic g_stLogic;

// The logic record, its status callback and the task's clock back to their
// state at load.
void LogicReset();

// Default thresholds and action configuration.
TVL_API int LogicActMovThrParamInit(ST_Logic *pstLogic);
TVL_API int LogicFedModParamInit(ST_Logic *pstLogic);

// Movement and position classification.
TVL_API int LogicValDim(ST_Logic *pstLogic);
TVL_API int LogicMateMoveDim_ValToSta(ST_MateStaStatis *pstStatis, ST_MateMov *pstMov, float fDisp,
                                      float fMag, ST_ActThres stThres);
TVL_API int LogicMateMoveDim_NumToSta(ST_MateStaStatis stStatis, ST_MateMov *pstMov);
TVL_API int LogicPosDim_ValToSta(unsigned char *pu8AreaNum, EN_MatePosArea *penArea, float fX,
                                 float fY, ST_ActThres stThresX, ST_ActThres stThresY);
TVL_API int LogicPosDim_NumToSta(unsigned char *pu8AreaNum, EN_MatePosArea *penArea);
TVL_API int LogicMateMoveDim_Dire(ST_MateMov *pstEarlier, ST_MateMov *pstNewer);

// Analysis and decision.
TVL_API int LogicValAnaHandle(ST_Logic *pstLogic);
TVL_API int LogicValAnaHandle_ArrPos(EN_MatePosArea enArea, EN_AdjConfigSta *penAreaCfg);
TVL_API int LogicValAnaHandle_MoveRel(EN_AdjConfigSta enVerdictX, EN_AdjConfigSta enVerdictY,
                                      EN_AdjConfigSta *penMovCfgY, EN_AdjConfigSta *penCorrSel,
                                      EN_AnaHanStaRel enStaRel);

// Motor correction.
TVL_API int LogicValAnaHandle_MotCol(EN_FeederAct enAct, ST_ActManageUnit stUnit,
                                     EN_AdjConfigSta enCorrSel, int bLargeX, int bLargeY,
                                     EN_FeederModel enModel);

// Logic task and adjustment state machine.
TVL_API int LogicTask();
TVL_API int LogicStaCol(int command);
TVL_API int LogicAdjSucc();
TVL_API int LogicAdjRestart();
TVL_API int LogicAdjVerifStart();
TVL_API int LogicAdjEndRegister(int (*pfnCb)(EN_LogicAdjSta));
TVL_API int Logic_Vision_Cb(ST_EntiMateInf stEntiMateInf);

// Initialisation and parameter access.
TVL_API int LogicInit(ST_MateInf (*pfnCoordRe)(), int (*pfnFedCol)(ST_FedColC),
                      int (*pfnAdjEnd)(EN_LogicAdjSta), int enModel, EN_FeederAct enAct);
TVL_API int LogicParamSet(unsigned short u16AmpInit, unsigned short u16AmpMax,
                          unsigned short u16FreInit, unsigned short u16FreMax,
                          unsigned short u16FedRunTim);
TVL_API int LogicParamRe(unsigned short *pu16AmpInit, unsigned short *pu16AmpMax,
                         unsigned short *pu16FreInit, unsigned short *pu16FreMax,
                         unsigned short *pu16FedRunTim);
TVL_API int LogicParamSetEnd();
TVL_API int LogicFedCompDis();
TVL_API int Logic_VisFedModCof_Cb(float fX, float fY);

#endif
