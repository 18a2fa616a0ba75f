// Self-commissioning: a few probe vibrations, sent through the host's own
// feeder and read through its own camera, find the frequency where the
// action's main motors move the part most and an amplitude that moves it
// without throwing it; the library then tunes in a window around them.
// Only what a real host has is used: commands out, positions in.
#include "internal.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A probe moved the part when it went further than this (host units): the
// camera's noise stays well below it.
constexpr float kMovedUnits = 3.0F;
// Frequencies probed: from half the factory's initial word to a quarter
// beyond its maximum, coarse first, then twice finer around the best.
constexpr int kCoarseProbes = 9;
constexpr int kRefinements = 2;
// Amplitude halvings tried when the best frequency throws the part.
constexpr int kAmplitudeProbes = 3;
// Steps a session may take before its first vibration gives the template.
constexpr int kTemplateSteps = 50;

struct Probe {
    float moved = 0.0F;
    bool seen = false;
};

// Forwards the camera and keeps the first command instead of sending it.
struct TemplateCatch {
    const tvr::Host *host = nullptr;
    bool caught = false;
    ST_HostFedColC command{};
};

int catchCamera(void *user, float *x, float *y) {
    const auto *catcher = static_cast<TemplateCatch *>(user);
    return catcher->host->camera(catcher->host->user, x, y);
}

int catchFeeder(void *user, const ST_HostFedColC *command) {
    auto *catcher = static_cast<TemplateCatch *>(user);
    if (!catcher->caught) {
        catcher->caught = true;
        catcher->command = *command;
    }
    return 0;
}

int kitFailure(const std::string &what, int code) {
    const std::string message = tvk_errmsg();
    return tvr::fail(TVR_E_KIT, "tvr_commission: " + what + ": " +
                                    (message.empty() ? tvk_strerror(code) : message));
}

// The library's first command of the action (every word as the factory
// sets it) and its window; nothing reaches the feeder.
int factoryTemplate(int model, int action, const tvr::Host &host, ST_HostFedColC *command,
                    ST_HostLogicParam *window) {
    // A part lying in a target would keep the library from vibrating at all.
    if (host.putBack != nullptr) {
        host.putBack(host.user);
    }
    TemplateCatch catcher;
    catcher.host = &host;
    TVK_SessionConfig config;
    tvk_session_config_init(&config, model, action);
    config.camera = catchCamera;
    config.feeder = catchFeeder;
    config.user = &catcher;
    config.verdict_sweeps = 0;
    TVK_Session *session = nullptr;
    int result = tvk_session_start(&config, &session);
    if (result != TVK_OK) {
        return kitFailure("session start", result);
    }
    *window = TVLLogicParamRe();
    TVK_StepReport report{};
    report.size = sizeof report;
    for (int step = 0; step < kTemplateSteps && !catcher.caught && result == TVK_OK; ++step) {
        result = tvk_session_step(session, &report);
    }
    (void)tvk_session_end(session);
    if (result != TVK_OK) {
        return kitFailure("step", result);
    }
    if (!catcher.caught) {
        return tvr::fail(TVR_E_KIT, "tvr_commission: the library commanded no vibration in " +
                                        std::to_string(kTemplateSteps) + " steps");
    }
    *command = catcher.command;
    return TVR_OK;
}

class Prober {
  public:
    Prober(const tvr::Host &host, const ST_HostFedColC &command, int model, int action)
        : host_(host), command_(command) {
        TVK_Geometry geometry{};
        geometry.size = sizeof geometry;
        if (tvk_geometry(model, action, &geometry) == TVK_OK) {
            for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
                main_[motor] = geometry.motor[motor] == TVK_MOTOR_MAIN;
            }
            throwUnits_ =
                std::min(geometry.x_high - geometry.x_low, geometry.y_high - geometry.y_low);
        }
    }
    int vibrations() const {
        return vibrations_;
    }
    float throwUnits() const {
        return throwUnits_;
    }
    // One vibration with the main motors at amp and fre; TVR_OK or TVR_E_KIT.
    int probe(unsigned amp, unsigned fre, Probe *out) {
        int result = where(&before_);
        ST_HostFedColC command = command_;
        for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
            if (main_[motor]) {
                command.u16MotParam[motor][0] = static_cast<unsigned short>(amp);
                command.u16MotParam[motor][1] = static_cast<unsigned short>(fre);
            }
        }
        if (result == TVR_OK && host_.drive(host_.user, &command) < 0) {
            result = tvr::fail(TVR_E_KIT, "tvr_commission: the feeder callback failed");
        }
        ++vibrations_;
        Where after;
        if (result == TVR_OK) {
            result = where(&after);
        }
        out->seen = before_.seen && after.seen;
        out->moved = out->seen ? std::hypot(after.x - before_.x, after.y - before_.y) : 0.0F;
        // The part wandered: back to the start point for the next probe.
        if (result == TVR_OK && (!after.seen || out->moved >= kMovedUnits) &&
            host_.putBack != nullptr) {
            host_.putBack(host_.user);
        }
        return result;
    }

  private:
    struct Where {
        bool seen = false;
        float x = 0.0F;
        float y = 0.0F;
    };
    int where(Where *at) const {
        const int seen = host_.camera(host_.user, &at->x, &at->y);
        if (seen < 0) {
            return tvr::fail(TVR_E_KIT, "tvr_commission: the camera callback failed");
        }
        at->seen = seen > 0;
        return TVR_OK;
    }

    const tvr::Host &host_;
    ST_HostFedColC command_;
    bool main_[TVK_MOTOR_COUNT] = {false, false, false, false};
    float throwUnits_ = 30.0F;
    int vibrations_ = 0;
    Where before_;
};

struct Best {
    unsigned fre = 0;
    float moved = 0.0F;
};

// The largest displacements seen: of every probe, and of the probes inside
// the factory window.
struct Found {
    unsigned windowLo = 0;
    unsigned windowHi = 0;
    Best all;
    Best inside;

    void note(unsigned fre, float moved) {
        if (moved > all.moved) {
            all = Best{fre, moved};
        }
        if (fre >= windowLo && fre <= windowHi && moved > inside.moved) {
            inside = Best{fre, moved};
        }
    }
};

// Probes each frequency at amp.
int sweep(Prober &prober, unsigned amp, const std::vector<unsigned> &frequencies, Found *found) {
    for (const unsigned fre : frequencies) {
        Probe probe;
        const int result = prober.probe(amp, fre, &probe);
        if (result != TVR_OK) {
            return result;
        }
        found->note(fre, probe.moved);
    }
    return TVR_OK;
}

// The coarse frequencies, the factory window's ends and middle among them.
std::vector<unsigned> coarseGrid(unsigned lo, unsigned hi, const ST_HostLogicParam &window) {
    std::vector<unsigned> grid{window.u16FreInit, (window.u16FreInit + window.u16FreMax) / 2U,
                               window.u16FreMax};
    for (int i = 0; i < kCoarseProbes; ++i) {
        grid.push_back(lo + static_cast<unsigned>(std::lround(static_cast<double>(hi - lo) * i /
                                                              (kCoarseProbes - 1))));
    }
    std::sort(grid.begin(), grid.end());
    grid.erase(std::unique(grid.begin(), grid.end()), grid.end());
    return grid;
}

// The frequency of the largest displacement, at the lowest amplitude (from
// the factory's initial word, doubled up to its maximum) that moves the part
// at all; best.moved stays below kMovedUnits when none does.
int findResonance(Prober &prober, const ST_HostLogicParam &window, unsigned *amp, Found *found) {
    const unsigned lo = std::max(1U, window.u16FreInit / 2U);
    const unsigned hi = std::max<unsigned>(lo + 1, window.u16FreMax + window.u16FreMax / 4U);
    const std::vector<unsigned> grid = coarseGrid(lo, hi, window);
    found->windowLo = window.u16FreInit;
    found->windowHi = window.u16FreMax;
    *amp = std::max<unsigned>(1, window.u16AmpInit);
    int result = TVR_OK;
    for (;;) {
        result = sweep(prober, *amp, grid, found);
        if (result != TVR_OK || found->all.moved >= kMovedUnits || *amp >= window.u16AmpMax) {
            break;
        }
        *amp = std::min<unsigned>(*amp * 2, window.u16AmpMax);
    }
    unsigned step = (hi - lo) / (kCoarseProbes - 1) / 2;
    for (int round = 0;
         round < kRefinements && step > 0 && result == TVR_OK && found->all.moved >= kMovedUnits;
         ++round, step /= 2) {
        const unsigned centre = found->all.fre;
        std::vector<unsigned> around{centre + step};
        if (centre > step) {
            around.push_back(centre - step);
        }
        result = sweep(prober, *amp, around, found);
    }
    return result;
}

// Halves the amplitude while the part is thrown further than a band.
int tameAmplitude(Prober &prober, const Best &best, unsigned *amp) {
    float moved = best.moved;
    for (int i = 0; i < kAmplitudeProbes && moved > prober.throwUnits() && *amp > 1; ++i) {
        Probe probe;
        const int result = prober.probe(*amp / 2, best.fre, &probe);
        if (result != TVR_OK) {
            return result;
        }
        if (probe.moved < kMovedUnits) {
            break;
        }
        *amp /= 2;
        moved = probe.moved;
    }
    return TVR_OK;
}

} // namespace

namespace tvr {

int commission(int model, int action, const Host &host, TVR_Commissioning *out) {
    TVR_Commissioning done{};
    done.size = sizeof done;
    ST_HostFedColC command{};
    ST_HostLogicParam window{};
    int result = factoryTemplate(model, action, host, &command, &window);
    if (result != TVR_OK) {
        return result;
    }
    Prober prober(host, command, model, action);
    unsigned amp = 0;
    Found found;
    result = findResonance(prober, window, &amp, &found);
    const Best &best = found.all;
    // The factory window keeps the action when it moves the part at least
    // half as far as the best frequency does: there the library's own sweep
    // serves best (its auxiliary motors step with the main ones).
    const bool keepWindow =
        found.inside.moved >= kMovedUnits && found.inside.moved * 2.0F >= best.moved;
    if (result == TVR_OK && best.moved >= kMovedUnits && !keepWindow) {
        result = tameAmplitude(prober, best, &amp);
    }
    done.probe_vibrations = prober.vibrations();
    done.best_frequency = static_cast<float>(best.fre);
    done.moved = best.moved;
    done.params = window;
    if (best.moved < kMovedUnits) {
        done.verdict = TVK_FAILED;
        copyText(done.reason, "no probe moved the part: frequencies " +
                                  std::to_string(std::max(1U, window.u16FreInit / 2U)) + ".." +
                                  std::to_string(window.u16FreMax + window.u16FreMax / 4U) +
                                  " at amplitudes up to " + std::to_string(window.u16AmpMax) +
                                  "; " + std::to_string(done.probe_vibrations) + " vibrations");
    } else if (keepWindow) {
        done.verdict = TVK_RUNNING;
        copyText(done.reason, "largest displacement " + std::to_string(best.moved) +
                                  " at frequency " + std::to_string(best.fre) +
                                  "; the factory window moves the part " +
                                  std::to_string(found.inside.moved) + ": kept");
    } else {
        // A window a few words either side of the best frequency; the library's
        // own sweep finds the exact word and raises the amplitude if it must.
        const unsigned half = std::max(1U, (best.fre * 4U + 50U) / 100U);
        done.verdict = TVK_RUNNING;
        done.params.u16FreInit =
            static_cast<unsigned short>(best.fre > half ? best.fre - half : 1U);
        done.params.u16FreMax = static_cast<unsigned short>(best.fre + half);
        done.params.u16AmpInit = static_cast<unsigned short>(amp);
        done.params.u16AmpMax = std::max<unsigned short>(window.u16AmpMax, done.params.u16AmpInit);
        copyText(done.reason, "largest displacement " + std::to_string(best.moved) +
                                  " at frequency " + std::to_string(best.fre) + ", amplitude " +
                                  std::to_string(amp));
    }
    writeRecord(done, out);
    return result;
}

} // namespace tvr

extern "C" {

int tvr_commission(int model, int action, TVK_CameraFn camera, TVK_FeederFn feeder,
                   TVK_PutBackFn put_back, void *user, TVR_Commissioning *out) {
    constexpr const char *kFunction = "tvr_commission";
    int result = TVR_OK;
    if (model < 0 || model >= TVK_MODEL_COUNT) {
        result =
            tvr::fail(TVR_E_ARG, "tvr_commission: model " + std::to_string(model) + " is not 0..2");
    }
    if (result == TVR_OK) {
        result = tvr::checkAction(kFunction, action, false);
    }
    if (result == TVR_OK && (camera == nullptr || feeder == nullptr)) {
        result = tvr::fail(TVR_E_ARG, "tvr_commission: camera or feeder is null");
    }
    if (result == TVR_OK) {
        result = tvr::checkRecordOut(kFunction, "out", out, sizeof(TVR_Commissioning));
    }
    return result == TVR_OK
               ? tvr::commission(model, action, tvr::Host{camera, feeder, put_back, user}, out)
               : result;
}

} // extern "C"
