# make run   - build, then replay the sample capture (in the window when there is a display)
# make test  - install what is missing, build, run every test
# SANITIZE=address (address + undefined behaviour) or SANITIZE=thread selects a sanitizer build.

SANITIZE ?=
ifeq ($(SANITIZE),address)
  BUILD_DIR ?= build-asan
  EXTRA_FLAGS := -DBUILD_BENCHMARKS=OFF
else ifeq ($(SANITIZE),thread)
  BUILD_DIR ?= build-tsan
  EXTRA_FLAGS := -DBUILD_BENCHMARKS=OFF
else
  BUILD_DIR ?= build
  EXTRA_FLAGS := -DBUILD_BENCHMARKS=ON
endif
JOBS ?= $(shell nproc)
CTEST_ARGS ?=
# The threaded parts: named locks, the queue and processing thread, the model, the events.
TSAN_LABELS ?= platform_tests|platform_files_tests|queue_tests|model_tests|model_tables_tests|persistence_tests|input_tests|sysfolder_tests|session_tests|view_tests|events_tests|mqtt_tests|history_tests

.PHONY: all deps configure build test run asan tsan bench clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DZEMBRANT_SANITIZE=$(SANITIZE) -DZEMBRANT_WERROR=ON -DBUILD_GUI=ON $(EXTRA_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) $(CTEST_ARGS)

asan:
	@$(MAKE) --no-print-directory test SANITIZE=address

tsan:
	@$(MAKE) --no-print-directory test SANITIZE=thread CTEST_ARGS='-L "$(TSAN_LABELS)"'

bench: build
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b --benchmark_min_time=0.5; done
	@echo "== bench/replay-bench.sh"; bench/replay-bench.sh $(BUILD_DIR)

# Replays the sample capture of a busy simulated site: in the window when there is a
# display, else headless, printing what was learned.
run: build
	@mkdir -p $(BUILD_DIR)/sample-data
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		$(BUILD_DIR)/src/zembrant -d $(BUILD_DIR)/sample-data --replay samples/BusySite.txt --format zembrantdump; \
	else \
		TZ=UTC $(BUILD_DIR)/src/zembrant-cli replay samples/BusySite.txt --format zembrantdump \
			--data-dir $(BUILD_DIR)/sample-data --logs all --clock-start 1700000000; \
	fi

clean:
	rm -rf build build-asan build-tsan
