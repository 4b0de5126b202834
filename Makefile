# Thin driver over CMake. `make demo` runs the main job, `make test` the tests
# (`make gallery` also refreshes the demo pictures in docs/gallery/);
# both install missing Debian packages and build first.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo gallery asan tsan bench clean

all: build

deps:
	tools/setup-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo: build
	BUILD=$(BUILD) tools/demo.sh

# The demo, then its pictures copied into docs/gallery/ (shown in the README).
gallery: build
	BUILD=$(BUILD) tools/demo.sh --gallery

# Address and undefined-behaviour sanitizers, in their own build tree.
asan:
	$(MAKE) test BUILD=build-asan \
	  CMAKE_FLAGS="-DVEXEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXEL_BUILD_BENCH=OFF"

# ThreadSanitizer: only the reports named in tools/tsan.supp are accepted.
# The fuzz targets are not instrumented for it and run in `make test`.
tsan:
	TSAN_OPTIONS="suppressions=$(CURDIR)/tools/tsan.supp history_size=7 second_deadlock_stack=1" \
	  $(MAKE) test BUILD=build-tsan CMAKE_FLAGS="-DVEXEL_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXEL_BUILD_BENCH=OFF" \
	  CTEST_ARGS="-LE 'fuzz|tsan-excluded'"

bench: build
	tools/setup-deps --bench
	bench/run.sh $(BUILD)

clean:
	rm -rf build build-asan build-tsan out
