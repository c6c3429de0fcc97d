# Entry points for people and CI. Every target installs what it needs.
SHELL := /bin/bash
JOBS ?= 2
# Tests build unoptimised to keep make test short; make bench builds Release.
CMAKE_COMMON := -DCMAKE_BUILD_TYPE=Debug

.PHONY: test deps build-x64 build-x86 build-asan test-x64 test-x86 test-asan mingw demo bench fuzz clean

test: deps
	$(MAKE) build-x64 build-x86 build-asan
	$(MAKE) test-x64 test-x86 test-asan mingw fuzz-smoke

deps:
	@scripts/install-deps.sh

build-x64:
	cmake -S . -B build/x64 $(CMAKE_COMMON)
	cmake --build build/x64 -j$(JOBS)

build-x86:
	cmake -S . -B build/x86 $(CMAKE_COMMON) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/i386.cmake -DTAVIK_TOOLS=OFF
	cmake --build build/x86 -j$(JOBS)

build-asan:
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DTAVIK_SANITIZE=ON -DTAVIK_TOOLS=OFF
	cmake --build build/asan -j$(JOBS)

test-x64:
	cd build/x64 && ctest --output-on-failure -j$(JOBS)

test-x86:
	cd build/x86 && ctest --output-on-failure -j$(JOBS)

test-asan:
	cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j$(JOBS)

mingw:
	scripts/mingw-check.sh build/mingw

demo:
	scripts/demo.sh

# The band path against memcpy and lcms2, in both builds, one table each.
bench: deps
	cmake -S . -B build/x64 -DCMAKE_BUILD_TYPE=Release
	cmake --build build/x64 -j$(JOBS) --target tavik_bench
	cmake -S . -B build/x86 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/i386.cmake -DTAVIK_TOOLS=OFF
	cmake --build build/x86 -j$(JOBS) --target tavik_bench
	build/x64/bench/tavik_bench
	build/x86/bench/tavik_bench

clean:
	rm -rf build out

# Fuzzing (clang-14 with libFuzzer): `make fuzz` runs every target for
# FUZZ_SECONDS each; `make fuzz-smoke` runs each for a few seconds.
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 8

.PHONY: build-fuzz fuzz-smoke

build-fuzz:
	CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTAVIK_TESTS=OFF -DTAVIK_TOOLS=OFF
	cmake --build build/fuzz -j$(JOBS) --target tavik_fuzzers

fuzz: deps build-fuzz
	fuzz/run.sh build/fuzz $(FUZZ_SECONDS)

fuzz-smoke: build-fuzz
	fuzz/run.sh build/fuzz $(FUZZ_SMOKE_SECONDS)
