# Wraps the CMake presets for people; CI runs the same targets.
BASE_PACKAGES := g++ cmake make libgtest-dev libpng-dev nlohmann-json3-dev
# What the four commands alone need (make demo, make package): their
# preset builds with Ninja.
COMMAND_PACKAGES := g++ cmake make ninja-build libpng-dev nlohmann-json3-dev
WINDOWS_PACKAGES := cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 nlohmann-json3-dev
WINE_PACKAGES := wine64 wine32:i386
CROSS_PACKAGES := cmake make qemu-user googletest nlohmann-json3-dev
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev
WASM_PACKAGES := clang-14 lld-14 wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32
# node and npm: Debian's packages unless a node with its own npm is there.
WEB_TOOLS := node:nodejs npm:npm
BROWSER_PACKAGES := chromium
WEB_PORT ?= 8017
JOBS ?= 2
FUZZ_SECONDS ?= 60
BENCH_RUNS ?= 9
BATCH_BENCH_RUNS ?= 3

.PHONY: all deps build test commands demo package examples bench windows test-windows test-bigendian test-32bit sanitize fuzz coverage clean
.PHONY: web web-serve test-wasm test-web test-tiled

all: build

deps:
	@tools/install-deps $(BASE_PACKAGES)

build: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

test: build
	ctest --preset release -j $(JOBS)

# The four commands alone, as a user builds them: in build/bin/, no test,
# tool or benchmark, and warnings stay warnings (the strict presets are CI's).
commands:
	@tools/install-deps $(COMMAND_PACKAGES)
	cmake --preset commands
	cmake --build --preset commands -j $(JOBS)

# Converts every example into build/demo/NAME.rmp with build/bin/gridport and
# draws each into build/demo/NAME.png with rmpview, then the whole folder
# into build/demo/batch/ with gridport-batch. Writes nothing outside build/.
demo: commands
	@mkdir -p build/demo
	@set -e; for map in examples/*.map; do \
	  name=$$(basename $$map .map); \
	  tiles=$$(ls examples/$$name.vsp examples/$$name.rts 2>/dev/null | head -n 1); \
	  ./build/bin/gridport $$map $$tiles build/demo/$$name.rmp; \
	  ./build/bin/rmpview --png build/demo/$$name.png build/demo/$$name.rmp >/dev/null; \
	  echo "converted $$map with $$tiles into build/demo/$$name.rmp, drawn into build/demo/$$name.png"; \
	done
	./build/bin/gridport-batch examples build/demo/batch
	@echo "The commands are in build/bin/; the converted maps and their pictures in build/demo/."

# The packages, in build/packages/: the Debian package
# gridport_VERSION_amd64.deb (the commands from build/bin/, their manual
# pages, the README and the licence) and gridport-VERSION-win32.zip and
# -win64.zip (the .exe files of make windows, the README and the licence as
# text). dpkg-dev's dpkg-shlibdeps finds the Debian package's Depends.
package: commands windows
	@tools/install-deps dpkg-dev
	cpack --config build/bin/CPackConfig.cmake -B build/packages
	cpack --config build-win32/CPackConfig.cmake -B build/packages
	cpack --config build-win64/CPackConfig.cmake -B build/packages
	@rm -rf build/packages/_CPack_Packages
	@ls -l build/packages

# Makes the example inputs again from their generator.
examples: build
	./build/tools/make_examples examples

# Times gridport against a plain copy of the same bytes, and against one that
# replaces its output as gridport does, on generated inputs (in
# build/bench/data, not committed) and prints one table of medians of
# BENCH_RUNS runs; then gridport-batch on trees of maps against a shell loop
# over gridport and a plain copy (bench/batch-bench, BATCH_BENCH_RUNS runs).
bench: build
	@mkdir -p build/bench/data
	./build/bench/make_bench_inputs build/bench/data
	./build/bench/run_bench build/gridport build/bench/copy_baseline build/bench/data/cases.tsv $(BENCH_RUNS)
	bench/batch-bench build build/bench/batch $(BATCH_BENCH_RUNS)
	bench/view-bench build build/bench/data

# Cross-builds gridport.exe, mapview.exe and rmpview.exe into build-win32/
# and build-win64/ with MinGW-w64, runtimes linked in (the viewers without
# PNG pictures: there is no libpng for MinGW).
windows:
	@tools/install-deps $(WINDOWS_PACKAGES)
	cmake --preset win32
	cmake --build --preset win32 -j $(JOBS)
	cmake --preset win64
	cmake --build --preset win64 -j $(JOBS)

# Runs the command-line suite against both Windows builds under Wine (64-bit
# and 32-bit); fails unless both run and pass (see tools/test-windows).
test-windows: windows build
	@tools/install-deps $(WINE_PACKAGES)
	tools/test-windows

# Exports the examples and generated maps to Tiled's JSON map and holds them
# to real Tiled (installed when missing, run headless): Tiled reads and saves
# each, tmxrasterizer draws rmpview's pixels, mapview's export is rmpview's.
# Draws docs/tiled-example.png again.
test-tiled: build
	tools/test-tiled

# Cross-build gridport and every test suite but the viewer's (no libpng for
# these hosts) for another Linux host, GoogleTest from its source, and run
# them under qemu's user mode: $(1) is the preset, $(2) the cross compiler.
define cross_test
	@tools/install-deps $(CROSS_PACKAGES) $(2)
	cmake --preset $(1)
	cmake --build --preset $(1) -j $(JOBS)
	ctest --preset $(1) -j $(JOBS)
endef

# Big-endian s390x: every file format is little-endian.
test-bigendian:
	$(call cross_test,s390x,g++-s390x-linux-gnu)

# 32-bit x86 (a 32-bit size_t), also where the kernel can't run 32-bit
# programs itself.
test-32bit:
	$(call cross_test,i686,g++-i686-linux-gnu)

# gridport.wasm, mapview.wasm and rmppicture.wasm (wasm32-wasi, clang-14) in build-wasm/,
# and the static web page around them in build-wasm/site/.
web:
	@tools/install-deps $(WASM_PACKAGES)
	@for tool in $(WEB_TOOLS); do command -v $${tool%%:*} >/dev/null || tools/install-deps $${tool#*:}; done
	cmake --preset wasm
	cmake --build --preset wasm -j $(JOBS)
	web/make-site build-wasm

# Serves the page on 127.0.0.1 only, for a try in a local browser.
web-serve: web
	@echo "the page: http://127.0.0.1:$(WEB_PORT)/"
	cd build-wasm/site && python3 -m http.server --bind 127.0.0.1 $(WEB_PORT)

# Runs the command-line suite against gridport.wasm under Node's WASI.
test-wasm: web build
	tools/test-wasm

# Drives headless Chromium through the page on 127.0.0.1 (puppeteer-core).
test-web: web build
	@tools/install-deps $(BROWSER_PACKAGES)
	node web/test/page-test.mjs build-wasm

# Every test under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

# Each libFuzzer target for FUZZ_SECONDS on its seed corpus; fails on a finding.
fuzz:
	@tools/install-deps $(BASE_PACKAGES) $(FUZZ_PACKAGES)
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	fuzz/run-fuzzers build-fuzz $(FUZZ_SECONDS)

# Line and branch coverage of src/ by the whole test suite, with its floors:
# 95% of lines, 85% of branches. Branches that only an exception or the
# compiler's own code can take are left out. Code that runs only in a process
# a signal ends, or in one run as another user, records no counters.
coverage:
	@tools/install-deps $(BASE_PACKAGES) gcovr
	cmake --preset coverage
	cmake --build --preset coverage -j $(JOBS)
	find build-coverage -name '*.gcda' -delete
	ctest --preset coverage -j $(JOBS)
	gcovr --root . --filter 'src/' --object-directory build-coverage -j $(JOBS) \
	  --exclude-unreachable-branches --exclude-throw-branches \
	  --print-summary --fail-under-line 95 --fail-under-branch 85 build-coverage

clean:
	rm -rf build build-dev build-sanitize build-fuzz build-coverage build-win32 build-win64 build-s390x build-i686 build-wasm
