#include "camera.h"

#include "cli.h"

#include <cstdlib>
#include <stdexcept>

#ifndef _WIN32
#include <dlfcn.h>
#include <malloc.h>
#endif

namespace tvlsim {

namespace {

const char *const kModuleName = "tavrel_sim_camera.so";

[[noreturn]] void refuse(const std::string &why) {
    throw tvltools::UsageError("--camera frames: " + why);
}

} // namespace

std::string cameraModulePath() {
    const char *dir = std::getenv("TAVREL_SIM_MODULE_DIR");
    if (dir != nullptr && *dir != '\0') {
        return std::string(dir) + "/" + kModuleName;
    }
    return tvltools::besideProgram(TAVREL_SIM_CAMERA_INSTALLED, TAVREL_SIM_CAMERA);
}

#ifdef _WIN32
CameraModule::CameraModule() {
    refuse("this build has no frames library (none is built for Windows)");
}
CameraModule::~CameraModule() = default;
#else
CameraModule::CameraModule() {
    // Every frame allocates image-sized buffers: kept in the heap and reused,
    // they cost no fresh pages (measured: the page faults took three times
    // the rendering).
    (void)mallopt(M_MMAP_THRESHOLD, 64 << 20);
    (void)mallopt(M_TRIM_THRESHOLD, 256 << 20);
    const std::string path = cameraModulePath();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char *why = dlerror();
        refuse("cannot load the frames camera " + tvltools::quoted(path) + " (" +
               (why != nullptr ? why : "unknown") + "): install the tavrel-frames-tools package");
    }
    void *symbol = dlsym(handle_, "tvlsim_camera_table");
    const auto tableOf = reinterpret_cast<TVLSIM_CameraTableFn>(symbol);
    table_ = tableOf != nullptr ? tableOf() : nullptr;
    if (table_ == nullptr || table_->version != TVLSIM_CAMERA_VERSION ||
        table_->size < sizeof(TVLSIM_CameraTable)) {
        (void)dlclose(handle_);
        refuse(tvltools::quoted(path) +
               " is not this release's frames camera: install the tavrel-frames-tools package of "
               "this release");
    }
}

CameraModule::~CameraModule() {
    (void)dlclose(handle_);
}
#endif

SessionCamera::SessionCamera(const CameraModule &module, const TVLSIM_CameraSetup &setup)
    : table_(module.table()) {
    if (table_.open(&setup, &camera_) != 0) {
        throw std::runtime_error(std::string("frames camera: ") + table_.message());
    }
}

SessionCamera::~SessionCamera() {
    table_.close(camera_);
}

int SessionCamera::look(float x, float y, float *seenX, float *seenY) {
    TVLSIM_Sight sight{};
    sight.size = sizeof sight;
    if (table_.look(camera_, x, y, &sight) != 0) {
        throw std::runtime_error(std::string("frames camera: ") + table_.message());
    }
    if (sight.seen != 0) {
        *seenX = sight.x;
        *seenY = sight.y;
    }
    return sight.seen;
}

} // namespace tvlsim
