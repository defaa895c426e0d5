# Polvane CW: the two commands that matter are `make demo` and `make test`.
# Both install the Debian packages the build needs when they are missing.

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
PACKAGES    = cmake ninja-build g++ libcli11-dev libsimpleini-dev libgtest-dev libgmock-dev \
              qt6-base-dev
SUDO        = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build demo test test-asan bench clean format samples screenshot

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
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@mkdir -p out
	./$(BUILD)/polvane convert samples/drive-tarvik.tvf out/drive-tarvik.csv --header -q
	@echo "--- first lines of out/drive-tarvik.csv ---"
	@head -n 6 out/drive-tarvik.csv | cut -c1-160

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPOLVANE_SANITIZE=ON -DPOLVANE_GUI=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The window as README.md shows it, rendered off-screen (no display needed).
screenshot: build
	@mkdir -p docs
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/polvane-gui --screenshot docs/main-window.png \
	  samples/drive-tarvik.tvf

samples: build
	./$(BUILD)/make_samples samples

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) out
