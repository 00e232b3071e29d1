#!/usr/bin/env bash
# scripts/setup against a package mirror that fails in each of the ways it can, on Debian 12, 13
# and a system it does not know, and for a user who is neither root nor has sudo.
# Nothing real runs: stand-ins for apt-get, dpkg, dpkg-query (every package installed) and sudo
# come first on PATH and record their calls; each apt-get step exits as the case says.
set -u
setup="$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup"
tmp="$(mktemp -d "${TMPDIR:-/tmp}/tavune-setup-test.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
export CALLS="$tmp/calls"
mkdir "$tmp/bin"
standin() { printf '#!/bin/sh\n%s\n' "$2" >"$tmp/bin/$1" && chmod +x "$tmp/bin/$1"; }
standin apt-get 'echo "apt-get $*" >>"$CALLS"
case " $* " in *" update "*) s=$UPDATE ;; *" -t "*) s=$FROM_RELEASE ;; *) s=$INSTALL ;; esac
[ "$s" = 0 ] || echo "E: Failed to fetch http://deb.example.org/  Mirror sync in progress?"
exit "$s"'
standin dpkg 'case "$*" in --print-architecture) echo amd64 ;; --print-foreign-architectures) echo i386 ;;
    *) echo "dpkg $*" >>"$CALLS"; exit 1 ;; esac'
standin dpkg-query 'shift 2; printf "%s\tinstalled\n" "$@"' # after -W -f=FORMAT
standin sudo 'echo "sudo $*" >>"$CALLS"; [ "$1" = -n ] && shift; exec "$@"'
for r in bookworm trixie; do printf 'ID=debian\nVERSION_CODENAME=%s\n' $r >"$tmp/$r"; done
printf 'ID=fedora\nVERSION_ID=40\n' >"$tmp/fedora"

failed=0
check() { "${@:2}" || { echo "FAILED: $case: $1" >&2; failed=1; }; } # what, then a command
no() { ! "$@"; }

# Exit status of apt-get update, of the plain install and of the install with -t (and 1: neither
# root nor sudo); then what setup must do: fail or not, its install calls in order ("plain", or
# -t and its codename), and a line it must print. cmake and both runtime packages count as missing.
cases=(
    "update fails, plain install works|bookworm|100 0 100|0|plain|^setup: warning: apt-get update"
    "only -t installs|trixie|100 100 0|0|plain -t=trixie|^setup: .*came from the trixie .*security"
    "both installs fail|bookworm|100 100 100|1|plain -t=bookworm|^setup: .*(mirror|network)"
    "update works, install fails|trixie|0 100 0|1|plain|^setup: apt-get install failed"
    "an unknown system|fedora|0 0 0|1||^setup: +cmake .*libclang-rt-dev"
    "not root|bookworm|0 0 0 1|1||^setup: as root, run: apt-get install --no-install-rec.* cmake"
)
for row in "${cases[@]}"; do
    IFS='|' read -r case release statuses want_failure want_installs message <<<"$row"
    read -r update install from_release not_root <<<"$statuses"
    : >"$CALLS"
    env PATH="$tmp/bin:$PATH" UPDATE="$update" INSTALL="$install" FROM_RELEASE="$from_release" \
        TAVUNE_SETUP_OS_RELEASE="$tmp/$release" TAVUNE_SETUP_PRETEND_NOT_ROOT="$not_root" \
        TAVUNE_SETUP_PRETEND_MISSING="cmake libclang-rt-14-dev libclang-rt-dev" \
        "$setup" </dev/null >"$tmp/out" 2>&1
    status=$?
    printf -- '--- %s (exit %s):\n' "$case" "$status" >&2
    cat "$tmp/out" "$CALLS" >&2
    installs="$(sed -En '/^apt-get .* install /{s/.* -t ([^ ]+) .*/-t=\1/;s/^apt-.*/plain/;p}' \
        "$CALLS" | paste -sd' ')"
    check "fails: $want_failure" test "$((status != 0))" = "$want_failure"
    check "installs '$want_installs' (saw '$installs')" test "$installs" = "$want_installs"
    check "prints /$message/" grep -qE "$message" "$tmp/out"
    check "no dpkg but its queries" no grep -q '^dpkg' "$CALLS"
    if [[ -z "$want_installs" ]]; then
        check "runs nothing" test ! -s "$CALLS"
        continue
    fi
    check "apt-get update runs once" test "$(grep -c '^apt-get .* update$' "$CALLS")" = 1
    own=libclang-rt-14-dev other=libclang-rt-dev
    [[ "$release" == trixie ]] && own=libclang-rt-dev other=libclang-rt-14-dev
    check "installs name $own, never $other" test -z "$(grep '^apt-get .* install ' "$CALLS" |
        grep -vE " $own( |\$)" ; grep -E " $other( |\$)" "$CALLS")"
    check "blames the mirror only when all fails" test "$(grep -ciE '^setup: .*(mirror|network)' \
        "$tmp/out")" = "$((status != 0 && update != 0))"
    ((update || status)) && check "apt's error line shown" grep -qF 'E: Failed' "$tmp/out"
    ((status)) && check "no hint for root" no grep -q 'as root, run' "$tmp/out"
done
# With TAVUNE_NO_I386 (a machine of 64-bit Wine only) nothing of i386 is asked for.
case="no i386" && : >"$CALLS"
env PATH="$tmp/bin:$PATH" UPDATE=0 INSTALL=0 TAVUNE_NO_I386=1 TAVUNE_SETUP_OS_RELEASE="$tmp/trixie" \
    TAVUNE_SETUP_PRETEND_MISSING="cmake wine32:i386" TAVUNE_SETUP_PRETEND_MISSING_I386=1 "$setup" \
    </dev/null >"$tmp/out" 2>&1
check "installs cmake but nothing of i386" grep -q ' install .* cmake' "$CALLS"
check "asks for nothing of i386" no grep -q i386 "$CALLS" "$tmp/out"
exit "$failed"
