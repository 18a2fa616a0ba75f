// Kit objects behind handles that are tokens, never addresses: a handle is
// looked up in a table of live objects, so a stale or foreign one is refused
// (TVK_E_HANDLE) and never reaches another object. Each object carries an
// OwnerGuard; a call takes it while the table is locked, and removal takes it
// too, so no call can use an object another thread is freeing. The table's
// lock is a spin lock held for a lookup only.
#ifndef TAVREL_HOSTKIT_LIVE_TABLE_H
#define TAVREL_HOSTKIT_LIVE_TABLE_H

#include "guard.h"
#include "kit.h"

#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace tvk {

// Object needs a member `OwnerGuard guard`.
template <typename Object> class LiveTable {
  public:
    // Keeps object under a new token; null when out of memory.
    void *add(std::unique_ptr<Object> object) {
        const Lock lock(locked_);
        try {
            entries_.push_back({newToken(), std::move(object)});
        } catch (const std::bad_alloc &) {
            return nullptr;
        }
        return entries_.back().token;
    }

    // One call's use of the object behind a handle.
    class Use {
      public:
        Use(LiveTable &table, const void *handle, const char *function, const void *frame) {
            const Lock lock(table.locked_);
            Object *object = table.find(handle);
            if (object == nullptr) {
                refusal_ = fail(TVK_E_HANDLE, std::string(function) + ": not a live handle");
                return;
            }
            const OwnerGuard::Found found = object->guard.take(frame);
            refusal_ = refusalFor(found, function);
            if (found == OwnerGuard::Found::kTaken) {
                object_ = object;
            }
        }
        ~Use() {
            if (object_ != nullptr) {
                object_->guard.release();
            }
        }
        Use(const Use &) = delete;
        Use &operator=(const Use &) = delete;
        // Never TVK_OK without the object: fail() and refusalFor() live in
        // other files, so this is where the reads through the object are
        // seen to be guarded.
        int refusal() const {
            return object_ == nullptr && refusal_ == TVK_OK ? TVK_E_HANDLE : refusal_;
        }
        Object &operator*() const {
            return *object_;
        }
        Object *operator->() const {
            return object_;
        }

      private:
        Object *object_ = nullptr;
        int refusal_ = TVK_OK;
    };

    // Takes the object behind handle out of the table, refused as a Use is.
    int remove(const void *handle, const char *function, const void *frame,
               std::unique_ptr<Object> *out) {
        const Lock lock(locked_);
        for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
            if (entry->token != handle) {
                continue;
            }
            const OwnerGuard::Found found = entry->object->guard.take(frame);
            if (found != OwnerGuard::Found::kTaken) {
                return refusalFor(found, function);
            }
            *out = std::move(entry->object);
            entries_.erase(entry);
            return TVK_OK;
        }
        return fail(TVK_E_HANDLE, std::string(function) + ": not a live handle");
    }

  private:
    struct Entry {
        void *token;
        std::unique_ptr<Object> object;
    };
    class Lock {
      public:
        explicit Lock(std::atomic_flag &flag) : flag_(flag) {
            while (flag_.test_and_set(std::memory_order_acquire)) {
            }
        }
        ~Lock() {
            flag_.clear(std::memory_order_release);
        }
        Lock(const Lock &) = delete;
        Lock &operator=(const Lock &) = delete;

      private:
        std::atomic_flag &flag_;
    };

    Object *find(const void *handle) const {
        for (const Entry &entry : entries_) {
            if (entry.token == handle) {
                return entry.object.get();
            }
        }
        return nullptr;
    }

    std::atomic_flag locked_ = ATOMIC_FLAG_INIT;
    std::vector<Entry> entries_;
};

} // namespace tvk

#endif
