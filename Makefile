# Polvane CW: the two commands that matter are `make demo` and `make test`.
# Both install the Debian packages the build needs when they are missing.

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
PACKAGES    = cmake ninja-build g++ clang libclang-rt-14-dev libcli11-dev libsimpleini-dev libgtest-dev libgmock-dev \
              qt6-base-dev qt6-charts-dev libgdal-dev gdal-bin pybind11-dev python3-dev python3-pandas \
              python3-dask python3-distributed python3-pytest multimon-ng
SHELL       = /bin/bash
# The interpreter of the Python module and its tests: Debian's, which has pandas and Dask (the
# first python3 on the PATH can be another one).
PYTHON     ?= /usr/bin/python3
SUDO        = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps build demo test test-asan test-tsan bench bench-compare fuzz fuzz-build clean format samples screenshot

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing >/dev/null; \
	fi

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE=$(PYTHON)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@mkdir -p out
	./$(BUILD)/polvane convert samples/drive-tarvik.tvf out/drive-tarvik.csv -q \
	  --fields 18,5,11,0 --receivers 1,2,3,4 --best-server --header
	@echo "--- first lines of out/drive-tarvik.csv ---"
	@head -n 8 out/drive-tarvik.csv

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPOLVANE_SANITIZE=ON -DPOLVANE_GUI=OFF \
	  -DPOLVANE_PYTHON=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# ThreadSanitizer over the tests that run workers beside the window model: the model and its
# jobs (conversion, indexing, gathering), the index and the window, and the reference outputs
# written by the command built with it. Only their targets are built.
# The window's tests start `polvane convert` through QProcess, whose child only executes it:
# the sanitizer lets a child of a process with threads go on (die_after_fork=0).
TSAN_TESTS = MainFormTest|OutputFormatChange|ReductionFormTest|IndexTest|MakeListTest|ReferenceOutput|ui_tests
test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPOLVANE_TSAN=ON -DPOLVANE_PYTHON=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target polvane_tests $$(grep -q '^build polvane_ui_tests:' \
	  $(TSAN_BUILD)/build.ninja && echo polvane_ui_tests)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=$(CURDIR)/tests/tsan.supp \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -R '$(TSAN_TESTS)'

# Coverage-guided fuzzing of every reader, identification, the paging decoders and the
# configuration loader; each target runs FUZZ_SECONDS seconds from a corpus seeded with the
# bundled samples. A crash stops the run and leaves its input in $(FUZZ_BUILD)/crash-*.
fuzz-build: deps
	@command -v clang++ >/dev/null || $(SUDO) apt-get install -y -qq clang libclang-rt-14-dev >/dev/null
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DPOLVANE_FUZZ=ON -DPOLVANE_TESTS=OFF -DPOLVANE_GUI=OFF -DPOLVANE_PYTHON=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target polvane_fuzzers

fuzz: fuzz-build
	@set -e; for t in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	  name=$$(basename $$t); corpus=$(FUZZ_BUILD)/corpus-$$name; mkdir -p $$corpus; \
	  cp -n samples/* fuzz/seeds/* $$corpus/ 2>/dev/null || true; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  $$t $$corpus -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -artifact_prefix=$(FUZZ_BUILD)/crash-$$name- \
	    -print_final_stats=1 2>&1 | grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|.*ERROR|SUMMARY)" ; \
	  test $${PIPESTATUS[0]} -eq 0; \
	done

# The window as README.md shows it, rendered off-screen (no display needed) from the bundled
# Tarvik sample: with the preview showing, and with the drive map showing.
screenshot: build
	@mkdir -p docs
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/polvane-gui --screenshot docs/main-window.png \
	  --map-screenshot docs/drive-map.png samples/drive-tarvik.tvf

samples: build
	./$(BUILD)/make_samples samples

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) out

# Throughput and memory of the conversion path against a raw-I/O baseline (prints numbers only;
# BENCH_JSON=FILE writes the table also as JSON).
bench: build
	BENCH_JSON="$(BENCH_JSON)" ./$(BUILD)/polvane_bench ./$(BUILD)/polvane \
	  $${BENCH_DIR:-/tmp/polvane-bench} $${BENCH_MB:-512}

# The ratio of two benchmark tables row by row: make bench-compare A=old.json B=new.json
bench-compare:
	@test -n "$(A)" -a -n "$(B)" || { echo "usage: make bench-compare A=old.json B=new.json" >&2; exit 2; }
	$(PYTHON) tools/bench_compare "$(A)" "$(B)"
