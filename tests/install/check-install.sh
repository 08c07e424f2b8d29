#!/usr/bin/env bash
# Installs the build to a temporary prefix, starts the installed server with the
# bundled network by name and reads "Control Status" through the installed ddeq.
# Usage: check-install.sh BUILD_FOLDER [sanitized]
set -euo pipefail
build=$1
kind=${2:-plain}
work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" --strip >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install failed"; }

for file in bin/turvista bin/urqvdatorel bin/ddeq bin/formshot share/turvista/4812.net \
            share/turvista/db/4812-run.items share/turvista/db/4812-config.items etc/xdg/Turvista/registry.ini \
            share/man/man1/ddeq.1 share/applications/turvista.desktop share/icons/hicolor/scalable/apps/turvista.svg; do
    [ -f "$prefix/$file" ] || fail "$file was not installed"
done
grep -q "Default=\"$prefix/bin/urqvdatorel\"" "$prefix/etc/xdg/Turvista/registry.ini" \
    || fail "the installed registry does not name the installed server: $(cat "$prefix/etc/xdg/Turvista/registry.ini")"
# A sanitizer build names its sources in its reports; any other holds no build path.
if [ "$kind" != sanitized ]; then
    for program in "$prefix"/bin/*; do
        ! grep -qF "$build" "$program" || fail "$program holds the build folder's path"
    done
fi

# Started elsewhere than its folder, with the network by name only: the server
# must find the bundled network and databases itself.
mkdir -m 700 "$work/dde"
export TURVISTA_DDE_DIR=$work/dde XDG_STATE_HOME=$work/state
(cd "$work" && exec "$prefix/bin/urqvdatorel" 4812.net) >"$work/server.log" 2>&1 &
server_pid=$!
status=
for _ in $(seq 100); do
    status=$("$prefix/bin/ddeq" --timeout 1000 URQVDatorel '4812.net(Dflt Control ID)' request 'Control Status' 2>/dev/null) && break
    kill -0 "$server_pid" 2>/dev/null || fail "the installed server ended: $(cat "$work/server.log")"
    sleep 0.1
done
[ "$status" = 1 ] || fail "Control Status read \"$status\"; the server said: $(cat "$work/server.log")"
echo "check-install: installed to $prefix, the installed server answers"
