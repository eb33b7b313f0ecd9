# Wraps the CMake presets for people; CI runs the same targets.
BASE_PACKAGES := g++ cmake make libgtest-dev
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev
JOBS ?= 2
FUZZ_SECONDS ?= 60

.PHONY: all deps build test demo examples sanitize fuzz coverage clean

all: build

deps:
	@tools/install-deps $(BASE_PACKAGES)

build: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

test: build
	ctest --preset release -j $(JOBS)

# Converts every example into build/demo/NAME.rmp.
demo: build
	@mkdir -p build/demo
	@set -e; for map in examples/*.map; do \
	  name=$$(basename $$map .map); \
	  tiles=$$(ls examples/$$name.vsp examples/$$name.rts 2>/dev/null | head -n 1); \
	  ./build/gridport $$map $$tiles build/demo/$$name.rmp; \
	  echo "converted $$map with $$tiles -> build/demo/$$name.rmp"; \
	done
	@echo "The converted maps are in build/demo/."

# Makes the example inputs again from their generator.
examples: build
	./build/tools/make_examples examples

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

# Line and branch coverage of src/ by the whole test suite, with its floors.
# Branches that only an exception or the compiler's own code can take are
# left out.
coverage:
	@tools/install-deps $(BASE_PACKAGES) gcovr
	cmake --preset coverage
	cmake --build --preset coverage -j $(JOBS)
	find build-coverage -name '*.gcda' -delete
	ctest --preset coverage -j $(JOBS)
	gcovr --root . --filter 'src/' --object-directory build-coverage -j $(JOBS) \
	  --exclude-unreachable-branches --exclude-throw-branches \
	  --print-summary --fail-under-line 95 --fail-under-branch 85

clean:
	rm -rf build build-dev build-sanitize build-fuzz build-coverage
