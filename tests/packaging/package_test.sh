#!/usr/bin/env bash
# The packages as an administrator meets them: built with the distribution's
# tools, checked by lintian, installed with apt, used as an unprivileged user,
# purged, and nothing of them left behind. It installs packages on this
# machine, so it runs only as root and only when asked (VO_PACKAGE_TEST=1).
# Usage: package_test.sh SOURCE WORK
set -euo pipefail
if [ "${VO_PACKAGE_TEST:-}" != 1 ] || [ "$(id -u)" -ne 0 ]; then
    echo "skipped: the package test installs packages; it runs as root with VO_PACKAGE_TEST=1 (.ci/run sets it)"
    exit 77
fi
source=$1 work=$2
tree=$work/varno-osk
fail() { echo "FAIL: $*" >&2; exit 1; }

# The copy keeps its last build folder, so that a second run compiles only
# what changed (and ccache serves the rest).
mkdir -p "$tree"
find "$tree" -mindepth 1 -maxdepth 1 ! -name 'obj-*' -exec rm -rf {} +
(cd "$source" && git ls-files -z --cached --others --exclude-standard -- . ':!build' ':!obj-*') |
    (cd "$source" && tar --null -T - -cf -) | tar -xf - -C "$tree"
rm -f "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo
(cd "$tree" && DEB_BUILD_OPTIONS="nocheck parallel=2" nice -n 10 dpkg-buildpackage -us -uc -b -nc >"$work/build.log" 2>&1) ||
    { tail -40 "$work/build.log"; fail "dpkg-buildpackage"; }
console=$(echo "$work"/varno-osk_*.deb) client=$(echo "$work"/varno-osk-client_*.deb)
lintian --fail-on error,warning "$console" "$client" || fail "lintian"
if dpkg-deb -f "$client" Depends | grep -i qt; then fail "the client package depends on Qt"; fi

home=$(mktemp -d) console_pid=
snapshot() { find /usr /etc /var -xdev \( -path /var/log -o -path /var/cache -o -path /var/lib/apt -o -path /var/lib/dpkg \) -prune -o -print | sort; }
cleanup() {
    [ -z "$console_pid" ] || wait "$console_pid" || true
    apt-get purge -y -qq varno-osk varno-osk-client >/dev/null 2>&1 || true
    rm -rf "$home"
}
trap cleanup EXIT
snapshot >"$work/before"
dpkg-query -W -f '${Package}\n' | sort >"$work/packages-before"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$console" "$client" >/dev/null || fail "apt-get install"

as_user() { runuser -u nobody -- env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen "$@"; }
chown nobody "$home"
version=$(dpkg-deb -f "$console" Version)
[ "$(as_user vo --version)" = "vo $version" ] || fail "vo --version"
# The engine names SourcePath's default, the console's own (modGeneral::ClientFolder).
as_user varno-osk-engine --help | grep -qx "  /usr/lib/varno-osk/client/varno-osk-client" ||
    fail "SourcePath's default is not the installed client: $(as_user varno-osk-engine --help | grep -A1 Files:)"
[ -x /usr/sbin/varno-osk-client ] && [ -x /usr/lib/varno-osk/client/varno-osk-client ] || fail "the client services"
[ -f /usr/share/doc/varno-osk/guide/index.html ] || fail "the guide"
appstreamcli validate --no-net /usr/share/metainfo/com.brindlewood.VarnoOsk.metainfo.xml >/dev/null || fail "appstreamcli validate"
as_user varno-osk --help | grep -q "^Usage: varno-osk" || fail "varno-osk --help without a display"
cp "$source/examples/example-settings.vos.json" "$home/" && chown nobody "$home/example-settings.vos.json"
status=0
as_user vo check "$home/example-settings.vos.json" >"$work/check.txt" || status=$?
[ "$status" -ne 1 ] || { cat "$work/check.txt"; fail "vo check on the example"; }
# runuser passes no signal on, so timeout ends the console from inside:
# status 124 says it was still running when its time was up.
as_user timeout 8 varno-osk & console_pid=$!
sleep 4
[ -f "$home/.config/varno-osk/registry.db" ] || fail "the console made no registry store in the user's home"
status=0
wait "$console_pid" || status=$?
console_pid=
[ "$status" -eq 124 ] || fail "the console ended by itself (status $status)"

apt-get purge -y -qq varno-osk varno-osk-client >/dev/null || fail "apt-get purge"
dpkg-query -W -f '${Package}\n' | sort | comm -13 "$work/packages-before" - | xargs -r apt-get purge -y -qq >/dev/null
left=$(snapshot | comm -13 "$work/before" -)
[ -z "$left" ] || fail "left after purging: $left"
echo "packages built, lintian clean, installed, used and purged"
