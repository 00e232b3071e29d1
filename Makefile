# The commands of the README. Each first makes sure the machine has what it needs (scripts/setup);
# every build depends on that, so that `make -j` never starts one before the packages are there.
.PHONY: play test acceptance setup game native-build win32-build native-test win32-test dist

WIN32_BUILD := build/win32

# Without a display nobody could see the game: say so before installing or building anything.
# tests/e2e/launcher.py runs the same wine-run command, with a prefix of its own.
play:
	@scripts/wine-run --play --check-display
	@$(MAKE) --no-print-directory game
	scripts/wine-run --prefix build/play-prefix --play \
	    --keeper $(WIN32_BUILD)/tests/desktop_keeper.exe $(WIN32_BUILD)/tavune.exe

# Every test but the long acceptance runs.
test: native-test win32-test

# The long runs: ten landings in a row by the scripted player, and the monkey for five minutes.
acceptance: win32-build
	ctest --preset acceptance

setup:
	@scripts/setup

game: setup
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 --target tavune desktop_keeper

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
