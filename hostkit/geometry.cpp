// Geometry of a model and an action, from the library's own initialiser and
// classification run on a private record: the kit keeps no table of its own.
#include "kit.h"

#include <cstdlib>

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
    static const bool bFilled = LogicActMovThrParamInit(&stFactory) == 1;
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
    return TvlInRange(model, TVK_MODEL_COUNT) && TvlInRange(action, TVK_ACTION_COUNT);
}

const ST_ActManageUnit &factoryUnit(int action) {
    return factoryLogic().stActUnit[action];
}

int areaOf(int model, int action, float x, float y) {
    const ST_ActManageUnit &unit = factoryUnit(action);
    unsigned char counters[kPosAreaNum] = {};
    EN_MatePosArea area = enPosXLoYMid;
    LogicPosDim_ValToSta(counters, &area, x, y, unit.stThresX[model], unit.stThresY[model]);
    return area;
}

bool inTarget(int model, int action, float x, float y) {
    ST_ActManageUnit unit = factoryUnit(action);
    const auto area = static_cast<EN_MatePosArea>(areaOf(model, action, x, y));
    return LogicValAnaHandle_ArrPos(area, unit.enAreaCfg) == 1;
}

} // namespace tvk

extern "C" {

int tvk_geometry(int model, int action, TVK_Geometry *out) {
    if (!tvk::sizedRecord(out) || !tvk::validModelAction(model, action)) {
        return TVK_E_ARG;
    }
    ST_ActManageUnit unit = tvk::factoryUnit(action);
    out->model = model;
    out->action = action;
    out->x_low = unit.stThresX[model].fBandLow;
    out->x_high = unit.stThresX[model].fBandHigh;
    out->y_low = unit.stThresY[model].fBandLow;
    out->y_high = unit.stThresY[model].fBandHigh;
    for (int area = 0; area < TVK_AREA_COUNT; ++area) {
        out->target[area] =
            LogicValAnaHandle_ArrPos(static_cast<EN_MatePosArea>(area), unit.enAreaCfg);
    }
    for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        out->motor[motor] = unit.enMotCfg[motor];
    }
    out->success_count = unit.u8AdjSuccNum;
    return TVK_OK;
}

int tvk_area_of(int model, int action, float x, float y) {
    return tvk::validModelAction(model, action) ? tvk::areaOf(model, action, x, y) : TVK_E_ARG;
}

int tvk_in_target(int model, int action, float x, float y) {
    if (!tvk::validModelAction(model, action)) {
        return TVK_E_ARG;
    }
    return tvk::inTarget(model, action, x, y) ? 1 : 0;
}

int tvk_start_point(int model, int action, float width, float height, float *x, float *y) {
    if (x == nullptr || y == nullptr || !tvk::validModelAction(model, action)) {
        return TVK_E_ARG;
    }
    const int area = tvk::startArea(model, action);
    if (area < 0) {
        return TVK_E_ARG; // every area a target: no start point exists
    }
    TVK_Geometry g{};
    g.size = sizeof g;
    tvk_geometry(model, action, &g);
    *x = tvk::bandMiddle(tvk::kAreaBands[area].x, g.x_low, g.x_high, width);
    *y = tvk::bandMiddle(tvk::kAreaBands[area].y, g.y_low, g.y_high, height);
    return TVK_OK;
}

} // extern "C"
