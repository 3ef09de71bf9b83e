# Velmora: the two commands of the README, and a few more for developers.
#   make run    install what is missing, build, run the main job
#   make test   install what is missing, build, run every test (plus the sanitizer build)
#   make bench  build and run the benchmarks
#   make fuzz   build the fuzzing harnesses

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: run test bench fuzz deps build build-asan clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_SANITIZE=ON -DVELMORA_GUI=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	@scripts/run-main $(BUILD)

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -L core

bench: deps
	cmake -S . -B build-bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVELMORA_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build build-bench -j $(JOBS)
	build-bench/bench/velmora_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-bench build-fuzz
