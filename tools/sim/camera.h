// tavrel-sim --camera frames: the frames camera module, loaded only when a
// run asks for it (the simulator itself needs no OpenCV), and the camera of
// one session.
#ifndef TAVREL_SIM_CAMERA_MODULE_H
#define TAVREL_SIM_CAMERA_MODULE_H

#include "sim_camera.h"

#include <cstdint>
#include <string>

namespace tvlsim {

// How the frames camera sees each feeder (tavrel-sim's --frame-* options).
struct FrameOptions {
    bool on = false; // --camera frames
    int width = 640;
    int height = 480;
    int orientation = 0;
    double tilt = 0.1;
    double rollDeg = 2.0;
    int shape = 0;
    double vignetting = 0.15;
    double blurPx = 0.8;
    double noise = 2.0;
    int dust = 10;
    std::string saveDir; // --save-frames
};

// The module, open while this lives. Throws tvltools::UsageError saying
// which package to install when it is not there or does not fit.
class CameraModule {
  public:
    CameraModule();
    ~CameraModule();
    CameraModule(const CameraModule &) = delete;
    CameraModule &operator=(const CameraModule &) = delete;
    const TVLSIM_CameraTable &table() const {
        return *table_;
    }

  private:
    void *handle_ = nullptr;
    const TVLSIM_CameraTable *table_ = nullptr;
};

// Where the module is: $TAVREL_SIM_MODULE_DIR/tavrel_sim_camera.so when
// set, else beside the installed program, else the build tree's.
std::string cameraModulePath();

// One feeder's camera; throws std::runtime_error when the module refuses.
class SessionCamera {
  public:
    SessionCamera(const CameraModule &module, const TVLSIM_CameraSetup &setup);
    ~SessionCamera();
    SessionCamera(const SessionCamera &) = delete;
    SessionCamera &operator=(const SessionCamera &) = delete;
    // bMateReco for the part the simulator holds at (x, y); the located
    // position in *seenX, *seenY when 1.
    int look(float x, float y, float *seenX, float *seenY);

  private:
    const TVLSIM_CameraTable &table_;
    TVLSIM_Camera *camera_ = nullptr;
};

} // namespace tvlsim

#endif
