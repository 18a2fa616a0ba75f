# One-word entry points; CMake does the work in build/.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=
# Groups of Debian packages (tools/debian-packages.txt) the build and the
# tests need; installed when missing.
DEPS ?= test

.PHONY: all deps configure test demo bench clean

all: configure
	cmake --build $(BUILD) -j $(JOBS)

deps:
	tools/install-deps.sh $(DEPS)

configure: deps
	cmake --preset default -B $(BUILD) $(CMAKE_FLAGS)

test: all
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The main job: tune every action of one simulated feeder with the defaults.
demo: all
	$(BUILD)/tools/sim/tavrel-sim --model 0 --action all

# Step-cost benchmarks (Release, build-bench/): each TVLTask step against the
# bare printing of its diagnostic text, then the size of the shared library.
# Not part of `make test`.
bench:
	tools/install-deps.sh $(DEPS) bench
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	build-bench/bench/tavrel_bench
	@echo; size build-bench/libtavrel.so

clean:
	rm -rf $(BUILD)
