# Two commands work on a fresh Debian 12 machine: `make run` and `make test`.
BUILD   ?= build
DATA    ?= $(HOME)/Esfuerzo
JOBS    ?= $(shell nproc)
PACKAGES = cmake ninja-build g++ qt6-base-dev qt6-serialport-dev libedf-dev \
           qt6-translations-l10n libgl-dev fonts-liberation socat xvfb xauth unrtf \
           dpkg-dev file desktop-file-utils poppler-utils

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test coverage deb format clean fuzz

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	    echo "Installing:$$missing"; \
	    $(SUDO) apt-get update && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Seeds the data folder with what an installation ships; never overwrites.
run: build
	@mkdir -p "$(DATA)"
	@for f in data/*; do \
	    [ -f "$$f" ] || continue; \
	    [ -e "$(DATA)/$$(basename "$$f")" ] || cp "$$f" "$(DATA)/"; \
	done
	cd "$(DATA)" && "$(CURDIR)/$(BUILD)/esfuerzo" .

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Line and branch coverage of src/ by the whole suite, from a Debug build of its own.
COVERAGE ?= build-coverage
coverage: deps
	@command -v gcovr >/dev/null || { $(SUDO) apt-get update && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends gcovr; }
	cmake -S . -B $(COVERAGE) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage
	cmake --build $(COVERAGE) -j $(JOBS)
	find $(COVERAGE) -name '*.gcda' -delete
	cd $(COVERAGE) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	gcovr -r . --filter src/ \
	    --print-summary -o $(COVERAGE)/coverage.txt $(COVERAGE)
	@tail -n 3 $(COVERAGE)/coverage.txt

# Each reader's libFuzzer target, FUZZ_SECONDS each, from the committed seeds; what it finds
# lands in $(FUZZ_BUILD)/findings-<target>-*. The grown corpus stays in $(FUZZ_BUILD).
FUZZ_SECONDS ?= 60
FUZZ_BUILD   ?= build-fuzz
FUZZ_TARGETS  = zirod protocol patient study generaldata sample rtf
fuzz: PACKAGES += clang libclang-rt-14-dev
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DESF_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) $(addprefix --target fuzz_,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
	    mkdir -p $(FUZZ_BUILD)/corpus/$$t && \
	    QT_QPA_PLATFORM=offscreen $(FUZZ_BUILD)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) \
	        -timeout=10 -rss_limit_mb=2048 -artifact_prefix=$(FUZZ_BUILD)/findings-$$t- \
	        $(FUZZ_BUILD)/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

# The Debian package of what `build` made, here: esfuerzo_<version>_amd64.deb.
deb: build
	rm -rf $(BUILD)/package
	cd $(BUILD) && cpack -G DEB -B "$(CURDIR)/$(BUILD)/package"
	cp $(BUILD)/package/esfuerzo_*.deb .

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
