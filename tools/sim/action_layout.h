// What the host knows about each action: the 3 x 3 grid it is judged on, its
// target areas, the motors it drives and where the part starts.
#ifndef TAVREL_SIM_ACTION_LAYOUT_H
#define TAVREL_SIM_ACTION_LAYOUT_H

#include "feeder_model.h"

#include <array>

namespace tvlsim {

constexpr int kActionNum = 11;
constexpr int kAreaNum = 9;

// Band edges of one axis: low below `low`, high from `high` on.
struct Bands {
    double low = 0.0;
    double high = 0.0;
};

struct ActionLayout {
    std::array<bool, kAreaNum> target{};  // by area number, 8 being the centre
    std::array<bool, kMotorNum> motors{}; // motors the action drives
};

const ActionLayout &actionLayout(int action);
Bands bandsX(int model, int action);
Bands bandsY(int model, int action);
// Area number of a position: 0 X low Y mid, 1 X low Y low, 2 X low Y high,
// 3 X mid Y low, 4 X mid Y high, 5 X high Y mid, 6 X high Y low, 7 X high Y
// high, 8 centre.
int areaOf(Vec2 position, int model, int action);
bool inTarget(Vec2 position, int model, int action);
// The middle of an area outside the targets, on the far side from them.
Vec2 startPosition(int model, int action);

} // namespace tvlsim

#endif
