// tavrel-recipes: reads and edits a recipe store (tavrel_recipes.h).
#include "cli.h"
#include "console.h"
#include "recipe_store.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char *helpText() {
    return R"(tavrel-recipes: list, show, export, import and delete tuned recipes.

Usage: tavrel-recipes [--db PATH] COMMAND [ARGUMENTS]

Commands:
  list [--part P] [--feeder F]       one line per recipe
  show PART FEEDER ACTION            every field of one recipe
  history [--part P] [--feeder F] [--action N]
                                     every tuning, oldest first
  export [FILE] [--part P] [--feeder F]
                                     the recipes as JSON, to FILE or standard
                                     output
  import FILE                        recipes from an export (FILE - reads
                                     standard input); all or none
  delete PART FEEDER [ACTION]        one recipe, or every action of the part
                                     on the feeder; the history stays

Options:
  --db PATH     the store (default $XDG_DATA_HOME/tavrel/recipes.db, else
                ~/.local/share/tavrel/recipes.db)
  --help        this text
  --version     the program's version

Exit status: 0 done, 1 no such recipe, 2 any other error (the message names
it), e.g. a file that is not a recipe store or a store of a newer release.
)";
}

struct Options {
    std::optional<std::string> db;
    std::vector<std::string> words; // the command and its arguments
    std::optional<std::string> part;
    std::optional<std::string> feeder;
    int action = -1;
    bool help = false;
    bool version = false;
};

Options parse(int argc, char **argv) {
    Options options;
    tvltools::ArgCursor args(argc, argv);
    while (!args.done()) {
        const std::string arg = args.next();
        if (arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--db") {
            options.db = args.fileOf(arg);
        } else if (arg == "--part") {
            options.part = args.valueOf(arg);
        } else if (arg == "--feeder") {
            options.feeder = args.valueOf(arg);
        } else if (arg == "--action") {
            options.action = static_cast<int>(tvltools::parseInt(args.valueOf(arg), 0, 10, arg));
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw tvltools::UsageError("unknown option " + tvltools::quoted(arg) +
                                       " (--help lists them)");
        } else {
            options.words.push_back(arg);
        }
    }
    return options;
}

using tvltools::checkStore;
using Store = tvltools::RecipeStore;

const char *outcomeName(int outcome) {
    static const char *const names[] = {"running", "tuned", "failed", "budget", "stopped"};
    return outcome >= 0 && outcome <= TVK_STOPPED ? names[outcome] : "?";
}

const char *startName(int start) {
    static const char *const names[] = {"cold", "warm", "commissioned", "saved", "imported"};
    return start >= 0 && start <= TVR_START_IMPORTED ? names[start] : "?";
}

std::string words(const ST_HostFedColC &command) {
    std::string text;
    for (int motor = 0; motor < TVK_MOTOR_COUNT; ++motor) {
        const unsigned short *w = command.u16MotParam[motor];
        text += (motor == 0 ? "" : " ") + std::to_string(w[0]) + "/" + std::to_string(w[1]) + "/" +
                std::to_string(w[2]) + "/" + std::to_string(w[3]);
    }
    return text;
}

std::string params(const ST_HostLogicParam &p) {
    return "amp " + std::to_string(p.u16AmpInit) + ".." + std::to_string(p.u16AmpMax) + " fre " +
           std::to_string(p.u16FreInit) + ".." + std::to_string(p.u16FreMax) + " run " +
           std::to_string(p.u16FedRunTim);
}

std::string isoTime(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    char text[32];
    gmtime_r(&time, &utc);
    (void)std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

const char *optionalText(const std::optional<std::string> &text) {
    return text ? text->c_str() : nullptr;
}

void list(const Store &store, const Options &options) {
    (void)std::printf("%-20s %-20s %5s %6s %7s %10s %-20s %s\n", "part", "feeder", "model",
                      "action", "drifted", "vibrations", "tuned at", "words (amp/fre/pha/mode)");
    checkStore(tvr_recipe_list(
        store.get(), optionalText(options.part), optionalText(options.feeder),
        [](void *, const TVR_Recipe *r) {
            (void)std::printf("%-20s %-20s %5d %6d %7s %10d %-20s %s\n", r->part, r->feeder,
                              r->model, r->action, r->drifted != 0 ? "yes" : "no", r->vibrations,
                              isoTime(r->tuned_at).c_str(), words(r->command).c_str());
            return 0;
        },
        nullptr));
}

void show(const Store &store, const Options &options) {
    if (options.words.size() != 4) {
        throw tvltools::UsageError("show needs PART FEEDER ACTION");
    }
    const int action = static_cast<int>(tvltools::parseInt(options.words[3], 0, 10, "ACTION"));
    TVR_Recipe r{};
    r.size = sizeof r;
    checkStore(tvr_recipe_get(store.get(), options.words[1].c_str(), options.words[2].c_str(),
                              action, &r));
    (void)std::printf("part             %s\nfeeder           %s\nmodel            %d\n"
                      "action           %d\nwords            %s\nrun time         %u\n"
                      "host parameters  %s\ntuned at         %s\nlibrary          %s\n"
                      "vibrations       %d\noutcome          %s\ndrifted          %s\n",
                      r.part, r.feeder, r.model, r.action, words(r.command).c_str(),
                      r.command.u16RunTim, params(r.params).c_str(), isoTime(r.tuned_at).c_str(),
                      r.library_version, r.vibrations, outcomeName(r.outcome),
                      r.drifted != 0 ? "yes" : "no");
}

void history(const Store &store, const Options &options) {
    (void)std::printf("%6s %-20s %-20s %-20s %6s %-12s %-8s %10s %6s %7s  %s\n", "id", "at", "part",
                      "feeder", "action", "start", "outcome", "vibrations", "probes", "drifted",
                      "reason");
    checkStore(tvr_history(
        store.get(), optionalText(options.part), optionalText(options.feeder), options.action,
        [](void *, const TVR_Tuning *t) {
            (void)std::printf("%6lld %-20s %-20s %-20s %6d %-12s %-8s %10d %6d %7s  %s\n",
                              static_cast<long long>(t->id), isoTime(t->at).c_str(), t->part,
                              t->feeder, t->action, startName(t->start), outcomeName(t->outcome),
                              t->vibrations, t->probe_vibrations, t->drifted != 0 ? "yes" : "no",
                              t->reason);
            return 0;
        },
        nullptr));
}

void exportJson(const Store &store, const Options &options) {
    char *json = nullptr;
    size_t length = 0;
    checkStore(tvr_export_json(store.get(), optionalText(options.part),
                               optionalText(options.feeder), &json, &length));
    const std::string text(json, length);
    tvr_free(json);
    if (options.words.size() < 2 || options.words[1] == "-") {
        (void)std::fwrite(text.data(), 1, text.size(), stdout);
        (void)std::fputc('\n', stdout);
        return;
    }
    std::ofstream out(options.words[1], std::ios::binary | std::ios::trunc);
    out << text << '\n';
    out.close();
    if (!out) {
        throw tvltools::UsageError("cannot write " + tvltools::quoted(options.words[1]));
    }
}

void importJson(const Store &store, const Options &options) {
    if (options.words.size() != 2) {
        throw tvltools::UsageError("import needs FILE (- for standard input)");
    }
    std::string text;
    if (options.words[1] == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(options.words[1], std::ios::binary);
        if (!in) {
            throw tvltools::UsageError("cannot read " + tvltools::quoted(options.words[1]));
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    int32_t imported = 0;
    checkStore(tvr_import_json(store.get(), text.c_str(), &imported));
    (void)std::printf("imported %d recipes\n", imported);
}

void remove(const Store &store, const Options &options) {
    if (options.words.size() != 3 && options.words.size() != 4) {
        throw tvltools::UsageError("delete needs PART FEEDER [ACTION]");
    }
    const int action = options.words.size() == 4
                           ? static_cast<int>(tvltools::parseInt(options.words[3], 0, 10, "ACTION"))
                           : -1;
    checkStore(
        tvr_recipe_delete(store.get(), options.words[1].c_str(), options.words[2].c_str(), action));
}

int run(const Options &options) {
    if (options.help) {
        (void)std::fputs(helpText(), stdout);
        return 0;
    }
    if (options.version) {
        (void)std::fputs(tvltools::versionText("tavrel-recipes").c_str(), stdout);
        return 0;
    }
    if (options.words.empty()) {
        throw tvltools::UsageError("no command (--help lists them)");
    }
    const std::string &command = options.words[0];
    using Handler = void (*)(const Store &, const Options &);
    const std::pair<const char *, Handler> commands[] = {
        {"list", list},         {"show", show},         {"history", history},
        {"export", exportJson}, {"import", importJson}, {"delete", remove}};
    for (const auto &entry : commands) {
        if (command == entry.first) {
            const Store store(options.db ? options.db->c_str() : nullptr);
            entry.second(store, options);
            return 0;
        }
    }
    throw tvltools::UsageError("unknown command " + tvltools::quoted(command) +
                               " (--help lists them)");
}

} // namespace

int main(int argc, char **argv) {
    tvltools::openStandardDescriptors();
    try {
        const int status = run(parse(argc, argv));
        tvltools::closeOutput(stdout);
        return status;
    } catch (const tvltools::RecipeStoreError &error) {
        // Exit status 1 for what is not there, else 2.
        (void)std::fprintf(stderr, "tavrel-recipes: %s\n", error.what());
        return error.code() == TVR_E_UNKNOWN ? 1 : 2;
    } catch (const std::exception &error) {
        (void)std::fprintf(stderr, "tavrel-recipes: %s\n", error.what());
        return 2;
    }
}
