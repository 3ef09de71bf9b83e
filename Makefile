# Velmora: the two commands of the README, and a few more for developers.
#   make run    install what is missing, build, run the main job
#   make test   install what is missing, build, run every test (plus the sanitizer build)
#   make docs   build the manual into build/docs/html (open build/docs/html/index.html)
#   make bench  build and run the benchmarks (making the filled disks first; see bench/README.md)
#   make tsan   ThreadSanitizer build of the core's tests, run on 1, 2 and 3 threads
#   make fuzz   build the fuzzing harnesses (make fuzz-run runs each for FUZZ_SECONDS)

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
FUZZERS    := recording restart lightcurve
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja

.PHONY: run test docs bench bench-disks tsan fuzz fuzz-run deps build build-asan build-tsan clean

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

# The manual: the command reference, screenshots and tutorials made from the build (docs/).
docs: build
	cmake --build $(BUILD) --target docs

test: build build-asan fuzz
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'gl|gui'
	$(MAKE) --no-print-directory tsan
	$(MAKE) --no-print-directory fuzz-run

# ThreadSanitizer: clang with LLVM's OpenMP runtime (its Archer tool annotates the runtime's
# synchronisation); the fingerprint run on 1, 2 and 3 threads in both force schemes and the
# searches on 1 and 3.
build-tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DVELMORA_TSAN=ON -DVELMORA_GUI=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target velmora_core_tests

tsan: build-tsan
	cd $(TSAN_BUILD) && TSAN_OPTIONS="ignore_noninstrumented_modules=1 halt_on_error=1" \
	  ctest --output-on-failure -L core -R 'SameBits.OnEveryThreadCount|SameBits.SynchronousOnEveryThreadCount|SearchCloud|SearchFaults'


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

# The benchmarks; the filled disks of the orbit and gas benchmarks are made once into
# $(BENCH_BUILD)/disks (bench/make_disks.sh, half an hour the first time) and kept.
bench: bench-disks
	$(BENCH_BUILD)/bench/velmora_bench

bench-disks: deps
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DVELMORA_BENCH=ON -DBUILD_TESTING=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bench/make_disks.sh $(BENCH_BUILD)/cli/velmora-cli $(BENCH_BUILD)/disks

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
	[ ! -d $(BENCH_BUILD) ] || find $(BENCH_BUILD) -mindepth 1 -maxdepth 1 ! -name disks -exec rm -rf {} +  # the disks stay
