# The two commands: `make run` and `make test`. Everything else supports them.
BUILD_DIR ?= build
DIST_DIR  ?= dist
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run test dist build deps bench configure clean

run: dist
	@scripts/run-dist.sh "$(DIST_DIR)"

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

dist: build
	@scripts/stage-dist.sh "$(BUILD_DIR)" "$(DIST_DIR)"

bench: build
	cmake --build $(BUILD_DIR) --target bench -j$(JOBS)
	$(BUILD_DIR)/bench/bench_jet_engine

build: deps configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

configure:
	@test -f $(BUILD_DIR)/build.ninja || cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

deps:
	@scripts/install-deps.sh

clean:
	rm -rf $(BUILD_DIR) $(DIST_DIR)
