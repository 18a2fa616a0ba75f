#include "copies.h"

#include "cli.h"
#include "console.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace tvlsim {

namespace {

std::string kitMessage(int result) {
    const std::string message = tvk_errmsg();
    return message.empty() ? tvk_strerror(result) : message;
}

// One instance's table and clock seam.
tvltools::KitCopy instanceCopy(TVK_Instance *instance, bool quiet) {
    tvltools::KitCopy copy;
    copy.api.size = sizeof copy.api;
    void *useClock = nullptr;
    int result = tvk_instance_api(instance, &copy.api);
    if (result == TVK_OK) {
        result = tvk_instance_symbol(instance, "tvlsim_use_library_clock", &useClock);
    }
    if (result != TVK_OK) {
        throw tvltools::UsageError("instance: " + kitMessage(result));
    }
    copy.useClock = reinterpret_cast<void (*)(tvk::ClockNs)>(useClock);
    // On Windows an instance has no capture of its own (TVK_E_PLATFORM):
    // there its text goes where the process's capture sends it.
    if (quiet) {
        (void)copy.api.capture_discard();
    }
    return copy;
}

// A library that has seen no part yet takes its first sighting to prime its
// sample ring only; once primed, it stays so and what it saw before does not
// matter. In the process's own copy every fleet session but the first meets
// a primed library, so every instance but the first, whose thread starts
// with the first session, is primed with a session of one step: each feeder
// then meets the library as --jobs 1 shows it to that feeder.
void prime(const tvltools::KitCopy &copy) {
    TVK_SimFeeder *sim = nullptr;
    const int result = copy.api.sim_create(0, nullptr, 1, 1, &sim);
    if (result != TVK_OK) {
        throw tvltools::UsageError("instance: " + std::string(copy.api.strerror(result)));
    }
    SessionSetup oneStep;
    oneStep.maxSteps = 1;
    oneStep.verdictSweeps = 0;
    try {
        (void)runSession(copy, oneStep, sim, nullptr);
    } catch (...) {
        copy.api.sim_destroy(sim);
        throw;
    }
    copy.api.sim_destroy(sim);
}

// Results come in from the threads in any order and leave in order; only
// those not yet taken are held.
class InOrder {
  public:
    void put(std::size_t index, SessionResult result) {
        const std::lock_guard<std::mutex> lock(lock_);
        results_.emplace(index, std::move(result));
        ready_.notify_one();
    }
    void fail(std::exception_ptr error) {
        const std::lock_guard<std::mutex> lock(lock_);
        if (!error_) {
            error_ = std::move(error);
        }
        ready_.notify_one();
    }
    // The result of index once it is in; throws a run's exception first.
    SessionResult take(std::size_t index) {
        std::unique_lock<std::mutex> lock(lock_);
        ready_.wait(lock, [&] { return error_ || results_.count(index) != 0; });
        if (error_) {
            std::rethrow_exception(error_);
        }
        const auto found = results_.find(index);
        SessionResult result = std::move(found->second);
        results_.erase(found);
        return result;
    }

  private:
    std::mutex lock_;
    std::condition_variable ready_;
    std::map<std::size_t, SessionResult> results_;
    std::exception_ptr error_;
};

} // namespace

std::string simKitPath() {
    return tvltools::besideProgram(TAVREL_SIM_KIT_INSTALLED, TAVREL_SIM_KIT);
}

KitCopies::KitCopies(int jobs, bool quiet) {
    if (jobs <= 1) {
        copies_.push_back(tvltools::ownCopy());
        return;
    }
    const std::string path = simKitPath();
    while (static_cast<int>(instances_.size()) < jobs) {
        TVK_Instance *instance = nullptr;
        const int result = tvk_instance_open(path.c_str(), &instance);
        if (result == TVK_E_LIMIT && !instances_.empty()) {
            (void)std::fprintf(stderr, "tavrel-sim: --jobs %d: %s; running on %zu\n", jobs,
                               kitMessage(result).c_str(), instances_.size());
            break;
        }
        if (result != TVK_OK) {
            throw tvltools::UsageError("--jobs " + std::to_string(jobs) + ": " +
                                       kitMessage(result));
        }
        instances_.push_back(instance);
        copies_.push_back(instanceCopy(instance, quiet));
        if (copies_.size() > 1) {
            prime(copies_.back());
        }
    }
}

KitCopies::~KitCopies() {
    for (TVK_Instance *instance : instances_) {
        (void)tvk_instance_close(instance);
    }
}

void KitCopies::runInOrder(
    std::size_t count,
    const std::function<SessionResult(const tvltools::KitCopy &, std::size_t)> &run,
    const std::function<void(std::size_t, const SessionResult &)> &done) const {
    if (copies_.size() == 1) {
        for (std::size_t i = 0; i < count && tvltools::stopSignal() == 0; ++i) {
            done(i, run(copies_.front(), i));
        }
        return;
    }
    InOrder results;
    // Thread t starts with session t (the first copy, unprimed, with the
    // first session), then takes the next not taken.
    std::atomic<std::size_t> next{copies_.size()};
    std::atomic<bool> stopped{false};
    const auto work = [&](const tvltools::KitCopy &copy, std::size_t first) {
        for (std::size_t i = first; i < count && !stopped.load(); i = next++) {
            try {
                results.put(i, run(copy, i));
            } catch (...) {
                results.fail(std::current_exception());
                return;
            }
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < copies_.size(); ++t) {
        threads.emplace_back(work, std::cref(copies_[t]), t);
    }
    try {
        for (std::size_t i = 0; i < count && tvltools::stopSignal() == 0; ++i) {
            done(i, results.take(i));
        }
    } catch (...) {
        stopped.store(true);
        for (std::thread &thread : threads) {
            thread.join();
        }
        throw;
    }
    stopped.store(true);
    for (std::thread &thread : threads) {
        thread.join();
    }
}

} // namespace tvlsim
