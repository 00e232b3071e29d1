# The commands of the README. Each first makes sure the machine has what it needs (scripts/setup);
# every build depends on that, so that `make -j` never starts one before the packages are there.
.PHONY: play test acceptance setup game native-build win32-build native-test win32-test dist

WIN32_BUILD := build/win32

# The players' launcher (dist/tavune-wine, which tests/e2e/launcher.py tests), beside the game it
# runs, with a prefix under build/. Without a display it refuses: before anything is built.
play:
	@[ -n "$$DISPLAY" ] || dist/tavune-wine
	@$(MAKE) --no-print-directory game
	@mkdir -p build/play && ln -sf $(CURDIR)/dist/tavune-wine $(CURDIR)/$(WIN32_BUILD)/tavune.exe build/play/
	TAVUNE_WINEPREFIX="$(CURDIR)/build/play/wineprefix" build/play/tavune-wine

# Every test but the long acceptance runs.
test: native-test win32-test

# The long runs: ten landings in a row by the scripted player, and the monkey for five minutes.
acceptance: win32-build
	ctest --preset acceptance

setup:
	@scripts/setup

game: setup
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 --target tavune

native-build: setup
	cmake --preset native
	cmake --build --preset native

win32-build: setup
	cmake --preset win32
	cmake --build --preset win32

native-test: native-build
	ctest --preset native

win32-test: win32-build
	ctest --preset win32

# The zip for players: build/dist/tavune-VERSION.zip (see "Getting the game" in the README).
dist: setup
	cmake --preset win32
	cmake --build --preset win32 --target tavune
	scripts/dist
