#!/usr/bin/env bash
# scripts/setup when it cannot install: a package mirror that serves a broken index (apt-get
# update fails, and fails again on the retry), and a user who is neither root nor has sudo.
# Nothing real runs: stand-ins for apt-get, dpkg (its queries answer, i386 enabled; anything else
# is refused) and sudo come first on PATH and record their calls; only dpkg-query is the real one.
set -u
setup="$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup"
tmp="$(mktemp -d "${TMPDIR:-/tmp}/tavune-setup-test.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
calls="$tmp/calls"
mkdir "$tmp/bin"
real_dpkg="$(command -v dpkg)" || { echo "setup_test: dpkg not found" >&2; exit 1; }

cat >"$tmp/bin/apt-get" <<STANDIN
#!/bin/sh
echo "apt-get \$*" >>"$calls"
case " \$* " in *" update "*)
    echo "Err:6 http://deb.example.org/debian bookworm/main i386 Packages"
    echo "E: Failed to fetch http://deb.example.org/debian/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
    exit 100 ;;
esac
STANDIN
cat >"$tmp/bin/dpkg" <<STANDIN
#!/bin/sh
case "\$*" in
    --print-architecture) exec "$real_dpkg" --print-architecture ;;
    --print-foreign-architectures) echo i386 ;;
    *) echo "dpkg \$*" >>"$calls"; exit 1 ;;
esac
STANDIN
cat >"$tmp/bin/sudo" <<STANDIN
#!/bin/sh
echo "sudo \$*" >>"$calls"
[ "\$1" = -n ] && shift
exec "\$@"
STANDIN
chmod +x "$tmp/bin/"*

failed=0
check() { # description, then a command that must succeed
    local what="$1"
    shift
    "$@" || { echo "FAILED: $what" >&2; failed=1; }
}
no() { ! "$@"; }
# cmake, one of setup's packages, counts as missing, so setup goes on to apt on any machine.
run_setup() { # extra environment assignments
    : >"$calls"
    env PATH="$tmp/bin:$PATH" TAVUNE_SETUP_PRETEND_MISSING=cmake \
        TAVUNE_SETUP_RETRY_PAUSE=0 "$@" "$setup" </dev/null >"$tmp/out" 2>&1
    status=$?
    echo "--- setup $* (exit $status):" >&2
    cat "$tmp/out" >&2
    echo "--- calls:" >&2
    cat "$calls" >&2
}

# The mirror is broken: update is tried twice, nothing is installed, and the message blames the
# mirror or the network instead of handing root the same failing command.
run_setup
check "setup exits non-zero" test "$status" != 0
check "apt-get update tried exactly twice" test "$(grep -c '^apt-get .* update$' "$calls")" = 2
check "apt-get install never runs" no grep -q '^apt-get .* install' "$calls"
check "no dpkg but its queries" no grep -q '^dpkg' "$calls"
check "apt's error line shown" grep -qF 'E: Failed to fetch' "$tmp/out"
check "setup names the mirror or the network" grep -qiE '^setup:.*(mirror|network)' "$tmp/out"
check "no 'as root, run' hint" no grep -q 'as root, run' "$tmp/out"

# Neither root nor sudo: nothing runs, and the message says what root should run.
run_setup TAVUNE_SETUP_PRETEND_NOT_ROOT=1
check "not root: setup exits non-zero" test "$status" != 0
check "not root: nothing runs" test ! -s "$calls"
check "not root: says so" grep -q '^setup: not root and no sudo: cannot install' "$tmp/out"
check "not root: hands over the command" \
    grep -qE '^setup: as root, run: apt-get install --no-install-recommends .*cmake' "$tmp/out"

exit "$failed"
