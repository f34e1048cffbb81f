# Thin wrapper over CMake. `make demo` runs the bundled example, `make test` builds and runs
# every test; see README.md for the rest.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := decode archive container list writer
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h')

.PHONY: all build programs demo test ci-build asan tsan fuzz mutate size-check bench example-archive format format-check \
	man-check install install-check dist windows-zip windows windows-test clean

VERSION := $(shell cat VERSION)
RELEASE := corvane-pellux-$(VERSION)
PREFIX ?= /usr/local

all: build

build:
	cmake --preset release
	cmake --build build -j$(JOBS)

# Just the two programs: needs nothing but cmake, make and g++.
programs:
	cmake --preset programs
	cmake --build build-programs -j$(JOBS)

demo: programs
	bash examples/demo.sh build-programs

test: build
	ctest --test-dir build --output-on-failure --no-tests=error -j$(JOBS)

# Everything built with g++ and warnings as errors, as CI builds it.
ci-build:
	cmake --preset ci
	cmake --build build-ci -j$(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer (clang).
asan:
	cmake --preset asan
	cmake --build build-asan -j$(JOBS)
	ctest --test-dir build-asan --output-on-failure --no-tests=error -j$(JOBS)

# The command-line tests, where the builds run on several threads, under ThreadSanitizer.
tsan:
	cmake --preset tsan
	cmake --build build-tsan -j$(JOBS)
	ctest --test-dir build-tsan --output-on-failure --no-tests=error -j$(JOBS) -R CliTest

# Each libFuzzer target for FUZZ_SECONDS from a copy of its checked-in corpus; fails on a
# fault, or when a target's coverage stays below its floor in fuzz/coverage_floors.
fuzz:
	cmake --preset fuzz
	cmake --build build-fuzz -j$(JOBS)
	set -e; for t in $(FUZZ_TARGETS); do bash fuzz/run_target.sh build-fuzz $$t $(FUZZ_SECONDS); done

bench: build
	build/bench/codec_bench

# Rebuilds the bundled archive from examples/files; the result is reproducible byte for byte.
example-archive: build
	cd examples && ../build/pellux -c -f example.fst manifest.txt

# corvane.exe and pellux.exe for 64-bit Windows, cross-compiled and statically linked; fails when
# either needs a DLL that Windows does not ship.
windows:
	cmake --preset windows
	cmake --build build-windows -j$(JOBS) --target corvane pellux
	sh cmake/check_imports.sh build-windows/corvane.exe build-windows/pellux.exe

# The command-line tests against the Windows executables, run under wine.
windows-test: build windows
	sh tests/windows_cli_tests.sh build build-windows

format:
	clang-format -i $(FORMAT_FILES)

format-check:
	clang-format --dry-run -Werror $(FORMAT_FILES)

# Plants faults in the program code one at a time and reports what no test notices (needs
# python3, and for faults in the Windows sources what windows-test needs). 300 mutants at 10 to
# 20 s each take about an hour and a half on two cores (a fault that makes a program run hang
# fails its row after 30 s, so a test run may take up to 180 s); `make mutate
# MUTATE_ARGS=--resume` goes on from the log of a run that was stopped. Scratch folders of
# killed tests go to build-mutate/tmp.
MUTATE_ARGS ?=
mutate:
	cmake --preset release -B build-mutate -DCORVANE_BUILD_BENCH=OFF
	cmake --build build-mutate -j$(JOBS)
	cmake --preset windows -B build-mutate-windows
	cmake --build build-mutate-windows -j$(JOBS) --target corvane pellux
	mkdir -p build-mutate/tmp
	TMPDIR=$(CURDIR)/build-mutate/tmp ../shared/tools/mutate --build build-mutate \
	  --src common lzw container fst corvane pellux --sample 300 --seed 1 --log build-mutate/mutants.jsonl \
	  --timeout 180 \
	  --build-cmd 'sh tests/mutant_step.sh build {build} build-mutate-windows' \
	  --test-cmd 'sh tests/mutant_step.sh test {build} build-mutate-windows' $(MUTATE_ARGS)

# The size of the tests against the program code.
size-check:
	bash tests/size_check.sh

# Both manual pages clean under mandoc's checks.
man-check:
	mandoc -T lint -W warning man/corvane.1.in man/pellux.1.in

# The programs, manuals, bash completion, README and LICENSE under PREFIX (default /usr/local).
install: build
	cmake --install build --prefix $(PREFIX)

# Installs into a scratch root and checks that the programs and man pages landed.
install-check: build
	rm -rf build/install-root
	DESTDIR=$(CURDIR)/build/install-root cmake --install build --prefix /usr/local
	test -x build/install-root/usr/local/bin/corvane
	test -x build/install-root/usr/local/bin/pellux
	test -f build/install-root/usr/local/share/man/man1/corvane.1
	test -f build/install-root/usr/local/share/man/man1/pellux.1
	grep -q ' $(VERSION)"' build/install-root/usr/local/share/man/man1/pellux.1
	test -f build/install-root/usr/local/share/bash-completion/completions/pellux
	test -f build/install-root/usr/local/share/doc/corvane_pellux/LICENSE

# The source release: corvane-pellux-X.Y.Z.tar.gz holding the committed tree (but what
# .gitattributes leaves out) under one folder of that name, and its SHA-256. Made from the
# commit alone, with its date, so that the same commit always gives the same bytes.
dist:
	git archive --format=tar --prefix=$(RELEASE)/ HEAD | gzip -n -9 > $(RELEASE).tar.gz
	sha256sum $(RELEASE).tar.gz > $(RELEASE).tar.gz.sha256

# The Windows release: both executables, README and LICENSE in corvane-pellux-X.Y.Z-win64.zip,
# and its SHA-256; every file dated by the commit, so that the same commit gives the same bytes.
windows-zip: windows
	rm -rf build-windows/$(RELEASE)-win64 $(RELEASE)-win64.zip
	mkdir -p build-windows/$(RELEASE)-win64
	cp build-windows/corvane.exe build-windows/pellux.exe README.md LICENSE build-windows/$(RELEASE)-win64/
	touch -d @$$(git log -1 --format=%ct) build-windows/$(RELEASE)-win64 build-windows/$(RELEASE)-win64/*
	cd build-windows && TZ=UTC zip -X -q -r ../$(RELEASE)-win64.zip $(RELEASE)-win64
	sha256sum $(RELEASE)-win64.zip > $(RELEASE)-win64.zip.sha256

clean:
	rm -rf $(RELEASE).tar.gz* $(RELEASE)-win64.zip* build build-programs build-dev build-asan build-tsan build-fuzz build-ci build-mutate \
	  build-mutate-windows build-windows
