# The two commands of the README: `make run` and `make test`.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo

.PHONY: all deps configure build run test package clean format

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD) -j2

run: build
	$(BUILD)/bin/kamelo

# The last line says how many tests were skipped and why; the exit status
# stays ctest's, so a failing test still fails `make test`.
test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 \
	    --output-junit $(abspath $(BUILD))/ctest-results.xml; \
	status=$$?; python3 $(CURDIR)/scripts/test-summary.py $(abspath $(BUILD))/ctest-results.xml; \
	exit $$status

# The Debian package of the build, in $(BUILD)/: kamelo_VERSION_ARCH.deb.
package: build
	cd $(BUILD) && cpack -G DEB

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
