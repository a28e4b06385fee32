# Front door: `make demo` and `make test` work on a fresh Debian 12 machine (as root).
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: deps build demo test asan-test bench fuzz clean

deps:
	@bash tools/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@bash tools/demo.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan-test: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVEX_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench: build
	@bash tools/install-deps.sh bench
	@bash bench/run.sh $(BUILD)

# Runs the description-file fuzzer for FUZZ_SECONDS (default 600) on a copy of the seed corpus.
FUZZ_SECONDS ?= 600
fuzz:
	@bash tools/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVEX_FUZZ=ON -DMORVEX_TESTS=OFF >/dev/null
	@cmake --build build-fuzz --target fuzz_loadfromfile
	@mkdir -p build-fuzz/corpus && cp -n filedesc/fuzz/corpus/* build-fuzz/corpus/
	@build-fuzz/filedesc/fuzz_loadfromfile -max_total_time=$(FUZZ_SECONDS) -max_len=4096 build-fuzz/corpus

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
