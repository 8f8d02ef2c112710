# Entry points: `make run` builds and starts the sample game, `make test`
# builds and runs every test, `make sanitize` does it under ASan + UBSan,
# `make fuzz-ci` runs every fuzz target briefly. Each installs what is missing.

JOBS ?= $(shell nproc)
CTEST_FLAGS = --output-on-failure -j8 --timeout 300

.PHONY: deps build run test sanitize fuzz fuzz-ci bench check-includes clean

deps:
	@bash tools/install-deps.sh

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j$(JOBS)

run: build
	cd examples/sample && ../../build/app_w game.scm

test: build
	cd build && ctest $(CTEST_FLAGS)

sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZEP_SANITIZE=ON
	cmake --build build-asan -j$(JOBS)
	cd build-asan && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan-suppressions.txt ctest $(CTEST_FLAGS)

fuzz: deps
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEP_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build build-fuzz -j$(JOBS)

fuzz-ci: fuzz
	bash tools/run-fuzzers.sh build-fuzz 30

bench: build
	@for b in build/bench/*_bench; do $$b; done

check-includes:
	bash tools/check-includes.sh

clean:
	rm -rf build build-asan build-fuzz
