# Wraps the CMake presets for people; CI runs the same targets.
BASE_PACKAGES := g++ cmake make libgtest-dev libpng-dev
JOBS ?= 2

.PHONY: all deps build test demo examples bench clean

all: build

deps:
	@tools/install-deps $(BASE_PACKAGES)

build: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

test: build
	ctest --preset release -j $(JOBS)

# Converts every example into build/demo/NAME.rmp, draws each into
# build/demo/NAME.png with rmpview, and refreshes the README's picture.
DEMO_PICTURE := village

demo: build
	@mkdir -p build/demo
	@set -e; for map in examples/*.map; do \
	  name=$$(basename $$map .map); \
	  tiles=$$(ls examples/$$name.vsp examples/$$name.rts 2>/dev/null | head -n 1); \
	  ./build/gridport $$map $$tiles build/demo/$$name.rmp; \
	  ./build/rmpview --png build/demo/$$name.png build/demo/$$name.rmp; \
	  echo "converted $$map with $$tiles -> build/demo/$$name.rmp, drawn into build/demo/$$name.png"; \
	done
	@cp build/demo/$(DEMO_PICTURE).png docs/example.png
	@echo "The converted maps and their pictures are in build/demo/; docs/example.png shows $(DEMO_PICTURE)."

# Makes the example inputs again from their generator.
examples: build
	./build/tools/make_examples examples

# Times gridport against a plain copy of the same bytes on generated inputs
# (in build/bench/data, not committed) and prints one table of medians.
bench: build
	@mkdir -p build/bench/data
	./build/bench/make_bench_inputs build/bench/data
	./build/bench/run_bench build/gridport build/bench/copy_baseline build/bench/data/cases.tsv

clean:
	rm -rf build build-dev
