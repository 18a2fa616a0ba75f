#include "physics.h"

#include <stdexcept>
#include <string>

namespace tvlsim {

namespace {

// Action 0's driven coils: they push the part towards +X together.
constexpr int kGridMotors[] = {2, 3};

// The grid of one model: amplitude words, and frequencies that bracket its
// resonance range and its actions' frequency windows.
struct Grid {
    unsigned ampFirst;
    unsigned ampLast;
    unsigned ampStep;
    unsigned freFirst;
    unsigned freLast;
    unsigned freStep;
    unsigned runMs;
};

Grid gridOf(int model) {
    return model == 0 ? Grid{10, 80, 10, 40, 90, 5, 300} : Grid{10, 100, 15, 14, 38, 3, 500};
}

void check(int result, const char *what) {
    if (result != TVK_OK) {
        throw std::runtime_error(std::string(what) + ": " + tvk_errmsg());
    }
}

ST_HostFedColC gridCommand(unsigned amp, unsigned fre, unsigned runMs) {
    ST_HostFedColC command{};
    for (const int motor : kGridMotors) {
        command.u16MotParam[motor][0] = static_cast<unsigned short>(amp);
        command.u16MotParam[motor][1] = static_cast<unsigned short>(fre);
        command.u16MotParam[motor][3] = 1;
    }
    command.u16RunTim = static_cast<unsigned short>(runMs);
    return command;
}

void printConstants(FILE *out, int model, const TVK_SimParams &params) {
    (void)std::fprintf(
        out,
        "model %d feeder: resonance %.2f Hz, Q %.2f (half-width %.2f Hz), gain %.3f um "
        "per word, friction static %.3f kinetic %.3f, lift %.3f, restitution %.2f, "
        "scatter %.2f, %.2f mm per unit\n",
        model, params.resonance_now, params.q, params.half_width, params.gain, params.friction_now,
        params.friction_now * params.kinetic, params.lift, params.restitution, params.scatter,
        params.mm_per_unit);
    (void)std::fprintf(out,
                       "coils 2 and 3 in phase, the part at the centre; friction acceleration "
                       "mu g = %.3f g\n",
                       params.friction_now);
}

} // namespace

void printPhysics(FILE *out, int model, const TVK_SimFeeder *sim) {
    TVK_SimParams params{};
    params.size = sizeof params;
    check(tvk_sim_params(sim, &params), "tvk_sim_params");
    printConstants(out, model, params);
    (void)std::fprintf(out, "  amp  fre Hz   horiz um    vert um  A w^2/g  Av w^2/g   mm/s     Kv  "
                            "flight\n");
    const Grid grid = gridOf(model);
    for (unsigned amp = grid.ampFirst; amp <= grid.ampLast; amp += grid.ampStep) {
        for (unsigned fre = grid.freFirst; fre <= grid.freLast; fre += grid.freStep) {
            const ST_HostFedColC command = gridCommand(amp, fre, grid.runMs);
            TVK_SimProbe probe{};
            probe.size = sizeof probe;
            check(tvk_sim_probe(sim, &command, &probe), "tvk_sim_probe");
            (void)std::fprintf(out, "%5u %7u %10.1f %10.1f %8.2f %9.2f %6.1f %6.2f %6.0f%%\n", amp,
                               fre, probe.horizontal_um, probe.vertical_um, probe.accel_g,
                               probe.throw_g, probe.speed_mm_s, probe.kv, 100.0 * probe.flight);
        }
    }
}

} // namespace tvlsim
