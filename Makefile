# One-word entry points; CMake does the work in build/.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all configure test demo bench clean

all: configure
	cmake --build $(BUILD) -j $(JOBS)

configure:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

test: all
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The main job: tune every action of one simulated feeder with the defaults.
demo: all
	$(BUILD)/tools/sim/tavrel-sim --model 0 --action all

clean:
	rm -rf $(BUILD)
