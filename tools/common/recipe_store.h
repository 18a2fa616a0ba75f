// A recipe store open for a tool's run (tavrel-recipes, tavrel-sim
// --recipes); the store's failures as exceptions. Header only: the tools'
// common library does not link the store.
#ifndef TAVREL_TOOLS_RECIPE_STORE_H
#define TAVREL_TOOLS_RECIPE_STORE_H

#include "tavrel_recipes.h"

#include <stdexcept>
#include <string>

namespace tvltools {

// A failed store call: the store's message and its code.
class RecipeStoreError : public std::runtime_error {
  public:
    explicit RecipeStoreError(int code)
        : std::runtime_error(std::string(tvr_errmsg()) + " (" + tvr_strerror(code) + ")"),
          code_(code) {}
    int code() const {
        return code_;
    }

  private:
    int code_;
};

// Returns a non-negative result; throws RecipeStoreError for a negative one.
inline int checkStore(int result) {
    if (result < 0) {
        throw RecipeStoreError(result);
    }
    return result;
}

class RecipeStore {
  public:
    // Null: the default store.
    explicit RecipeStore(const char *path) {
        checkStore(tvr_open(path, &store_));
    }
    ~RecipeStore() {
        tvr_close(store_);
    }
    RecipeStore(const RecipeStore &) = delete;
    RecipeStore &operator=(const RecipeStore &) = delete;
    TVR_Store *get() const {
        return store_;
    }

  private:
    TVR_Store *store_ = nullptr;
};

} // namespace tvltools

#endif
