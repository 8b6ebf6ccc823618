# The two commands of the README: `make run` and `make test`. Each installs what is missing,
# configures, builds and runs.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: deps configure build run test test-release test-asan bench fuzz install deb clean

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null

$(ASAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DNORVANE_SANITIZE=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# `make run` shows only the program's output: the build log appears when the build fails.
run: deps $(BUILD)/CMakeCache.txt
	@cmake --build $(BUILD) -j $(JOBS) > $(BUILD)/build.log 2>&1 || { cat $(BUILD)/build.log; exit 1; }
	@./$(BUILD)/tests/test_motor_ejecucion

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

test: test-release test-asan

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

# Builds the fuzz targets with clang (and their tests) in build-fuzz/ and runs each for
# FUZZ_SECONDS seconds; see scripts/fuzz.sh.
FUZZ_SECONDS ?= 60
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash scripts/fuzz.sh

PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# Debian packages built from a copy of the tree, lintian-checked and unpacked to check their files.
deb:
	bash scripts/build-deb.sh $(BUILD)/deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
