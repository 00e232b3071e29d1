# The two commands of the README. Each first makes sure the machine has what it needs.
.PHONY: play test setup native-test win32-test dist

WIN32_BUILD := build/win32

play: setup
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 --target tavune desktop_keeper
	scripts/wine-run --prefix build/play-prefix --play \
	    --keeper $(WIN32_BUILD)/tests/desktop_keeper.exe $(WIN32_BUILD)/tavune.exe

test: setup native-test win32-test

setup:
	@scripts/setup

native-test:
	cmake --preset native
	cmake --build --preset native
	ctest --preset native

win32-test:
	cmake --preset win32
	cmake --build --preset win32
	ctest --preset win32

# The zip for players: build/dist/tavune-VERSION.zip (see "Getting the game" in the README).
dist:
	cmake --preset win32
	cmake --build --preset win32 --target tavune
	scripts/dist
