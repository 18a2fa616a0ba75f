#include "action_layout.h"

namespace tvlsim {

namespace {

enum Band { kLow = 0, kMid = 1, kHigh = 2 };

// Area numbers by X band, then Y band.
constexpr int kAreaByBand[3][3] = {{1, 0, 2}, {3, 8, 4}, {6, 5, 7}};

constexpr bool T = true;
constexpr bool F = false;

const std::array<ActionLayout, kActionNum> kLayouts = {{
    {{F, F, F, F, F, T, T, T, F}, {F, F, T, T}}, // 0: high X band
    {{F, F, F, F, F, F, F, T, F}, {T, F, T, F}}, // 1: high X, high Y
    {{F, F, F, F, F, F, T, F, F}, {F, T, F, T}}, // 2: high X, low Y
    {{F, F, T, F, T, F, F, T, F}, {T, F, T, F}}, // 3: high Y band
    {{F, T, F, T, F, F, T, F, F}, {F, T, F, T}}, // 4: low Y band
    {{T, T, T, F, F, F, F, F, F}, {T, T, F, F}}, // 5: low X band
    {{F, F, T, F, F, F, F, F, F}, {T, F, T, F}}, // 6: low X, high Y
    {{F, T, F, F, F, F, F, F, F}, {F, T, F, T}}, // 7: low X, low Y
    {{T, T, T, T, T, T, T, T, F}, {T, T, T, T}}, // 8: anywhere but the centre
    {{F, F, F, T, T, T, T, T, T}, {T, T, T, T}}, // 9: out of the low X band
    {{T, F, T, F, T, T, T, T, T}, {T, T, T, T}}, // 10: out of the low Y band
}};

int bandOf(double value, Bands bands) {
    if (value < bands.low) {
        return kLow;
    }
    return value < bands.high ? kMid : kHigh;
}

double bandMiddle(int band, Bands bands, double size) {
    switch (band) {
    case kLow:
        return bands.low / 2.0;
    case kMid:
        return (bands.low + bands.high) / 2.0;
    default:
        return (bands.high + size) / 2.0;
    }
}

} // namespace

const ActionLayout &actionLayout(int action) {
    return kLayouts.at(static_cast<std::size_t>(action));
}

Bands bandsX(int model, int action) {
    if (model == 0) {
        return action == 8 ? Bands{50, 140} : action == 9 ? Bands{65, 130} : Bands{60, 130};
    }
    return action == 8 ? Bands{80, 240} : action == 9 ? Bands{80, 130} : Bands{100, 220};
}

Bands bandsY(int model, int action) {
    if (model == 0) {
        return action == 8 ? Bands{40, 110} : action == 10 ? Bands{60, 100} : Bands{55, 100};
    }
    return action == 8 ? Bands{60, 180} : action == 9 ? Bands{60, 100} : Bands{80, 160};
}

int areaOf(Vec2 position, int model, int action) {
    return kAreaByBand[bandOf(position.x, bandsX(model, action))]
                      [bandOf(position.y, bandsY(model, action))];
}

bool inTarget(Vec2 position, int model, int action) {
    return actionLayout(action).target.at(
        static_cast<std::size_t>(areaOf(position, model, action)));
}

Vec2 startPosition(int model, int action) {
    // Actions 9 and 10 count the centre as a target; their part starts in the
    // band they push it out of.
    const int bandX = action == 9 ? kLow : kMid;
    const int bandY = action == 10 ? kLow : kMid;
    const Vec2 size = platformSize(model);
    return {bandMiddle(bandX, bandsX(model, action), size.x),
            bandMiddle(bandY, bandsY(model, action), size.y)};
}

} // namespace tvlsim
