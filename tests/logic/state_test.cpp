#include "tests/support.h"

#include <type_traits>

namespace {

// The static instances are constant-initialised: nothing runs at load.
constexpr ST_Logic kLogicAtLoad{TvlStaticZero::kTag};
static_assert(kLogicAtLoad.enLogicTaskSta == 0, "no task state at load");
static_assert(kLogicAtLoad.stLogicAdj.enAdj == enLogicAdjNull, "no adjustment at load");
static_assert(kLogicAtLoad.pfnLogicAdjEnd == nullptr, "no status callback at load");

// Records copied by value stay plain.
static_assert(std::is_trivially_copyable<ST_ActManageUnit>::value, "unit is copied by value");
static_assert(std::is_trivially_copyable<ST_MateStaStatis>::value, "counters are copied by value");
static_assert(std::is_trivially_copyable<ST_EntiMateInf>::value, "samples are copied by value");

TEST(LogicState, ConstructorsClearTimePoints) {
    alignas(ST_Logic) unsigned char u8Raw[sizeof(ST_Logic)];
    memset(u8Raw, 0xA5, sizeof u8Raw);
    const ST_Logic *pstLogic = new (u8Raw) ST_Logic();
    EXPECT_EQ(pstLogic->tAdjRestart, 0);
    EXPECT_EQ(pstLogic->stLogicAdj.stLogMateReco.tLastMate, 0);
    // Nothing else is touched.
    EXPECT_EQ(static_cast<unsigned>(pstLogic->enFedAct), 0xA5A5A5A5U);

    alignas(ST_LogicAdj) unsigned char u8RawAdj[sizeof(ST_LogicAdj)];
    memset(u8RawAdj, 0xA5, sizeof u8RawAdj);
    const ST_LogicAdj *pstAdj = new (u8RawAdj) ST_LogicAdj();
    EXPECT_EQ(pstAdj->stLogMateReco.tLastMate, 0);
    EXPECT_EQ(pstAdj->u8AdjNum, 0xA5);
}

} // namespace
