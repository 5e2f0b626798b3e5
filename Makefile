# Tarvelo — the commands a developer and CI use.
BUILD ?= build
DEMO ?= demo
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
PREFIX ?= /opt/tarvelo

WINDOWS_BUILD ?= build-windows
WINDOWS_CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release -DTARVELO_WERROR=ON

.PHONY: deps build check demo run bench screenshot install package lint format clean \
	windows-deps windows windows-package check-windows

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

# The whole suite, the PostgreSQL and MariaDB tests against throw-away
# servers that this command starts and removes again.
check: build
	scripts/with-postgres scripts/with-mariadb ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# A demo directory with the executable, its configuration, an SQLite
# database, an address list and an exception list; then one unattended run.
demo: build
	scripts/demo $(BUILD) $(DEMO)

# The window on the demo database.
run: demo
	$(DEMO)/tarvelo

# The figures of the synchronisation run for the shipped executable; builds
# only the program and the benchmark.
bench: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS) --target tarvelo tarvelo_bench
	scripts/with-postgres $(BUILD)/bench/tarvelo_bench

screenshot: demo
	scripts/screenshot $(DEMO) $(BUILD)/screenshot.png

# The program, its plugins and the two example files into PREFIX, with sudo
# when PREFIX is not yours; tarvelo.ini, ausnahmen.txt and tarvelo.log there
# stay as they are.
install: build
	@dir='$(PREFIX)'; while [ ! -e "$$dir" ]; do dir=$$(dirname "$$dir"); done; \
	sudo=; [ -w "$$dir" ] || sudo=sudo; \
	echo "$$sudo cmake --install $(BUILD) --prefix $(PREFIX)"; \
	$$sudo cmake --install $(BUILD) --prefix '$(PREFIX)'

# The Debian package $(BUILD)/tarvelo_<version>_amd64.deb.
package: build
	cmake --build $(BUILD) --target package

# Fails when any source file differs from the formatting of .clang-format.
lint: deps
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

# The Windows program, cross-built with MinGW-w64 against Qt for Windows
# built from Debian's source (once per machine: about 26 minutes, kept in
# /var/cache/tarvelo-windows).
windows-deps:
	@scripts/install-deps --windows
	@nice scripts/build-windows-qt

$(WINDOWS_BUILD)/CMakeCache.txt:
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DTARVELO_WINDOWS_PREFIX="$$(scripts/build-windows-qt --print-prefix)" \
	  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
	  $(WINDOWS_CMAKE_FLAGS)

windows: windows-deps $(WINDOWS_BUILD)/CMakeCache.txt
	cmake --build $(WINDOWS_BUILD) -j$(JOBS)

# $(WINDOWS_BUILD)/tarvelo-setup-<version>.exe and tarvelo-<version>-win64.zip.
windows-package: windows
	cmake --build $(WINDOWS_BUILD) --target windows-package

# The Windows build's tests under Wine in a throw-away prefix, the installer
# among them.
check-windows: windows-package
	scripts/check-windows $(WINDOWS_BUILD)

clean:
	rm -rf $(BUILD) $(DEMO) $(WINDOWS_BUILD)
