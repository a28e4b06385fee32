# Front door: `make demo` and `make test` work on a fresh Debian 12 machine (as root).
BUILD ?= build
ASAN_BUILD ?= build-asan
CORE_BUILD ?= build-core
JOBS ?= $(shell nproc)

.PHONY: deps build demo test package asan-test core-build bench fuzz clean

deps:
	@bash tools/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@bash tools/demo.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package of the tool set, build/morvex-fylatek_<version>_<arch>.deb (CPack).
package: build
	@cd $(BUILD) && cpack -G DEB

asan-test: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMORVEX_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The libraries, morvexcli and their tests without the desktop programs, as on a machine that has
# no Qt (-DMORVEX_DESKTOP=OFF); `ctest` in $(CORE_BUILD) runs them.
core-build: deps
	@cmake -S . -B $(CORE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVEX_DESKTOP=OFF >/dev/null
	@cmake --build $(CORE_BUILD) -j $(JOBS)

bench: build
	@bash tools/install-deps.sh bench
	@bash bench/run.sh $(BUILD)

# Builds every libFuzzer target with clang in build-fuzz and runs each for FUZZ_SECONDS
# (default 600) on a copy of its seed corpus (tools/fuzz.sh).
FUZZ_SECONDS ?= 600
fuzz:
	@bash tools/install-deps.sh fuzz
	@bash tools/fuzz.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(CORE_BUILD)
