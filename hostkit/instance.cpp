// Instances: the kit loads a private copy of itself, with its own
// libtavrel, and hands out a table of its functions.
//
// Linux: the copy goes into a link-map namespace of its own, with its own C
// runtime. A closed instance's namespace is kept for the next open, since
// the C runtime and the C++ runtime in it stay loaded (the loader never
// frees them) and namespaces are few.
//
// Windows: the loader keys modules by name, so the kit and the library are
// copied to files of their own in a folder of the process's, loaded from
// there, and the kit's copy is bound to the library's copy at run time
// (library_binding.cpp). The C runtime (msvcrt.dll) stays the process's one.
#include "instance.h"

#include "api_table.h"
#include "kit.h"
#include "live_table.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <locale.h>
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

struct Instance {
    tvk::OwnerGuard guard;
    void *module = nullptr;
    std::string path;
    TVK_Api api{};
#ifdef _WIN32
    HMODULE library = nullptr;      // the library's copy, for a kit that binds one
    std::vector<std::string> files; // the copies, removed once unloaded
#else
    Lmid_t space = LM_ID_BASE;
#endif
};

tvk::LiveTable<Instance> g_instances;

#ifndef _WIN32

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

void *findSymbol(void *module, const char *name) {
    return dlsym(module, name);
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

// Loads the kit into a namespace of its own: a kept one if there is one.
int load(Instance &instance, const std::string &what) {
    Lmid_t space = takeSpace();
    instance.module = dlmopen(space, instance.path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (instance.module == nullptr && space != LM_ID_NEWLM) {
        const std::string reason = loaderReason();
        if (reason.find("invalid target namespace") == std::string::npos) {
            giveSpace(space);
            return refuseLoad(what, reason);
        }
        // A kept namespace that emptied whole (nothing in it stayed loaded)
        // is the loader's again.
        space = LM_ID_NEWLM;
        instance.module = dlmopen(space, instance.path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (instance.module == nullptr) {
        return refuseLoad(what, loaderReason());
    }
    instance.space = space;
    if (space == LM_ID_NEWLM && dlinfo(instance.module, RTLD_DI_LMID, &instance.space) != 0) {
        instance.space = LM_ID_NEWLM; // never reused: nothing names it
    }
    return TVK_OK;
}

#else

// The kit's own limit: the loader has none that a few feeders reach, but
// every instance costs its two files and their memory.
constexpr int kMaxInstances = 16;
std::atomic<int> g_held{0};

std::mutex g_folderLock;
std::string g_folder;  // this process's copies, made on the first open
unsigned g_copies = 0; // names the next copies
constexpr const char *kFolderPrefix = "tavrel-instances-";

std::string systemReason(DWORD error) {
    char *text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string reason = length != 0 ? std::string(text, length) : "error " + std::to_string(error);
    LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason;
}

int failSystem(const std::string &what) {
    return tvk::fail(TVK_E_IO, "tvk_instance_open: " + what + ": " + systemReason(GetLastError()));
}

std::string moduleFile(HMODULE module) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    return length != 0 && length < sizeof path ? std::string(path, length) : std::string();
}

// The shared kit of this release beside the file this code runs from.
std::string kitBeside() {
    HMODULE self = nullptr;
    std::string dir = ".";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&tvk_instance_open), &self) != 0) {
        const std::string file = moduleFile(self);
        const std::size_t slash = file.find_last_of("\\/");
        if (slash != std::string::npos) {
            dir = file.substr(0, slash);
        }
    }
    return dir + "\\tavrel_hostkit.dll";
}

void *findSymbol(void *module, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(module), name));
}

// A folder's files and the folder, as far as nothing holds them.
void removeFolder(const std::string &folder) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                (void)DeleteFileA((folder + "\\" + found.cFileName).c_str());
            }
        } while (FindNextFileA(search, &found) != 0);
        FindClose(search);
    }
    (void)RemoveDirectoryA(folder.c_str());
}

bool running(DWORD process) {
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (handle == nullptr) {
        return GetLastError() != ERROR_INVALID_PARAMETER; // denied: someone else's, alive
    }
    DWORD code = 0;
    const bool alive = GetExitCodeProcess(handle, &code) != 0 && code == STILL_ACTIVE;
    CloseHandle(handle);
    return alive;
}

// Copies left by processes that ended without closing their instances
// (killed, or still holding them at exit, when a loaded file cannot go).
void sweep(const std::string &temp) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((temp + kFolderPrefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const DWORD owner = std::strtoul(found.cFileName + std::strlen(kFolderPrefix), nullptr, 10);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !running(owner)) {
            removeFolder(temp + found.cFileName);
        }
    } while (FindNextFileA(search, &found) != 0);
    FindClose(search);
}

// This process's folder of copies, empty at exit when every instance was
// closed, and then removed.
struct Folder {
    Folder() = default;
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    ~Folder() {
        if (!g_folder.empty()) {
            (void)RemoveDirectoryA(g_folder.c_str());
        }
    }
};
Folder g_folderAtExit;

// Removes what ended processes left, then makes this process's folder of
// copies if it has none yet; the caller holds g_folderLock.
int prepareFolder() {
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) {
        return failSystem("the temporary folder");
    }
    sweep(temp);
    const std::string base =
        temp + std::string(kFolderPrefix) + std::to_string(GetCurrentProcessId()) + "-";
    for (unsigned attempt = 0; g_folder.empty(); ++attempt) {
        const std::string folder = base + std::to_string(attempt);
        if (CreateDirectoryA(folder.c_str(), nullptr) != 0) {
            g_folder = folder;
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return failSystem("folder '" + folder + "'");
        }
    }
    return TVK_OK;
}

// Copies source into the process's folder under a name no other module in
// the process has.
int copyFile(const std::string &source, const std::string &stem, const std::string &what,
             std::string *copy) {
    const std::lock_guard<std::mutex> lock(g_folderLock);
    *copy = g_folder + "\\" + stem + "-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(g_copies++) + ".dll";
    if (CopyFileA(source.c_str(), copy->c_str(), TRUE) == 0) {
        return failSystem(what + ": copying it to '" + *copy + "'");
    }
    return TVK_OK;
}

int loadCopy(Instance &instance, const std::string &source, const std::string &stem,
             const std::string &what, HMODULE *out) {
    std::string copy;
    const int copied = copyFile(source, stem, what, &copy);
    if (copied != TVK_OK) {
        return copied;
    }
    instance.files.push_back(copy);
    *out = LoadLibraryExA(copy.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return *out != nullptr ? TVK_OK : failSystem(what + ": loading its copy '" + copy + "'");
}

void unload(const Instance &instance) {
    if (instance.module != nullptr) {
        FreeLibrary(static_cast<HMODULE>(instance.module));
    }
    if (instance.library != nullptr) {
        FreeLibrary(instance.library);
    }
    for (const std::string &file : instance.files) {
        (void)DeleteFileA(file.c_str());
    }
    g_held.fetch_sub(1);
}

// Loads a copy of the kit, within the kit's limit.
int load(Instance &instance, const std::string &what) {
    if (g_held.fetch_add(1) >= kMaxInstances) {
        g_held.fetch_sub(1);
        return tvk::fail(TVK_E_LIMIT, "tvk_instance_open: the kit holds at most " +
                                          std::to_string(kMaxInstances) +
                                          " instances in one process on Windows");
    }
    int loaded = TVK_OK;
    {
        const std::lock_guard<std::mutex> lock(g_folderLock);
        loaded = prepareFolder();
    }
    HMODULE kit = nullptr;
    if (loaded == TVK_OK) {
        loaded = loadCopy(instance, instance.path, "tavrel_hostkit", what, &kit);
    }
    instance.module = kit;
    if (loaded != TVK_OK) {
        unload(instance); // keeps the thread's message
    }
    return loaded;
}

// A kit that calls tavrel.dll gets a copy of the one it imports (the
// process's), and is bound to it; a kit that holds the library itself
// needs none.
int bindLibrary(Instance &instance, const std::string &what) {
    const auto bindTo =
        reinterpret_cast<int (*)(void *)>(findSymbol(instance.module, "tvk_internal_library_bind"));
    if (bindTo == nullptr) {
        return TVK_OK;
    }
    const std::string library = moduleFile(GetModuleHandleA("tavrel.dll"));
    if (library.empty()) {
        return tvk::fail(TVK_E_IO, "tvk_instance_open: " + what + " imports no tavrel.dll");
    }
    const int loaded =
        loadCopy(instance, library, "tavrel", "library '" + library + "'", &instance.library);
    if (loaded != TVK_OK) {
        return loaded;
    }
    if (bindTo(instance.library) != 1) {
        return tvk::fail(TVK_E_IO, "tvk_instance_open: the copy of '" + library +
                                       "' is not the library " + what + " imports");
    }
    return TVK_OK;
}

#endif

// The table's functions and the join, bound in the loaded kit; TVK_OK or the
// refusal of a module that is not a kit of this release.
int bind(Instance &instance, const std::string &what) {
    instance.api.size = sizeof instance.api;
    bool complete = true;
#define TVK_BIND(name)                                                                             \
    instance.api.name =                                                                            \
        reinterpret_cast<decltype(instance.api.name)>(findSymbol(instance.module, "tvk_" #name));  \
    complete = complete && instance.api.name != nullptr;
    TVK_API_TABLE(TVK_BIND)
#undef TVK_BIND
    const auto join = reinterpret_cast<void (*)(void *(*)())>(
        findSymbol(instance.module, "tvk_internal_instance_join"));
    if (!complete || join == nullptr) {
        return tvk::fail(TVK_E_IO, "tvk_instance_open: " + what + " is not a host kit");
    }
    const std::string version = instance.api.version();
    if (version != TAVREL_VERSION_STRING) {
        return tvk::fail(TVK_E_LAYOUT, "tvk_instance_open: " + what + " is the kit of release " +
                                           version + ", not " + TAVREL_VERSION_STRING);
    }
    join(&tvk::newToken);
#ifdef _WIN32
    return bindLibrary(instance, what);
#else
    return TVK_OK;
#endif
}

int open(const char *kitPath, TVK_Instance **out) {
    auto instance = std::make_unique<Instance>();
    instance->path = kitPath != nullptr ? kitPath : kitBeside();
    const std::string what = "kit '" + instance->path + "'";
    const int loaded = load(*instance, what);
    if (loaded != TVK_OK) {
        return loaded;
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
    *out = findSymbol(live->module, name);
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
        reinterpret_cast<void (*)()>(findSymbol(closing->module, "tvk_internal_instance_leave"));
    leave();
    unload(*closing);
    return TVK_OK;
}

} // extern "C"
