// Geometry of a model and an action, from the library's own initialiser and
// classification run on a private record: the kit keeps no table of its own.
#include "instance.h"
#include "kit.h"
#include "layout.h"

#include <cstdlib>
#include <string>

namespace tvk {

namespace {

enum Band { kLow = 0, kMid = 1, kHigh = 2 };

struct AreaBands {
    Band x;
    Band y;
};

// The X and Y band of each area, in area order.
constexpr AreaBands kAreaBands[TVK_AREA_COUNT] = {
    {kLow, kMid},  {kLow, kLow},  {kLow, kHigh},  {kMid, kLow}, {kMid, kHigh},
    {kHigh, kMid}, {kHigh, kLow}, {kHigh, kHigh}, {kMid, kMid},
};

const ST_Logic &factoryLogic() {
    static ST_Logic stFactory{TvlStaticZero::kTag};
    static const bool bFilled = tvk::lib::LogicActMovThrParamInit(&stFactory) == 1;
    (void)bFilled;
    return stFactory;
}

int distanceFromCentre(int area) {
    return std::abs(kAreaBands[area].x - kMid) + std::abs(kAreaBands[area].y - kMid);
}

// The first non-target area among those nearest the centre of the grid.
int startArea(int model, int action) {
    int best = -1;
    TVK_Geometry geometry{};
    geometry.size = sizeof geometry;
    tvk_geometry(model, action, &geometry);
    for (int area = 0; area < TVK_AREA_COUNT; ++area) {
        if (geometry.target[area] == 0 &&
            (best < 0 || distanceFromCentre(area) < distanceFromCentre(best))) {
            best = area;
        }
    }
    return best;
}

float bandMiddle(Band band, float low, float high, float extent) {
    switch (band) {
    case kLow:
        return low / 2.0F;
    case kMid:
        return (low + high) / 2.0F;
    default:
        return extent > high ? (high + extent) / 2.0F : high + (high - low) / 2.0F;
    }
}

} // namespace

bool validModelAction(int model, int action) {
    prepareThread();
    return TvlInRange(model, TVK_MODEL_COUNT) && TvlInRange(action, TVK_ACTION_COUNT);
}

int refuseModelAction(const char *function, int model, int action) {
    prepareThread();
    if (!TvlInRange(model, TVK_MODEL_COUNT)) {
        return fail(TVK_E_ARG,
                    std::string(function) + ": model " + std::to_string(model) + " is not 0..2");
    }
    if (!TvlInRange(action, TVK_ACTION_COUNT)) {
        return fail(TVK_E_ARG,
                    std::string(function) + ": action " + std::to_string(action) + " is not 0..10");
    }
    return TVK_OK;
}

const ST_ActManageUnit &factoryUnit(int action) {
    return factoryLogic().stActUnit[action];
}

int areaOf(int model, int action, float x, float y) {
    const ST_ActManageUnit &unit = factoryUnit(action);
    unsigned char counters[kPosAreaNum] = {};
    EN_MatePosArea area = enPosXLoYMid;
    tvk::lib::LogicPosDim_ValToSta(counters, &area, x, y, unit.stThresX[model],
                                   unit.stThresY[model]);
    return area;
}

bool inTarget(int model, int action, float x, float y) {
    ST_ActManageUnit unit = factoryUnit(action);
    const auto area = static_cast<EN_MatePosArea>(areaOf(model, action, x, y));
    return tvk::lib::LogicValAnaHandle_ArrPos(area, unit.enAreaCfg) == 1;
}

} // namespace tvk

namespace {

// A geometry question the kit can answer: a model and an action, and a
// loaded library whose factory records the kit reads as it lays them out.
int refuseGeometry(const char *function, int model, int action) {
    const int refused = tvk::refuseModelAction(function, model, action);
    return refused != TVK_OK ? refused : tvk::checkRecordLayouts(function);
}

} // namespace

extern "C" {

int tvk_geometry(int model, int action, TVK_Geometry *out) {
    int result = tvk::checkOutput("tvk_geometry", "out", out);
    if (result == TVK_OK) {
        result = refuseGeometry("tvk_geometry", model, action);
    }
    if (result != TVK_OK) {
        return result;
    }
    ST_ActManageUnit unit = tvk::factoryUnit(action);
    TVK_Geometry full{};
    full.size = sizeof full;
    full.model = model;
    full.action = action;
    full.x_low = unit.stThresX[model].fBandLow;
    full.x_high = unit.stThresX[model].fBandHigh;
    full.y_low = unit.stThresY[model].fBandLow;
    full.y_high = unit.stThresY[model].fBandHigh;
    for (int area = 0; area < TVK_AREA_COUNT; ++area) {
        full.target[area] =
            tvk::lib::LogicValAnaHandle_ArrPos(static_cast<EN_MatePosArea>(area), unit.enAreaCfg);
    }
    for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        full.motor[motor] = unit.enMotCfg[motor];
    }
    full.success_count = unit.u8AdjSuccNum;
    tvk::writeRecord(full, out);
    return TVK_OK;
}

int tvk_area_of(int model, int action, float x, float y) {
    const int refused = refuseGeometry("tvk_area_of", model, action);
    return refused != TVK_OK ? refused : tvk::areaOf(model, action, x, y);
}

int tvk_in_target(int model, int action, float x, float y) {
    const int refused = refuseGeometry("tvk_in_target", model, action);
    if (refused != TVK_OK) {
        return refused;
    }
    return tvk::inTarget(model, action, x, y) ? 1 : 0;
}

int tvk_start_point(int model, int action, float width, float height, float *x, float *y) {
    if (x == nullptr || y == nullptr) {
        return tvk::fail(TVK_E_ARG, std::string("tvk_start_point: ") + (x == nullptr ? "x" : "y") +
                                        " is null");
    }
    const int refused = refuseGeometry("tvk_start_point", model, action);
    if (refused != TVK_OK) {
        return refused;
    }
    const int area = tvk::startArea(model, action);
    if (area < 0) {
        return tvk::fail(TVK_E_ARG, "tvk_start_point: every area of model " +
                                        std::to_string(model) + ", action " +
                                        std::to_string(action) + " is a target");
    }
    TVK_Geometry g{};
    g.size = sizeof g;
    tvk_geometry(model, action, &g);
    *x = tvk::bandMiddle(tvk::kAreaBands[area].x, g.x_low, g.x_high, width);
    *y = tvk::bandMiddle(tvk::kAreaBands[area].y, g.y_low, g.y_high, height);
    return TVK_OK;
}

} // extern "C"
