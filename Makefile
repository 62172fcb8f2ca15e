# The two commands: `make run` and `make test`. Everything else supports them.
BUILD_DIR ?= build
DIST_DIR  ?= dist
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run test dist build deps bench configure clean data

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

clean:
	rm -rf $(BUILD_DIR) $(DIST_DIR)
