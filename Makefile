# Wraps the CMake presets for people; CI runs the same targets.
.PHONY: all build test demo clean

all: build

build:
	cmake --preset release
	cmake --build --preset release -j 2

test: build
	ctest --preset release -j 2

demo: build
	@mkdir -p build/demo
	@set -e; for map in examples/*.map; do \
	  name=$$(basename $$map .map); \
	  tiles=$$(ls examples/$$name.vsp examples/$$name.rts 2>/dev/null | head -n 1); \
	  ./build/gridport $$map $$tiles build/demo/$$name.rmp; \
	  echo "converted $$map with $$tiles -> build/demo/$$name.rmp"; \
	done
	@echo "The converted maps are in build/demo/."

clean:
	rm -rf build build-dev
