# The two commands a new machine needs: `make run` and `make test`.
# Both first make sure the Debian packages the project builds with are present.

PACKAGES := cmake ninja-build g++ make git python3 \
            qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev \
            clang libclang-rt-14-dev llvm \
            xvfb xauth xdotool x11-utils twm imagemagick libxcb1-dev \
            desktop-file-utils appstream shared-mime-info dpkg-dev file \
            nlohmann-json3-dev help2man lintian bash-completion clang-format libxkbcommon-dev \
            valgrind
# What `make deps` installs; a target that needs less installs less (see format).
NEEDED = $(PACKAGES)

BUILD_DIR := build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test test-release test-asan asan fuzz bench recall carve package format clean

all: build

deps:
	@missing=$$(for p in $(NEEDED); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing missing packages:" $$missing; \
	    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $$missing; \
	  else \
	    echo "Missing Debian packages. Install them as root with:"; \
	    echo "  su -c 'apt-get update && apt-get install -y --no-install-recommends" $$missing"'"; \
	    echo "(where you have sudo: the same with 'sudo sh -c' in place of 'su -c')"; \
	    exit 1; \
	  fi; \
	fi

configure: deps
	cmake --preset release

build: configure
	cmake --build --preset release -j $(JOBS)

run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x $(BUILD_DIR)/bin/qlvodadov ]; then \
	  exec $(BUILD_DIR)/bin/qlvodadov; \
	else \
	  echo "No display: showing the bundled sample through qlvodadov-cli instead."; \
	  $(BUILD_DIR)/bin/qlvodadov-cli samples/damaged-letter.qlx; \
	fi

test: test-release test-asan

test-release: build
	ctest --preset release -j $(JOBS)

# The whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

asan: test-asan

FUZZ_SECONDS ?= 60
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh build-fuzz/bin

bench: build
	bash bench/compare.sh

# How much of a known text each reading gets back from damaged documents (docs/RECOVERY.md).
# 5 documents for each of the 4 layouts and 28 damage kinds. RECALL_KINDS=a,b makes and scores
# only those kinds; RECALL_DETAILS=1 lists, per document, what went wrong.
RECALL_DOCUMENTS ?= 560
RECALL_SEED ?= 1
RECALL_JOBS ?= 2
RECALL_KINDS ?=
RECALL_DETAILS ?=
recall: configure
	cmake --build --preset release -j $(JOBS) -t qlvodadov-cli
	rm -rf $(BUILD_DIR)/recall
	python3 bench/recall/generate.py $(BUILD_DIR)/recall/corpus --count $(RECALL_DOCUMENTS) --seed $(RECALL_SEED) \
	    $(if $(RECALL_KINDS),--kinds $(RECALL_KINDS))
	python3 bench/recall/score.py $(BUILD_DIR)/recall/corpus --cli $(BUILD_DIR)/bin/qlvodadov-cli \
	    --jobs $(RECALL_JOBS) --markdown $(BUILD_DIR)/recall/table.md $(if $(RECALL_DETAILS),--details)

# How well `qlvodadov-cli --carve` finds documents in disk images, and how fast (docs/CARVING.md).
# CARVE_IMAGES images of CARVE_SIZE each (64M to 1G), one background kind after another;
# CARVE_DETAILS=1 lists, per image, what went wrong.
CARVE_SEED ?= 1
CARVE_SIZE ?= 64M
CARVE_IMAGES ?= 3
CARVE_JOBS ?= 2
CARVE_DETAILS ?=
carve: configure
	cmake --build --preset release -j $(JOBS) -t qlvodadov-cli
	rm -rf $(BUILD_DIR)/carve
	python3 bench/carve/generate.py $(BUILD_DIR)/carve/images --seed $(CARVE_SEED) \
	    --size $(CARVE_SIZE) --count $(CARVE_IMAGES)
	python3 bench/carve/score.py $(BUILD_DIR)/carve/images --cli $(BUILD_DIR)/bin/qlvodadov-cli \
	    --jobs $(CARVE_JOBS) --markdown $(BUILD_DIR)/carve/table.md $(if $(CARVE_DETAILS),--details)

package: build
	cd $(BUILD_DIR) && cpack -G DEB

format:
	@$(MAKE) --no-print-directory deps NEEDED="clang-format git"
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-dev build-asan build-fuzz
