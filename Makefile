# The two commands: `make run` and `make test`. Everything else supports them.
BUILD_DIR ?= build
DIST_DIR  ?= dist
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run test dist build deps bench configure clean data fuzz fuzz-deps test-asan package \
	package-test

run: dist
	@scripts/run-dist.sh "$(DIST_DIR)"

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

dist: build
	@scripts/stage-dist.sh "$(BUILD_DIR)" "$(DIST_DIR)"

bench: build
	cmake --build $(BUILD_DIR) --target bench -j$(JOBS)
	$(BUILD_DIR)/bench/bench_jet_engine
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/bench_start_up
	$(BUILD_DIR)/bench/bench_pointing
	$(BUILD_DIR)/bench/bench_sun_outage
	QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/bench/bench_grid_fill
	$(BUILD_DIR)/bench/bench_channel_query

build: deps configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

configure:
	@test -f $(BUILD_DIR)/build.ninja || cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

# Regenerates the committed data from its public sources (about 100 MB of packages).
SOURCES_DIR ?= $(BUILD_DIR)/sources
PYTHON ?= /usr/bin/python3
data: deps
	ZORVAST_SOURCES=$(abspath $(SOURCES_DIR)) tools/fetch-sources.sh all
	$(PYTHON) tools/cities/make_cities.py $(SOURCES_DIR)
	$(PYTHON) tools/channels/make_channels.py $(SOURCES_DIR)
	$(PYTHON) tools/declination/make_declination.py $(SOURCES_DIR)
	$(MAKE) build

deps:
	@scripts/install-deps.sh

# The Debian package $(BUILD_DIR)/package/zorvast_VERSION-1_ARCH.deb, built by CPack from the
# programs and files it installs only, then checked by lintian, desktop-file-validate and
# appstreamcli (scripts/check-package.sh).
PACKAGE_TARGETS = zorvast zorvast-cli zorvast-launcher zorvast_data packaging_files
package: deps configure
	cmake --build $(BUILD_DIR) --target $(PACKAGE_TARGETS) -j$(JOBS)
	rm -f $(BUILD_DIR)/package/zorvast_*.deb
	cd $(BUILD_DIR) && cpack -G DEB
	scripts/check-package.sh $(BUILD_DIR)

# The package installed with apt into a clean Debian 12 root made by debootstrap, and run
# there (scripts/package-test.sh; needs root, the root is cached in $(BUILD_DIR)/package-test).
package-test: package
	scripts/package-test.sh $(BUILD_DIR)

# The unit, command-line and data tests built with AddressSanitizer and UBSan in their own
# folder; not data_publish, which runs the window program, nor the generators' re-runs.
ASAN_DIR ?= build-asan
SANITIZE_FLAGS ?= -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
SANITIZER_ENV = ASAN_OPTIONS=detect_stack_use_after_return=1:check_initialization_order=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test-asan: deps
	@test -f $(ASAN_DIR)/build.ninja || cmake -S . -B $(ASAN_DIR) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$(SANITIZE_FLAGS)" \
	  -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$(SANITIZE_FLAGS)" $(CMAKE_FLAGS)
	cmake --build $(ASAN_DIR) --target gtests -j$(JOBS)
	cd $(ASAN_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j$(JOBS) \
	  -R '^(unit|cli|data)_' -E '^(data_regenerate_|data_publish$$)'

# libFuzzer targets (fuzz/): clang with ASan and UBSan in their own folder, each run for
# FUZZ_SECONDS on its seeds; fails on any finding (inputs in $(FUZZ_DIR)/artifacts/NAME/).
# FUZZ_TARGETS picks some of: zip jet filter lists update_answers signature release
# program_image.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
fuzz: fuzz-deps
	@test -f $(FUZZ_DIR)/build.ninja || cmake -S . -B $(FUZZ_DIR) -G Ninja -DZORVAST_FUZZ=ON \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
	  -DCMAKE_CXX_COMPILER=clang++-14 $(CMAKE_FLAGS)
	cmake --build $(FUZZ_DIR) --target fuzzers -j$(JOBS)
	fuzz/run-fuzzers.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

fuzz-deps:
	@scripts/install-deps.sh --fuzz

clean:
	rm -rf $(BUILD_DIR) $(DIST_DIR) $(ASAN_DIR) $(FUZZ_DIR)
