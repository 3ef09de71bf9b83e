# Velmora: the two commands of the README, and a few more for developers.
#   make run    install what is missing, build, run the main job
#   make test   install what is missing, build, run every test (plus the sanitizer build)
#   make bench  build and run the benchmarks
#   make fuzz   build the fuzzing harnesses (make fuzz-run runs each for FUZZ_SECONDS)

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
FUZZERS    := recording restart lightcurve
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: run test bench fuzz fuzz-run deps build build-asan clean

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

test: build build-asan fuzz
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'gl|gui'
	$(MAKE) --no-print-directory fuzz-run

# The file readers' fuzzing harnesses, built with clang, libFuzzer and the sanitizers.
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DVELMORA_FUZZ=ON -DVELMORA_GUI=OFF -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZERS))

# Each harness for FUZZ_SECONDS on a scratch copy of its seeds; a finding is kept in
# $(FUZZ_BUILD)/findings and fails the target.
fuzz-run:
	@mkdir -p $(FUZZ_BUILD)/findings
	@for f in $(FUZZERS); do \
	  work=$$(mktemp -d); \
	  echo "fuzz_$$f: $(FUZZ_SECONDS) s"; \
	  if ! $(FUZZ_BUILD)/fuzz/fuzz_$$f -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	       -artifact_prefix=$(FUZZ_BUILD)/findings/$$f- $$work fuzz/corpus/$$f > $$work.log 2>&1; then \
	    tail -n 60 $$work.log; rm -rf $$work $$work.log; exit 1; \
	  fi; \
	  grep -E '^(Done|#[0-9]+.*DONE)' $$work.log | tail -n 1; \
	  rm -rf $$work $$work.log; \
	done

bench: deps
	cmake -S . -B build-bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVELMORA_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build build-bench -j $(JOBS)
	build-bench/bench/velmora_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-bench $(FUZZ_BUILD)
