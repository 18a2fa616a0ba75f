/*
 * tavrel_recipes.h - recipes: what a cell learnt about tuning a part on a
 * feeder, kept in a SQLite file, and the tuning that starts from it.
 *
 *   Store          parts, feeders (the host's identifier and the model) and,
 *                  per part, feeder and action, the tuned command (the
 *                  sixteen motor words and the run time), the host
 *                  parameters that produced it, when, with which library
 *                  release, how the tuning went and whether the recipe has
 *                  drifted; a history of every tuning. JSON export and import
 *                  move recipes between cells.
 *   Tuning         tvr_tune: a re-tune from the recipe (warm start), the
 *                  drift check, the fall-back to a full tuning, optionally
 *                  with self-commissioning first, and the result saved.
 *   Production     the stored command of an action, to send without tuning.
 *   Commissioning  a few probe vibrations through the host's callbacks find
 *                  where the feeder responds and give the library its window.
 *
 * Conventions, as in the host kit (tavrel_hostkit.h): results are int,
 * TVR_OK (0) or a negative TVR_E_* code; tvr_strerror() names a code and
 * tvr_errmsg() says, for the last failing call on the calling thread, what
 * was refused and why. Records carry their size first (set it to sizeof the
 * record, or use the *_init functions): a smaller size than the record's
 * first release gives TVR_E_SIZE; a larger one is accepted when the bytes
 * this library does not know are zero, and a record this library fills gets
 * no more than size bytes. Text arguments are UTF-8, NUL-terminated. A
 * store serves one call at a time (calls from several threads wait for each
 * other); several stores, in one process or many, may use one file at once.
 *
 * The store is a SQLite database in WAL mode with a busy timeout of 10 s;
 * every change is one transaction, so a process killed at any moment leaves
 * every committed change and nothing half done. Since 1.3.0.
 *
 * Valid C99 and C++.
 */
#ifndef TAVREL_RECIPES_H
#define TAVREL_RECIPES_H

#include "tavrel_hostkit.h"

#include <stddef.h>
#include <stdint.h>

/* One macro marks everything this library exports. */
#if defined(TVR_STATIC)
#define TVR_API
#elif defined(_WIN32)
#if defined(TVR_BUILDING)
#define TVR_API __declspec(dllexport)
#else
#define TVR_API __declspec(dllimport)
#endif
#else
#define TVR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- Results */

/* The codes the host kit also has keep its values; those of the store's own
 * start at -101. */
enum {
    TVR_OK = 0,
    TVR_E_ARG = -1,        /* a null pointer, an empty name or a value out of range */
    TVR_E_IO = -4,         /* the file cannot be opened or created; tvr_errmsg() says why */
    TVR_E_NOMEM = -7,      /* out of memory */
    TVR_E_SIZE = -8,       /* a record size this library cannot serve */
    TVR_E_HANDLE = -10,    /* not a store this library opened, or one already closed */
    TVR_E_NOTSTORE = -101, /* the file is not a recipe store (another database or none) */
    TVR_E_SCHEMA = -102,   /* the store was written by a newer release: its schema is unknown */
    TVR_E_UNKNOWN = -103,  /* no such part, feeder or recipe in the store */
    TVR_E_MODEL = -104,    /* the feeder is in the store with another model */
    TVR_E_FORMAT = -105,   /* the JSON is not a recipe export this library reads */
    TVR_E_DRIFTED = -106,  /* the recipe is marked drifted: tune again before production */
    TVR_E_DATABASE = -107, /* SQLite failed (locked past the timeout, corrupt, disk full) */
    TVR_E_KIT = -108       /* the host kit refused (a session is active, a callback failed);
                              tvr_errmsg() holds the kit's message */
};

/* A short English text for a result code; never null, static. Since 1.3.0. */
TVR_API const char *tvr_strerror(int code);
/* What the last failing call on the calling thread refused, for a person;
 * "" before any failure. Never null; valid on this thread until its next
 * failing call. Since 1.3.0. */
TVR_API const char *tvr_errmsg(void);

/* ------------------------------------------------------------------ Store */

enum { TVR_NAME_MAX = 64, TVR_VERSION_MAX = 16, TVR_PATH_MAX = 4096 };

typedef struct TVR_Store TVR_Store;

/* The default store's path: $XDG_DATA_HOME/tavrel/recipes.db when
 * XDG_DATA_HOME is set to an absolute path, else
 * $HOME/.local/share/tavrel/recipes.db. Copied into path[0..size-1].
 * TVR_E_ARG for a null path or a size too small (nothing written), TVR_E_IO
 * when neither variable gives a folder. Since 1.3.0. */
TVR_API int tvr_default_path(char *path, int32_t size);

/* Opens the store at path, or the default store (its folder created) for a
 * null path; a missing file is created as an empty store. An existing file
 * is checked before anything is written to it: TVR_E_NOTSTORE for a file
 * that is not a SQLite database or is one of another application,
 * TVR_E_SCHEMA for a store of a newer schema; the file is then left
 * untouched. An older schema is brought up to date in one transaction.
 * TVR_E_IO when the file cannot be opened. Close with tvr_close. Since
 * 1.3.0. */
TVR_API int tvr_open(const char *path, TVR_Store **out);
/* Closes the store; null is allowed. TVR_E_HANDLE for a handle that is not
 * open. Since 1.3.0. */
TVR_API int tvr_close(TVR_Store *store);
/* The schema version the store holds (PRAGMA user_version), or a negative
 * code. Since 1.3.0. */
TVR_API int tvr_schema_version(TVR_Store *store);

/* ---------------------------------------------------------------- Recipes */

/* A recipe: the last successful tuning of an action of a part on a feeder. */
typedef struct TVR_Recipe {
    uint32_t size; /* set to sizeof(TVR_Recipe) */
    char part[TVR_NAME_MAX];
    char feeder[TVR_NAME_MAX];
    int32_t model;
    int32_t action;
    ST_HostFedColC command;   /* the tuned command: sixteen words and run time */
    ST_HostLogicParam params; /* the host parameters in force when it was tuned */
    int64_t tuned_at;         /* seconds since 1970-01-01 UTC */
    char library_version[TVR_VERSION_MAX];
    int32_t vibrations; /* vibrations the tuning took, probes included */
    int32_t outcome;    /* TVK_TUNED for a recipe that tuned */
    int32_t drifted;    /* 1: a re-tune from it failed or took too long */
} TVR_Recipe;

/* How a tuning started (TVR_Tuning.start). */
enum {
    TVR_START_COLD = 0,         /* the library's factory window */
    TVR_START_WARM = 1,         /* seeded from the stored recipe */
    TVR_START_COMMISSIONED = 2, /* the window the probes found */
    TVR_START_SAVED = 3,        /* a recipe the host saved with tvr_recipe_put */
    TVR_START_IMPORTED = 4      /* a recipe imported from JSON */
};

enum { TVR_REASON_MAX = 192 };

/* One row of the history: every tuning, successful or not. */
typedef struct TVR_Tuning {
    uint32_t size; /* set to sizeof(TVR_Tuning) */
    int64_t id;    /* rising in the order the tunings were written */
    char part[TVR_NAME_MAX];
    char feeder[TVR_NAME_MAX];
    int32_t model;
    int32_t action;
    int64_t at; /* seconds since 1970-01-01 UTC */
    int32_t start;
    int32_t outcome;          /* TVK_TUNED, TVK_FAILED, TVK_BUDGET, TVK_STOPPED */
    int32_t vibrations;       /* of this tuning, probes included */
    int32_t probe_vibrations; /* of the probes alone */
    int32_t drifted;          /* 1: this warm start found the recipe drifted */
    ST_HostFedColC command;   /* the last command of the tuning */
    ST_HostLogicParam params;
    char library_version[TVR_VERSION_MAX];
    char reason[TVR_REASON_MAX];
} TVR_Tuning;

/* Called once per recipe or history row; return 0 to go on, anything else
 * to stop (the call then returns TVR_OK). The record is valid during the
 * call only. A callback must not call the same store. */
typedef int (*TVR_RecipeFn)(void *user, const TVR_Recipe *recipe);
typedef int (*TVR_TuningFn)(void *user, const TVR_Tuning *tuning);

/* Registers a feeder with its model (0..2), or checks it: TVR_E_MODEL when
 * the feeder is in the store with another model. Since 1.3.0. */
TVR_API int tvr_feeder_add(TVR_Store *store, const char *feeder, int model);
/* The model of a feeder in the store, or TVR_E_UNKNOWN. Since 1.3.0. */
TVR_API int tvr_feeder_model(TVR_Store *store, const char *feeder);
/* The recipe of part, feeder and action into *out; TVR_E_UNKNOWN when there
 * is none. Since 1.3.0. */
TVR_API int tvr_recipe_get(TVR_Store *store, const char *part, const char *feeder, int action,
                           TVR_Recipe *out);
/* Saves a recipe the host tuned itself (replacing the one of its part,
 * feeder and action), with a history row of start TVR_START_SAVED; the part
 * and the feeder are registered. tuned_at 0 means now, an empty
 * library_version this library's release. TVR_E_MODEL when the feeder is in
 * the store with another model. Since 1.3.0. */
TVR_API int tvr_recipe_put(TVR_Store *store, const TVR_Recipe *recipe);
/* Deletes the recipe of an action, or all recipes of the part on the feeder
 * for action -1; the history stays. TVR_E_UNKNOWN when nothing matched.
 * Since 1.3.0. */
TVR_API int tvr_recipe_delete(TVR_Store *store, const char *part, const char *feeder, int action);
/* Marks a recipe drifted (a host whose production runs stop working says so).
 * TVR_E_UNKNOWN when there is none. Since 1.3.0. */
TVR_API int tvr_recipe_mark_drifted(TVR_Store *store, const char *part, const char *feeder,
                                    int action);
/* The recipes, ordered by part, feeder and action; a null part or feeder
 * matches every one. Since 1.3.0. */
TVR_API int tvr_recipe_list(TVR_Store *store, const char *part, const char *feeder, TVR_RecipeFn fn,
                            void *user);
/* The history, oldest first; null part or feeder and action -1 match every
 * one. Since 1.3.0. */
TVR_API int tvr_history(TVR_Store *store, const char *part, const char *feeder, int action,
                        TVR_TuningFn fn, void *user);

/* Production: the stored command of an action into *out, to send to the
 * feeder as it is. TVR_E_UNKNOWN when there is no recipe, TVR_E_DRIFTED
 * (nothing written) when it is marked drifted. Since 1.3.0. */
TVR_API int tvr_production_command(TVR_Store *store, const char *part, const char *feeder,
                                   int action, ST_HostFedColC *out);

/* ------------------------------------------------------------------- JSON */

/* Every recipe (a null part or feeder: all of them) as one JSON document
 * into *json, NUL-terminated, its length without the NUL in *length (may be
 * null); free it with tvr_free. Since 1.3.0. */
TVR_API int tvr_export_json(TVR_Store *store, const char *part, const char *feeder, char **json,
                            size_t *length);
/* Imports the recipes of an export, all or none: TVR_E_FORMAT for text that
 * is not an export (the message names the first bad recipe), TVR_E_MODEL
 * when a feeder is in the store with another model; the store then stays as
 * it was. Each imported recipe replaces the one of its part, feeder and
 * action and adds a history row of start TVR_START_IMPORTED. *imported (may
 * be null) gets the number of recipes. Since 1.3.0. */
TVR_API int tvr_import_json(TVR_Store *store, const char *json, int32_t *imported);
/* Frees what tvr_export_json gave; null is allowed. Since 1.3.0. */
TVR_API void tvr_free(void *memory);

/* ------------------------------------------------------------- Warm start */

/* The host parameters (TVLLogicParamSet) that start a re-tune from recipe:
 * the initial and the maximum amplitude of the main motors are both the
 * recipe's amplitude word, and the initial and the maximum frequency both
 * its frequency word; the run time is the recipe's. The first vibration is
 * then the tuned one, and a cycle the library rejects (a noisy one) cannot
 * step the words away: its correction finds both at their maxima and puts
 * them back. A re-tune of an unchanged feeder so takes as few as the
 * success count plus the verification vibration (more when a cycle goes
 * astray or the part needs several vibrations to arrive); one that keeps
 * failing is a drifted recipe. The library offers no seed for auxiliary motors, phases and
 * modes: they start from the factory words. Since 1.3.0. */
TVR_API int tvr_warm_params(const TVR_Recipe *recipe, ST_HostLogicParam *out);

/* ---------------------------------------------------------- Commissioning */

typedef struct TVR_Commissioning {
    uint32_t size;            /* set to sizeof(TVR_Commissioning) */
    int32_t verdict;          /* TVK_RUNNING: params hold the window; TVK_FAILED: hopeless */
    int32_t probe_vibrations; /* vibrations the probes took */
    float best_frequency;     /* the frequency word of the largest displacement */
    float moved;              /* the largest displacement seen, host units */
    ST_HostLogicParam params; /* the window and amplitude for the library */
    char reason[TVR_REASON_MAX];
} TVR_Commissioning;

/* Probes the feeder for model and action through the host's callbacks and
 * fills *out (docs/integrating.md says how the probes run); put_back, when
 * not null, is called first and after each probe that moved the part. A session must not be
 * active. TVR_E_KIT when a callback fails. Since 1.3.0. */
TVR_API int tvr_commission(int model, int action, TVK_CameraFn camera, TVK_FeederFn feeder,
                           TVK_PutBackFn put_back, void *user, TVR_Commissioning *out);

/* ----------------------------------------------------------------- Tuning */

typedef struct TVR_TuneConfig {
    uint32_t size; /* set to sizeof(TVR_TuneConfig) */
    const char *part;
    const char *feeder; /* the host's identifier of the feeder */
    int32_t model;
    int32_t action;
    TVK_CameraFn camera;    /* required */
    TVK_FeederFn drive;     /* required: runs a feeder command */
    TVK_PutBackFn put_back; /* puts the part back at the action's start point; may be null */
    void *user;             /* passed to the three callbacks */
    int32_t max_steps;      /* each session's step budget (default 3000) */
    int32_t verdict_sweeps; /* each session's early verdict (default 3) */
    int32_t drift_margin;   /* vibrations a re-tune may take beyond the success count and the
                               verification before the recipe counts as drifted (default 16) */
    int32_t commission;     /* 1: probe the feeder before a tuning without a working recipe */
    int32_t fleet_verdict;  /* 1: a full tuning that has taken twice the 90th percentile of the
                               tuned full tunings of its model and action in the store (once it
                               holds 20), probes included, is ended as failed; 0 (default): the
                               session's own budget and verdict only */
} TVR_TuneConfig;

/* Defaults for part, feeder, model and action: size set, budget 3000,
 * verdict 3, margin 16, no commissioning, no fleet verdict; callbacks and
 * user null. Since
 * 1.3.0. */
TVR_API void tvr_tune_config_init(TVR_TuneConfig *config, const char *part, const char *feeder,
                                  int model, int action);

typedef struct TVR_TuneResult {
    uint32_t size;            /* set to sizeof(TVR_TuneResult) */
    int32_t outcome;          /* TVK_TUNED, TVK_FAILED or TVK_BUDGET */
    int32_t start;            /* TVR_START_* of the session that decided */
    int32_t warm;             /* 1: a warm start was tried */
    int32_t drifted;          /* 1: the warm start found the recipe drifted */
    int32_t vibrations;       /* all of them: warm start, probes and full tuning */
    int32_t warm_vibrations;  /* of the warm start */
    int32_t probe_vibrations; /* of the probes */
    ST_HostFedColC command;   /* the tuned command after TVK_TUNED */
    ST_HostLogicParam params; /* the host parameters of the deciding session */
    char reason[TVR_REASON_MAX];
} TVR_TuneResult;

/* Tunes an action of a part on a feeder and keeps what it learnt:
 *
 *   1. A recipe that is not drifted: a session seeded with tvr_warm_params.
 *      It is a working recipe when it tunes within the success count plus
 *      the verification vibration plus drift_margin; the session is ended
 *      as soon as it cannot be. Otherwise the recipe is marked drifted and
 *      the history shows it.
 *   2. Without a working recipe: with commission set, tvr_commission first
 *      (a hopeless feeder gets TVK_FAILED here, with the probes' reason),
 *      then a session on the probes' window; without, a session on the
 *      factory window; past the fleet's verdict (fleet_verdict) it fails.
 *   3. A tuned result replaces the recipe (not drifted); every session adds
 *      a history row.
 *
 * The session driver answers the library (TVK_ANSWERS_STANDARD); put_back
 * is called before each session and on each arrival. The feeder is registered with the model:
 * TVR_E_MODEL when the store holds it with another. TVR_E_KIT when the kit
 * refuses or a callback fails (the history keeps what was done). Returns
 * TVR_OK whatever the outcome; *result says it. Since 1.3.0. */
TVR_API int tvr_tune(TVR_Store *store, const TVR_TuneConfig *config, TVR_TuneResult *result);

#ifdef __cplusplus
}
#endif

#endif /* TAVREL_RECIPES_H */
