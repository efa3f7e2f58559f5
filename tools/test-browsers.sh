#!/usr/bin/env bash
# Real browsers against Pellwick's certificates: headless Chromium and Firefox ESR from
# Debian, each with a throwaway profile whose certificate database holds only the authority
# that made the server's certificate, trusted as an authority, load https://localhost:<port>/
#   - from the Linux console host, its pair made by make-certificate;
#   - from Pellwick.exe under Wine, its pair made by MakeCertificate.exe /S;
# and must show the page with no certificate error: Chromium's --dump-dom prints it, and
# both fetch the page's three files, kept in a folder named for this one load and named as
# people name files on Windows ("Holiday photo.png", "café.html", "style.css?v=2"): the
# server's access log then shows a 200 for each, by the target as the browser sent it. The same loads prove that the check can fail:
#   - with the authority left out of the profile, both browsers refuse the page;
#   - a certificate signed by the same authority for a name outside its constraints
#     (example.com, with the allowed address 127.0.0.1) is refused by both at 127.0.0.1.
#
#   tools/test-browsers.sh [linux build] [windows build]    (build/linux, build/windows)
#
# Needs the Linux build's pellwick and make-certificate and the Windows build's Pellwick.exe
# and MakeCertificate.exe (tools/test.sh builds them first). Everything it makes lives in
# one temporary folder; no real browser profile or certificate store is touched.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

fail() {
    echo "test-browsers: FAIL: $*" >&2
    exit 1
}
step() { printf -- '--- %s\n' "$*" >&2; }

if [ "${1:-}" != --inside ]; then
    linux_build=$(cd "${1:-$top/build/linux}" && pwd)
    windows_build=$(cd "${2:-$top/build/windows}" && pwd)
    "$top/tools/install-packages.sh" browsers
    for file in "$linux_build/app/pellwick" "$linux_build/app/make-certificate" "$windows_build/app/Pellwick.exe" \
        "$windows_build/app/MakeCertificate.exe"; do
        [ -x "$file" ] || [ -f "$file" ] || fail "not built: $file"
    done
    # Pellwick.exe runs in the throwaway Wine prefix; the browsers are Linux programs.
    exec "$top/tools/windows/with-wine" "$0" --inside "$linux_build" "$windows_build"
fi
linux_build=$2
windows_build=$3
# The port Pellwick.exe was built for; the Linux host takes another through PELLWICK_PORT.
. <(grep -E '^https_port=' "$windows_build/release-variables.sh")
windows_port=$https_port
linux_port=18611

work=$(mktemp -d "${TMPDIR:-/tmp}/pellwick-browsers.XXXXXX")
linux_host_pid=""
cleanup() {
    if [ -n "$linux_host_pid" ]; then
        kill "$linux_host_pid" 2>/dev/null || true
        wait "$linux_host_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

port_answers() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Polls until the command succeeds; the ceiling only ends a hang.
wait_until() {  # description command...
    local what=$1
    shift
    for _ in $(seq 1200); do
        "$@" && return 0
        sleep 0.25
    done
    fail "gave up waiting: $what"
}

# A profile for one browser run: an NSS database that holds only the given authority,
# trusted to issue server certificates, or nothing at all ("").
make_nss_database() {  # folder authority.crt|""
    mkdir -p "$1"
    certutil -N -d "sql:$1" --empty-password
    if [ -n "$2" ]; then
        certutil -A -d "sql:$1" -n "Pellwick test authority" -t "C,," -i "$2"
    fi
}

# Writes a page into the Web Root whose sub-resources lie in a folder named for this load
# alone, and prints that name. They are named as people name files on Windows and linked as
# site generators link them: a space, an accent, a query that busts caches. The load event
# waits for all three.
put_page() {  # web-root label
    local token
    token="$2-$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')"
    mkdir -p "$1/$token"
    printf '<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>%s</title><link rel="stylesheet" href="/%s/style.css?v=2"></head><body><p id="token">%s</p><img src="/%s/Holiday photo.png"><iframe src="/%s/café.html"></iframe></body></html>\n' \
        "$token" "$token" "$token" "$token" "$token" >"$1/index.html"
    # Any bytes will do: only the requests in the access log count.
    printf 'probe' >"$1/$token/Holiday photo.png"
    printf 'p { color: navy }\n' >"$1/$token/style.css"
    printf '<!DOCTYPE html>\n<p>café</p>\n' >"$1/$token/café.html"
    printf '%s' "$token"
}

# True when the access log shows each of the page's sub-resources served, by the target as
# a browser sends it.
log_shows_sub_resources() {  # access-log token
    grep -qF "\"GET /$2/Holiday%20photo.png\" 200" "$1" &&
        grep -qF "\"GET /$2/style.css?v=2\" 200" "$1" &&
        grep -qF "\"GET /$2/caf%C3%A9.html\" 200" "$1"
}

# Loads the URL in headless Chromium with HOME (and with it ~/.pki/nssdb, where Chromium on
# Linux takes its certificate database from) in a folder of its own. True when the page's
# DOM, dumped after the load event, holds the token.
chromium_loads() {  # url token authority.crt|""
    local run="$work/chromium-$2"
    make_nss_database "$run/home/.pki/nssdb" "$3"
    HOME="$run/home" timeout 600 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync --disable-extensions \
        --user-data-dir="$run/profile" --dump-dom "$1" >"$run/dom" 2>"$run/stderr" || true
    grep -qF "<p id=\"token\">$2</p>" "$run/dom"
}

# Loads the URL in headless Firefox ESR with a profile of its own and takes a screenshot,
# which waits for the page's load; the access log then tells what it fetched.
# The page is a frame of a local one: Firefox's screenshot never ends on a top-level
# certificate error page, while a frame that fails to load lets the load finish.
firefox_run() {  # url token authority.crt|""
    local run="$work/firefox-$2"
    make_nss_database "$run/profile" "$3"
    printf '<!DOCTYPE html>\n<html><body><iframe src="%s" width="800" height="400"></iframe></body></html>\n' "$1" \
        >"$run/frame.html"
    cat >"$run/profile/user.js" <<'EOF'
user_pref("security.enterprise_roots.enabled", false);
user_pref("security.OCSP.enabled", 0);
user_pref("security.remote_settings.crlite_filters.enabled", false);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.auto", false);
user_pref("extensions.update.enabled", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("browser.safebrowsing.downloads.enabled", false);
user_pref("services.settings.server", "http://127.0.0.1:9/");
EOF
    HOME="$run/home" timeout 600 firefox-esr --headless --no-remote -profile "$run/profile" \
        --screenshot "$run/page.png" "file://$run/frame.html" >"$run/stdout" 2>"$run/stderr" || true
}

# Both browsers load the page with the authority, and refuse it without. A line is written
# just after its answer is sent, so a load waits for the lines it caused.
expect_both_load() {  # url web-root access-log authority.crt label
    local token
    token=$(put_page "$2" "$5-chromium")
    chromium_loads "$1" "$token" "$4" ||
        { tail -n 5 "$work/chromium-$token/stderr" >&2; fail "Chromium did not show $1 ($5)"; }
    wait_until "Chromium's requests for the files of $1 ($5)" log_shows_sub_resources "$3" "$token"
    token=$(put_page "$2" "$5-firefox")
    firefox_run "$1" "$token" "$4"
    log_shows_sub_resources "$3" "$token" || tail -n 5 "$work/firefox-$token/stderr" >&2
    wait_until "Firefox's requests for the files of $1 ($5)" log_shows_sub_resources "$3" "$token"
    echo "test-browsers: both browsers loaded $1 and its three files ($5)" >&2
}
expect_both_refuse() {  # url web-root access-log authority.crt|"" label
    local token
    token=$(put_page "$2" "$5-chromium")
    chromium_loads "$1" "$token" "$4" && fail "Chromium showed $1 ($5)"
    grep -qF "$token" "$3" && fail "Chromium fetched the page's files from $1 ($5)"
    token=$(put_page "$2" "$5-firefox")
    firefox_run "$1" "$token" "$4"
    grep -qF "$token" "$3" && fail "Firefox loaded $1 ($5)"
    echo "test-browsers: both browsers refused $1 ($5)" >&2
}

step "the Linux host, its pair made by make-certificate"
host="$work/linux-host"
mkdir -p "$host"
cp "$linux_build/app/pellwick" "$linux_build/app/make-certificate" "$host/"
"$host/make-certificate" || fail "make-certificate failed"
linux_data="$work/linux-data"
linux_web="$linux_data/Pellwick/Web"
linux_log="$linux_data/Pellwick/Log/Pellwick.log"
start_linux_host() {
    port_answers "$linux_port" && fail "port $linux_port is taken"
    PELLWICK_PORT=$linux_port XDG_DATA_HOME="$linux_data" "$host/pellwick" >>"$work/linux-host.out" 2>&1 &
    linux_host_pid=$!
    wait_until "the Linux host serves" port_answers "$linux_port"
}
stop_linux_host() {
    kill "$linux_host_pid"
    wait "$linux_host_pid" 2>/dev/null || true
    linux_host_pid=""
}
start_linux_host
authority="$host/Pellwick-authority.crt"
expect_both_load "https://localhost:$linux_port/" "$linux_web" "$linux_log" "$authority" linux-localhost
expect_both_load "https://127.0.0.1:$linux_port/" "$linux_web" "$linux_log" "$authority" linux-127.0.0.1
expect_both_refuse "https://localhost:$linux_port/" "$linux_web" "$linux_log" "" linux-no-authority

step "a certificate for a name outside the authority's constraints, signed by it"
stop_linux_host
mv "$host/server.crt" "$host/made-server.crt"
mv "$host/server.key" "$host/made-server.key"
openssl req -new -newkey rsa:2048 -nodes -keyout "$host/server.key" -subj "/CN=example.com" 2>/dev/null |
    openssl x509 -req -CA "$authority" -CAkey "$host/Pellwick-authority.key" -days 2 -out "$host/server.crt" \
        -extfile <(printf '%s\n' "subjectAltName=DNS:example.com,IP:127.0.0.1" "extendedKeyUsage=serverAuth" \
            "basicConstraints=critical,CA:FALSE") 2>/dev/null
openssl verify -CAfile "$authority" -verify_ip 127.0.0.1 "$host/server.crt" >/dev/null 2>&1 &&
    fail "OpenSSL accepts a certificate outside the constraints"
start_linux_host
expect_both_refuse "https://127.0.0.1:$linux_port/" "$linux_web" "$linux_log" "$authority" linux-outside-constraints
stop_linux_host

step "Pellwick.exe under Wine, its pair made by MakeCertificate.exe /S"
windows_host="$work/windows-host"
mkdir -p "$windows_host"
cp "$windows_build/app/Pellwick.exe" "$windows_build/app/MakeCertificate.exe" "$windows_host/"
(cd "$windows_host" && timeout 300 wine MakeCertificate.exe /S) || fail "MakeCertificate.exe /S failed"
local_data="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local"
windows_web="$local_data/Pellwick/Web"
windows_log="$local_data/Pellwick/Log/Pellwick.log"
port_answers "$windows_port" && fail "port $windows_port is taken"
(cd "$windows_host" && exec timeout 1800 wine Pellwick.exe) >/dev/null 2>&1 &
wait_until "Pellwick.exe serves" port_answers "$windows_port"
authority="$windows_host/Pellwick-authority.crt"
expect_both_load "https://localhost:$windows_port/" "$windows_web" "$windows_log" "$authority" wine-localhost
expect_both_refuse "https://localhost:$windows_port/" "$windows_web" "$windows_log" "" wine-no-authority
echo "test-browsers: Chromium and Firefox ESR passed against both hosts" >&2
