# The two entry points: `make run` and `make test`. Both install what is missing first.
BUILD := build/default

.PHONY: all setup build test asan run bench package clean
all: build

setup:
	@scripts/setup

build: setup
	cmake --preset default
	cmake --build --preset default

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest -j2 --output-on-failure --timeout 300

# The same tests under AddressSanitizer and UBSan; slower, so not part of `make test`.
asan: setup
	cmake --preset asan
	cmake --build --preset asan
	cd build/asan && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
		ctest -j2 --output-on-failure --timeout 300

run: build
	scripts/run $(BUILD)

bench: setup
	cmake --preset release
	cmake --build --preset release
	bench/run build/release

# krv-servidor and krv-cliente as Debian packages, in build/default.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf build
