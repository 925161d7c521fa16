# make run   installs what is missing, builds, starts QuizDesk on the demo test
# make test  the same set-up, then every test
# make package  the Debian packages, in $(PKG_BUILD)/packages
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
PKG_BUILD  ?= build-package
SAN_BUILD  ?= build-asan
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
# Tests, benchmarks and tools draw without a display; `make run` uses the real one.
HEADLESS   := QT_QPA_PLATFORM=offscreen
# On CI (CI set in the environment) every compiler warning fails the build.
WERROR     := $(if $(CI),-DQUIZDESK_WERROR=ON)

.PHONY: all setup configure build run test sanitize format format-check lint package package-check fuzz bench demo-files example-reports screenshots clean

all: build

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR)

configure: setup $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# QuizDesk takes no test on its command line: it works on the test in its
# working directory.
run: build
	cd examples/demo && ../../$(BUILD)/src/quizdesk

test: build
	cd $(BUILD) && $(HEADLESS) ctest --output-on-failure -j $(JOBS)

# Every test again, on a build checked by ASan, LeakSanitizer and UBSan
# (clang, in $(SAN_BUILD)): the first finding aborts the program, so the test
# that ran it fails. Leaks inside Qt's own libraries are suppressed, one by one,
# in tests/sanitizers/lsan.supp.
SANITIZE_ENV := ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:check_initialization_order=1 \
  UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0

# ccache where the machine has it (a developer's rebuilds); CI goes without.
CCACHE := $(shell command -v ccache 2>/dev/null)

# -O1 and line tables only: the sanitizers need no more, and the
# instrumented build is the longest step of CI.
$(SAN_BUILD)/build.ninja:
	CXX=clang++ cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
	  -DQUIZDESK_SANITIZE=ON -DQUIZDESK_BENCH=OFF $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE)) \
	  -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld

sanitize: setup $(SAN_BUILD)/build.ninja
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && $(HEADLESS) $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

# clang-format (.clang-format) over our own sources; the fixtures and
# examples hold no C++ and the build dirs are not in git.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')

format:
	clang-format -i $(FORMAT_FILES)

format-check: setup
	@clang-format --dry-run --Werror $(FORMAT_FILES)
	@echo "format-check: $(words $(FORMAT_FILES)) files follow .clang-format"

# clang-tidy (.clang-tidy) over the programs' sources, with the compile
# commands of $(BUILD) (configured only: clang-tidy needs no built file).
lint: configure
	run-clang-tidy -quiet -j $(JOBS) -p $(BUILD) '$(CURDIR)/(src|tools|server)/.*\.cpp$$'

# The Debian packages quizdesk, quizdesk-tools and quizdesk-examd, in
# $(PKG_BUILD)/packages. A build of its own, of the programs only: the
# packages hold no test and no benchmark, so none is compiled for them.
$(PKG_BUILD)/build.ninja:
	cmake -S . -B $(PKG_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR) \
	  -DQUIZDESK_TESTS=OFF -DQUIZDESK_BENCH=OFF $(if $(CCACHE),-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE))

package: setup $(PKG_BUILD)/build.ninja
	cmake --build $(PKG_BUILD) -j $(JOBS) --target package

# The packages checked, installed, run and purged again: for CI (root, a
# throwaway machine), never for a developer's own.
package-check: package
	bash tests/packaging/check.sh --install-on-this-machine $(PKG_BUILD)

# libFuzzer over the whole load and over the exam link's input (clang, ASan,
# UBSan), each bounded in time.
fuzz: setup
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DQUIZDESK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	bash tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	$(HEADLESS) bash bench/run.sh $(BUILD)

# The demo's scrambled voprosi.txt/otveti.txt, made again from examples/demo/source.
demo-files: build
	bash scripts/demo-files.sh $(BUILD)

# The example exam's reports in examples/analysis, made again by dry runs of
# its answer sheets, and its results page.
example-reports: build
	bash scripts/example-reports.sh $(BUILD)

# The pictures of the windows in docs/screenshots, drawn off screen, and the
# example exam's results page, the exam server's board during an exam and the
# demo's preview page as headless Chromium shows them.
screenshots: build
	$(HEADLESS) $(BUILD)/tools/quizdesk-screenshots examples/demo docs/screenshots
	$(HEADLESS) $(BUILD)/tools/quizdesk-screenshots examples/demo docs/screenshots --scale 2
	bash scripts/results-screenshot.sh $(BUILD)
	bash scripts/board-screenshot.sh $(BUILD)
	$(HEADLESS) bash scripts/preview-screenshot.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(SAN_BUILD) $(PKG_BUILD)
