// Instances: the kit loads a private copy of itself, with its own
// libtavrel and C runtime, into a link-map namespace of its own and hands
// out a table of its functions. A closed instance's namespace is kept for
// the next open, since the C runtime and the C++ runtime in it stay loaded
// (the loader never frees them) and namespaces are few.
#include "instance.h"

#include "api_table.h"
#include "kit.h"
#include "live_table.h"

#include <atomic>
#include <memory>
#include <string>

#ifndef _WIN32
#include <dlfcn.h>
#include <locale.h>

#include <mutex>
#include <vector>
#endif

namespace {

std::atomic<tvk::TokenSource> g_tokenSource{nullptr};

// The process's own copy's table.
TVK_Api ownApi() {
    TVK_Api api{};
    api.size = sizeof api;
#define TVK_OWN(name) api.name = &tvk_##name;
    TVK_API_TABLE(TVK_OWN)
#undef TVK_OWN
    return api;
}

#ifndef _WIN32

struct Instance {
    tvk::OwnerGuard guard;
    void *module = nullptr;
    Lmid_t space = LM_ID_BASE;
    std::string path;
    TVK_Api api{};
};

tvk::LiveTable<Instance> g_instances;

// Namespaces of closed instances, for the next open.
std::mutex g_spacesLock;
std::vector<Lmid_t> g_freeSpaces;

Lmid_t takeSpace() {
    const std::lock_guard<std::mutex> lock(g_spacesLock);
    if (g_freeSpaces.empty()) {
        return LM_ID_NEWLM;
    }
    const Lmid_t space = g_freeSpaces.back();
    g_freeSpaces.pop_back();
    return space;
}

void giveSpace(Lmid_t space) {
    const std::lock_guard<std::mutex> lock(g_spacesLock);
    g_freeSpaces.push_back(space);
}

// The shared kit of this release beside the file this code runs from.
std::string kitBeside() {
    Dl_info info{};
    std::string dir = ".";
    if (dladdr(reinterpret_cast<void *>(&tvk_instance_open), &info) != 0 &&
        info.dli_fname != nullptr) {
        const std::string self = info.dli_fname;
        const std::size_t slash = self.rfind('/');
        if (slash != std::string::npos) {
            dir = self.substr(0, slash);
        }
    }
    return dir + "/libtavrel_hostkit.so." + std::to_string(TAVREL_VERSION_MAJOR);
}

std::string loaderReason() {
    const char *reason = dlerror();
    return reason != nullptr ? reason : "unknown reason";
}

int refuseLoad(const std::string &what, const std::string &reason) {
    const bool limit = reason.find("no more namespaces") != std::string::npos ||
                       reason.find("static TLS") != std::string::npos;
    if (limit) {
        return tvk::fail(TVK_E_LIMIT,
                         "tvk_instance_open: the C library's loader holds no further instance (" +
                             reason +
                             "); GLIBC_TUNABLES=glibc.rtld.nns=16, set before the process "
                             "starts, raises the limit to 15");
    }
    return tvk::fail(TVK_E_IO, "tvk_instance_open: " + what + ": " + reason);
}

// Unloads the module; its namespace goes back for reuse unless the kit
// stayed loaded in it (the next open there would find the old state).
void unload(const Instance &instance) {
    dlclose(instance.module);
    if (instance.space == LM_ID_NEWLM) {
        return;
    }
    void *stayed = dlmopen(instance.space, instance.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (stayed != nullptr) {
        dlclose(stayed);
        return;
    }
    giveSpace(instance.space);
}

// The table's functions and the join, bound in the loaded kit; TVK_OK or the
// refusal of a module that is not a kit of this release.
int bind(Instance &instance, const std::string &what) {
    instance.api.size = sizeof instance.api;
    bool complete = true;
#define TVK_BIND(name)                                                                             \
    instance.api.name =                                                                            \
        reinterpret_cast<decltype(instance.api.name)>(dlsym(instance.module, "tvk_" #name));       \
    complete = complete && instance.api.name != nullptr;
    TVK_API_TABLE(TVK_BIND)
#undef TVK_BIND
    const auto join = reinterpret_cast<void (*)(void *(*)())>(
        dlsym(instance.module, "tvk_internal_instance_join"));
    if (!complete || join == nullptr) {
        return tvk::fail(TVK_E_IO, "tvk_instance_open: " + what + " is not a host kit");
    }
    const std::string version = instance.api.version();
    if (version != TAVREL_VERSION_STRING) {
        return tvk::fail(TVK_E_LAYOUT, "tvk_instance_open: " + what + " is the kit of release " +
                                           version + ", not " + TAVREL_VERSION_STRING);
    }
    join(&tvk::newToken);
    return TVK_OK;
}

int open(const char *kitPath, TVK_Instance **out) {
    auto instance = std::make_unique<Instance>();
    instance->path = kitPath != nullptr ? kitPath : kitBeside();
    const std::string what = "kit '" + instance->path + "'";
    Lmid_t space = takeSpace();
    instance->module = dlmopen(space, instance->path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (instance->module == nullptr && space != LM_ID_NEWLM) {
        const std::string reason = loaderReason();
        if (reason.find("invalid target namespace") == std::string::npos) {
            giveSpace(space);
            return refuseLoad(what, reason);
        }
        // A kept namespace that emptied whole (nothing in it stayed loaded)
        // is the loader's again.
        space = LM_ID_NEWLM;
        instance->module = dlmopen(space, instance->path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (instance->module == nullptr) {
        return refuseLoad(what, loaderReason());
    }
    instance->space = space;
    if (space == LM_ID_NEWLM && dlinfo(instance->module, RTLD_DI_LMID, &instance->space) != 0) {
        instance->space = LM_ID_NEWLM; // never reused: nothing names it
    }
    const int bound = bind(*instance, what);
    if (bound != TVK_OK) {
        unload(*instance);
        return bound;
    }
    void *token = g_instances.add(std::move(instance));
    if (token == nullptr) {
        return tvk::fail(TVK_E_NOMEM, "tvk_instance_open: out of memory");
    }
    *out = static_cast<TVK_Instance *>(token);
    return TVK_OK;
}

#endif

} // namespace

namespace tvk {

TokenSource instanceTokenSource() {
    return g_tokenSource.load();
}

void prepareThread() {
#ifndef _WIN32
    thread_local bool t_prepared = false;
    if (!t_prepared && instanceTokenSource() != nullptr) {
        (void)uselocale(LC_GLOBAL_LOCALE);
        t_prepared = true;
    }
#endif
}

} // namespace tvk

extern "C" {

void tvk_internal_instance_join(void *(*token_source)(void)) {
    g_tokenSource.store(token_source);
}

void tvk_internal_instance_leave(void) {
    tvk::leaveCapture();
}

#ifdef _WIN32

namespace {
int notHere(const char *function) {
    return tvk::fail(TVK_E_PLATFORM,
                     std::string(function) +
                         ": instances need a C runtime per copy, which Windows does not give");
}
} // namespace

int tvk_instance_open(const char *, TVK_Instance **out) {
    if (out != nullptr) {
        *out = nullptr;
    }
    return notHere("tvk_instance_open");
}

int tvk_instance_api(const TVK_Instance *instance, TVK_Api *out) {
    const int refused = tvk::checkOutput("tvk_instance_api", "out", out);
    if (refused != TVK_OK) {
        return refused;
    }
    if (instance != nullptr) {
        return notHere("tvk_instance_api");
    }
    tvk::writeRecord(ownApi(), out);
    return TVK_OK;
}

int tvk_instance_symbol(const TVK_Instance *, const char *, void **) {
    return notHere("tvk_instance_symbol");
}

int tvk_instance_close(TVK_Instance *instance) {
    return instance == nullptr ? TVK_OK : notHere("tvk_instance_close");
}

#else

int tvk_instance_open(const char *kit_path, TVK_Instance **out) {
    if (out == nullptr) {
        return tvk::fail(TVK_E_ARG, "tvk_instance_open: out is null");
    }
    *out = nullptr;
    return open(kit_path, out);
}

int tvk_instance_api(const TVK_Instance *instance, TVK_Api *out) {
    constexpr const char *kFunction = "tvk_instance_api";
    const int refused = tvk::checkOutput(kFunction, "out", out);
    if (refused != TVK_OK) {
        return refused;
    }
    if (instance == nullptr) {
        tvk::writeRecord(ownApi(), out);
        return TVK_OK;
    }
    const tvk::LiveTable<Instance>::Use live(g_instances, instance, kFunction,
                                             __builtin_frame_address(0));
    if (live.refusal() != TVK_OK) {
        return live.refusal();
    }
    tvk::writeRecord(live->api, out);
    return TVK_OK;
}

int tvk_instance_symbol(const TVK_Instance *instance, const char *name, void **out) {
    constexpr const char *kFunction = "tvk_instance_symbol";
    if (name == nullptr || out == nullptr) {
        return tvk::fail(TVK_E_ARG, std::string(kFunction) + ": " +
                                        (name == nullptr ? "name" : "out") + " is null");
    }
    const tvk::LiveTable<Instance>::Use live(g_instances, instance, kFunction,
                                             __builtin_frame_address(0));
    if (live.refusal() != TVK_OK) {
        return live.refusal();
    }
    *out = dlsym(live->module, name);
    if (*out == nullptr) {
        return tvk::fail(TVK_E_ARG,
                         std::string(kFunction) + ": the instance's kit has no '" + name + "'");
    }
    return TVK_OK;
}

int tvk_instance_close(TVK_Instance *instance) {
    if (instance == nullptr) {
        return TVK_OK;
    }
    std::unique_ptr<Instance> closing;
    const int removed =
        g_instances.remove(instance, "tvk_instance_close", __builtin_frame_address(0), &closing);
    if (removed != TVK_OK) {
        return removed;
    }
    const auto leave =
        reinterpret_cast<void (*)()>(dlsym(closing->module, "tvk_internal_instance_leave"));
    leave();
    unload(*closing);
    return TVK_OK;
}

#endif

} // extern "C"
