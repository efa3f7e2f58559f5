#!/bin/bash
# Tests what tools/release.sh ships, used as a Windows user would use it, under Wine:
#
#   tools/windows/test-release.sh
#
# Builds both artefacts with tools/release.sh (into dist/), then in a fresh Wine prefix:
#   1. installs silently with /AUTOSTART=1 /RUN=1: the files, the Start-menu entries, the
#      Uninstall and Run entries, the version resources, the first page in the empty Web
#      Root; the started Pellwick.exe answers "/" to a TLS client that trusts only the made
#      authority, for localhost and for 127.0.0.1; the current user's Root store is as it
#      was, and Windows' verifier (chain-check.exe) refuses the server certificate;
#   2. installs again over the running program with /RUN=1 /TRUST=1: the pair is unchanged,
#      the old program was closed, the new one serves; the Root store has gained exactly
#      the authority's entry, recorded for the uninstaller, and Windows' verifier accepts
#      the server certificate: the chain ends at the authority, the SSL policy passes for
#      localhost;
#   3. uninstalls silently: program files, shortcuts and registry entries are gone, and the
#      Root store is as it was before the installations (the verifier refuses again); the
#      authority's files, the Web Root, its file and the log stay;
#   4. installs, puts the user's own pair in place of the made one, uninstalls: the user's
#      pair and its folder stay;
#   4b. version 1.0's self-signed pair, unchanged since it made it, is replaced by a pair
#      from this computer's authority on an upgrade; one the user changed since stays;
#   5. unpacks the zip into a folder named with spaces and non-ASCII letters, runs
#      MakeCertificate.exe there as a double-click does (through cmd), closes its box (which
#      also offers the trust step) without trusting, and fetches "/" from the Pellwick.exe
#      started there;
#   6. installs while that portable Pellwick runs: it is left running;
# and last signs a build with a throwaway certificate made here and verifies it.
#
# The shipped build listens on 443, which Wine can bind as root. For a normal user, or when
# 443 is taken, the steps run on a second build for port 18505 (release.sh --port 18505).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
test_port=18505

fail() {
    echo "test-release: FAIL: $*" >&2
    exit 1
}
step() { printf -- '--- %s\n' "$*" >&2; }

# True when something on this machine accepts connections on the port.
port_answers() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

if [ "${1:-}" != --inside ]; then
    "$top/tools/release.sh"
    port=$(. "$top/pellwick.conf" && echo "$https_port")
    artefacts="$top/dist"
    if [ "$(id -u)" -ne 0 ] || port_answers "$port"; then
        echo "test-release: $port cannot be bound here; testing a build for port $test_port" >&2
        port=$test_port
        artefacts="$top/build/release-test-$port"
        "$top/tools/release.sh" --port "$port" --out "$artefacts"
    fi
    . "$top/build/windows-release-$port/release-variables.sh"
    answer_box="$top/build/windows-release-$port/answer-box.exe"
    x86_64-w64-mingw32-g++-posix -std=c++20 -municode -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion \
        -O1 -static -o "$answer_box" "$here/release/answer_box.cpp" -luser32
    cmake --build "$top/build/windows-release-$port" --target chain_check >/dev/null
    chain_check="$top/build/windows-release-$port/tools/windows/release/chain-check.exe"
    "$here/with-wine" "$0" --inside "$artefacts/Pellwick-$version-setup.exe" "$artefacts/Pellwick-$version-win64.zip" \
        "$port" "$answer_box" "$version" "$chain_check"

    step "signing with a throwaway certificate"
    work=$(mktemp -d "${TMPDIR:-/tmp}/pellwick-sign.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.crt" -days 2 \
        -subj "/CN=Pellwick test signer" -addext "keyUsage=critical,digitalSignature" \
        -addext "extendedKeyUsage=codeSigning" 2>/dev/null
    openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.crt" -out "$work/signer.pfx" \
        -passout pass:throwaway
    PELLWICK_SIGN_PFX="$work/signer.pfx" PELLWICK_SIGN_PASSWORD=throwaway PELLWICK_SIGN_CAFILE="$work/signer.crt" \
        "$top/tools/release.sh" --port "$port" --out "$work/signed" 2>&1 | tee "$work/release.log" >&2
    grep -q '^Signed: ' "$work/release.log" || fail "release.sh did not say it signed"
    unzip -q "$work/signed/Pellwick-$version-win64.zip" -d "$work/signed"
    for file in "$work/signed/Pellwick-$version-setup.exe" "$work/signed/Pellwick-$version-win64/Pellwick.exe" \
        "$work/signed/Pellwick-$version-win64/MakeCertificate.exe"; do
        osslsigncode verify -CAfile "$work/signer.crt" -in "$file" >"$work/verify.log" 2>&1 ||
            { cat "$work/verify.log" >&2; fail "signature does not verify: $file"; }
        grep -q "CN=Pellwick test signer" "$work/verify.log" || fail "not signed by the test signer: $file"
    done
    # The check tells signed from unsigned: the unsigned installer does not pass it.
    if osslsigncode verify -CAfile "$work/signer.crt" -in "$artefacts/Pellwick-$version-setup.exe" >/dev/null 2>&1; then
        fail "an unsigned installer passed the signature check"
    fi
    echo "test-release: all release checks passed" >&2
    exit 0
fi

# --- Inside the Wine prefix that with-wine made ---------------------------------------
# A failure shows the log and leaves a screenshot of the screen (a box may say more).
fail() {
    echo "test-release: FAIL: $*" >&2
    if [ -f "${log:-}" ]; then sed 's/^/  log: /' "$log" >&2; fi
    mkdir -p "$top/build/release-test-screenshots"
    import -window root "$top/build/release-test-screenshots/failure.png" 2>/dev/null &&
        echo "test-release: screenshot in build/release-test-screenshots/failure.png" >&2
    exit 1
}
setup=$2
zip=$3
port=$4
answer_box=$5
version=$6
chain_check=$7
export LC_ALL=C.UTF-8  # Wine takes non-ASCII paths from the command line as UTF-8
user=$(id -un)
local_data="$WINEPREFIX/drive_c/users/$user/AppData/Local"
install="$local_data/Programs/Pellwick"
install_win="C:\\users\\$user\\AppData\\Local\\Programs\\Pellwick"
shortcut="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Pellwick.lnk"
certificate_shortcut="${shortcut%/*}/Pellwick certificate for other devices.lnk"
web_root="$local_data/Pellwick/Web"
log="$local_data/Pellwick/Log/Pellwick.log"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pellwick'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
root_key='HKCU\Software\Microsoft\SystemCertificates\Root\Certificates'
work=$(mktemp -d "${TMPDIR:-/tmp}/pellwick-release-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The value of one registry entry, "" when it is missing.
reg_value() {
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print; exit }'
}

expect_equal() {  # what actual expected
    [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}

# The files in a folder, one name a line, sorted.
listing() {
    (cd "$1" && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort | tr '\n' ' ')
}

# Polls until the command succeeds; the ceiling only ends a hang.
wait_until() {  # description command...
    local what=$1
    shift
    for _ in $(seq 1200); do
        "$@" && return 0
        sleep 0.1
    done
    fail "gave up waiting: $what"
}

log_has_starts() {  # count: the log holds exactly this many server starts
    [ "$(grep -c '\[INFO\] Server started' "$log" 2>/dev/null)" = "$1" ]
}

# GET / over TLS with the certificate as the only trust anchor, checking the host name
# "localhost" or the address 127.0.0.1 against it; the whole response must be the page.
fetch_root() {  # certificate localhost|127.0.0.1
    local check=(-verify_ip 127.0.0.1)
    [ "$2" = localhost ] && check=(-servername localhost -verify_hostname localhost)
    printf 'GET / HTTP/1.1\r\nHost: %s\r\n\r\n' "$2" |
        timeout 120 openssl s_client -quiet -connect "127.0.0.1:$port" "${check[@]}" -CAfile "$1" \
            -no-CApath -no-CAstore -verify_return_error >"$work/response" 2>"$work/s_client.err" ||
        { cat "$work/s_client.err" >&2; fail "TLS fetch of / for $2 failed"; }
    [[ "$(head -n 1 "$work/response")" == "HTTP/1.1 200 OK"* ]] || { cat "$work/response" >&2; fail "no 200 for $2"; }
    [ "$(tail -n 1 "$work/response")" = "$page" ] || { cat "$work/response" >&2; fail "not the page for $2"; }
}

# The current user's Root store as the registry holds it: one thumbprint a line, sorted.
root_entries() {
    { wine reg query "$root_key" 2>/dev/null || true; } | tr -d '\r' |
        sed -n 's/^HKEY_CURRENT_USER.*\\Certificates\\//p' | LC_ALL=C sort
}

# The entries of the Root key, values and all, to tell that an uninstallation left it as it
# was ("" when there are none, or no key: opening the store makes the empty key).
root_key_dump() {
    { wine reg query "$root_key" /s 2>/dev/null || true; } | tr -d '\r' |
        key="HKEY_CURRENT_USER\\${root_key#HKCU\\}" awk '$0 != "" && $0 != ENVIRON["key"] && !/^reg: /'
}

thumbprint() {  # certificate file: SHA-1 in upper-case hex, as Windows names store entries
    openssl x509 -in "$1" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g'
}

# Windows' own verifier on the server certificate, each check in a fresh process: the chain
# ends at the authority with no error bits, and the SSL policy passes for localhost.
windows_accepts() {  # server.crt authority.crt
    wine "$chain_check" chain "$(winepath -w "$1")" "$(winepath -w "$2")" >>"$work/chain-check.log" 2>&1 &&
        wine "$chain_check" ssl "$(winepath -w "$1")" "$(winepath -w "$2")" localhost >>"$work/chain-check.log" 2>&1
}
expect_windows_accepts() {
    windows_accepts "$@" || { cat "$work/chain-check.log" >&2; fail "Windows' verifier refused the certificate"; }
}
expect_windows_refuses() {
    # Both checks must fail on their own.
    ! wine "$chain_check" chain "$(winepath -w "$1")" "$(winepath -w "$2")" >>"$work/chain-check.log" 2>&1 &&
        ! wine "$chain_check" ssl "$(winepath -w "$1")" "$(winepath -w "$2")" localhost >>"$work/chain-check.log" 2>&1 ||
        { cat "$work/chain-check.log" >&2; fail "Windows' verifier accepted the certificate: $3"; }
}

check_version_resource() {  # file description
    local resources strings
    resources=$(x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null)
    # The string values of the version resource, as "Name=value" lines.
    strings=$(sed -n 's/^ *VALUE "\([A-Za-z]*\)", "\(.*\)"$/\1=\2/p' <<<"$resources")
    for expected in "ProductName=Pellwick" "ProductVersion=$version" "FileVersion=$version" \
        "CompanyName=$publisher" "LegalCopyright=Copyright (C) 2026 $publisher"; do
        grep -qxF "$expected" <<<"$strings" || fail "$(basename "$1"): no $expected in its version resource: $strings"
    done
    grep -q "^FileDescription=$2" <<<"$strings" || fail "$(basename "$1"): description is not '$2'"
    grep -q 'RT_GROUP_ICON' <<<"$resources" || fail "$(basename "$1") has no icon"
}

publisher=$(. "$top/pellwick.conf" && echo "$publisher")  # the developer the status panel names
page="Pellwick release test $RANDOM$RANDOM"
root_before=$(root_key_dump)
entries_before=$(root_entries)

step "1. silent installation with /AUTOSTART=1 /RUN=1"
timeout 300 wine "$setup" /S /AUTOSTART=1 /RUN=1
expect_equal "installed files" "$(listing "$install")" \
    "MakeCertificate.exe Pellwick-authority.crt Pellwick-authority.key Pellwick.exe README.txt Uninstall.exe server.crt server.key "
expect_equal "the Web Root" "$(listing "$web_root")" "index.html "
first_page=$(cat "$web_root/index.html")
for text in "Pellwick is running" '%LOCALAPPDATA%\Pellwick\Web' "Pellwick-authority.crt" "Android" "iPhone" \
    "Another Windows PC"; do
    grep -qF "$text" <<<"$first_page" || fail "the first page does not say: $text"
done
grep -qF "$user" <<<"$first_page" && fail "the first page names the user"
printf '%s\n' "$page" >"$web_root/index.html"
[ -f "$certificate_shortcut" ] || fail "no Start-menu entry at $certificate_shortcut"
for text in 'M.a.k.e.C.e.r.t.i.f.i.c.a.t.e...e.x.e' '/.o.t.h.e.r.d.e.v.i.c.e.s'; do
    grep -qa "$text" "$certificate_shortcut" || fail "the certificate's Start-menu entry does not hold $text"
done
# The entry, started as Explorer starts it, opens the window for other devices.
wine start /unix "$certificate_shortcut"
timeout 300 wine "$answer_box" --window "Pellwick - Other devices" >/dev/null ||
    fail "the certificate's Start-menu entry opened no window for other devices"
expect_equal "Root store without /TRUST=1" "$(root_entries)" "$entries_before"
expect_equal "recorded authority without /TRUST=1" "$(reg_value "$uninstall_key" TrustedAuthority)" ""
unzip -q "$zip" -d "$work/zip"
shipped="$work/zip/Pellwick-$version-win64"
for file in Pellwick.exe MakeCertificate.exe README.txt; do
    cmp -s "$install/$file" "$shipped/$file" || fail "installed $file differs from the zip's"
done
[ -f "$shortcut" ] || fail "no Start-menu entry at $shortcut"
grep -qa 'P.e.l.l.w.i.c.k...e.x.e' "$shortcut" || fail "the Start-menu entry does not name Pellwick.exe"
# Its working folder is Documents, so that no file dialog opens beside the private keys.
grep -qa 'D.o.c.u.m.e.n.t.s' "$shortcut" || fail "the Start-menu entry does not start Pellwick in Documents"
expect_equal DisplayName "$(reg_value "$uninstall_key" DisplayName)" "Pellwick"
expect_equal DisplayVersion "$(reg_value "$uninstall_key" DisplayVersion)" "$version"
expect_equal Publisher "$(reg_value "$uninstall_key" Publisher)" "$publisher"
expect_equal InstallLocation "$(reg_value "$uninstall_key" InstallLocation)" "$install_win"
expect_equal DisplayIcon "$(reg_value "$uninstall_key" DisplayIcon)" "\"$install_win\\Pellwick.exe\",0"
expect_equal UninstallString "$(reg_value "$uninstall_key" UninstallString)" "\"$install_win\\Uninstall.exe\""
size_kib=$(( $(reg_value "$uninstall_key" EstimatedSize) ))
installed_kib=$(( $(du -sk --apparent-size "$install" | cut -f1) ))
[ "$size_kib" -gt $((installed_kib / 2)) ] && [ "$size_kib" -le $((installed_kib + 64)) ] ||
    fail "EstimatedSize $size_kib KiB for $installed_kib KiB installed"
expect_equal "Run entry" "$(reg_value "$run_key" Pellwick)" "\"$install_win\\Pellwick.exe\""
check_version_resource "$install/Pellwick.exe" "Pellwick: one folder"
check_version_resource "$install/MakeCertificate.exe" "Pellwick: makes server.crt"
check_version_resource "$setup" "Pellwick $version Setup"
cp "$install/server.crt" "$install/server.key" "$install/Pellwick-authority.crt" "$work/"
authority=$work/Pellwick-authority.crt
expect_windows_refuses "$work/server.crt" "$authority" "before the trust step"
wait_until "Pellwick.exe started by the installer serves" port_answers "$port"
fetch_root "$authority" localhost
fetch_root "$authority" 127.0.0.1

step "2. silent installation over the running program with /RUN=1 /TRUST=1"
timeout 300 wine "$setup" /S /RUN=1 /TRUST=1
cmp -s "$install/server.crt" "$work/server.crt" || fail "the certificate changed"
cmp -s "$install/server.key" "$work/server.key" || fail "the key changed"
cmp -s "$install/Pellwick-authority.crt" "$authority" || fail "the authority changed"
expect_equal "Root store after /TRUST=1" "$(root_entries)" \
    "$(printf '%s\n' $entries_before "$(thumbprint "$authority")" | LC_ALL=C sort)"
echo "test-release: Root store entries: $(grep -c . <<<"$entries_before") before, $(root_entries | grep -c .) after" >&2
expect_equal "recorded authority" "$(reg_value "$uninstall_key" TrustedAuthority)" "$(thumbprint "$authority")"
expect_windows_accepts "$work/server.crt" "$authority"
expect_equal "Run entry after an installation without /AUTOSTART" "$(reg_value "$run_key" Pellwick)" \
    "\"$install_win\\Pellwick.exe\""
grep -q '\[INFO\] Server stopped' "$log" || fail "the running Pellwick was not closed: $(cat "$log")"
wait_until "the new Pellwick.exe starts its server" log_has_starts 2
wait_until "the new Pellwick.exe serves" port_answers "$port"
fetch_root "$authority" localhost

step "3. silent uninstallation"
timeout 300 wine "$install/Uninstall.exe" /S "_?=$install_win"
# Run in place (_?=) the uninstaller cannot remove itself; started normally it copies
# itself away first and removes this one too.
expect_equal "left in the installation folder" "$(listing "$install")" \
    "Pellwick-authority.crt Pellwick-authority.key Uninstall.exe "
rm "$install/Uninstall.exe"
expect_equal "the Root key after uninstalling" "$(root_key_dump)" "$root_before"
expect_windows_refuses "$work/server.crt" "$authority" "after the uninstallation"
[ ! -e "$shortcut" ] || fail "the Start-menu entry is still there"
[ ! -e "$certificate_shortcut" ] || fail "the certificate's Start-menu entry is still there"
wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "the Uninstall key is still there"
expect_equal "Run entry after uninstalling" "$(reg_value "$run_key" Pellwick)" ""
expect_equal "the Web Root's page" "$(cat "$web_root/index.html")" "$page"
[ -s "$log" ] || fail "the log is gone"
port_answers "$port" && fail "Pellwick still serves after the uninstallation"

step "4. the user's own certificate pair survives the uninstallation"
timeout 300 wine "$setup" /S
[ -f "$install/server.crt" ] || fail "no pair made on a fresh installation"
rm "$install/server.crt" "$install/server.key"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$install/server.key" -out "$install/server.crt" -days 2 \
    -subj "/CN=localhost" 2>/dev/null
cp "$install/server.crt" "$install/server.key" "$work/"
timeout 300 wine "$install/Uninstall.exe" /S "_?=$install_win"
expect_equal "left in the installation folder" "$(listing "$install")" \
    "Pellwick-authority.crt Pellwick-authority.key Uninstall.exe server.crt server.key "
cmp -s "$install/server.crt" "$work/server.crt" && cmp -s "$install/server.key" "$work/server.key" ||
    fail "the user's pair was changed"

step "4b. an upgrade replaces version 1.0's self-signed pair, and keeps one the user changed since"
# 1.0 left a self-signed pair, no authority, and the write times of the pair as its record.
rm "$install/Pellwick-authority.crt" "$install/Pellwick-authority.key" "$install/Uninstall.exe"
# Whole seconds, and a time whose FILETIME (100 ns steps since 1601, as NSIS's GetFileTime
# gives its high and low 32 bits) has a low half below 2^31: it reads the same as a signed
# or an unsigned number.
made=1767225794
record_10_pair() {
    local filetime=$(( made * 10000000 + 116444736000000000 ))
    local stamp="$(( filetime >> 32 )).$(( filetime & 0xFFFFFFFF ))"
    touch -d "@$made" "$install/server.crt" "$install/server.key"
    wine reg add "$uninstall_key" /v CertificateMadeBySetup /d "$stamp.$stamp" /f >/dev/null 2>&1
    expect_equal "1.0's record" "$(reg_value "$uninstall_key" CertificateMadeBySetup)" "$stamp.$stamp"
}
record_10_pair
timeout 300 wine "$setup" /S
cmp -s "$install/server.crt" "$work/server.crt" && fail "1.0's self-signed certificate was kept"
openssl verify -CAfile "$install/Pellwick-authority.crt" "$install/server.crt" >/dev/null ||
    fail "the new certificate does not verify against the authority"
expect_equal "1.0's record after the upgrade" "$(reg_value "$uninstall_key" CertificateMadeBySetup)" ""
timeout 300 wine "$install/Uninstall.exe" /S "_?=$install_win"
expect_equal "left in the installation folder" "$(listing "$install")" \
    "Pellwick-authority.crt Pellwick-authority.key Uninstall.exe "

# The same record, but the user put a certificate of their own in place since 1.0 made
# the pair: losing it to the upgrade would break their setup.
rm "$install/Pellwick-authority.crt" "$install/Pellwick-authority.key" "$install/Uninstall.exe"
cp "$work/server.crt" "$work/server.key" "$install/"
record_10_pair
touch -d "@$(( made + 3600 ))" "$install/server.crt"
timeout 300 wine "$setup" /S
cmp -s "$install/server.crt" "$work/server.crt" && cmp -s "$install/server.key" "$work/server.key" ||
    fail "a pair the user changed since 1.0 made it was replaced on the upgrade"
expect_equal "1.0's record after the upgrade" "$(reg_value "$uninstall_key" CertificateMadeBySetup)" ""
timeout 300 wine "$install/Uninstall.exe" /S "_?=$install_win"
cmp -s "$install/server.crt" "$work/server.crt" || fail "the uninstaller changed the user's pair"
rm "$install/server.crt" "$install/server.key"

step "5. the portable zip in a folder named with spaces and non-ASCII letters"
# On C: itself: Wine links the prefix's Desktop and Documents to the Linux home folder.
folder_name="Pellwick tragbar – Grüße aus Åre"
mkdir "$WINEPREFIX/drive_c/$folder_name"
unzip -q "$zip" -d "$WINEPREFIX/drive_c/$folder_name"
portable="$WINEPREFIX/drive_c/$folder_name/Pellwick-$version-win64"
portable_win="C:\\$folder_name\\Pellwick-$version-win64"
(cd "$portable" && timeout 300 wine cmd /c MakeCertificate.exe) &
helper=$!
timeout 300 wine "$answer_box" "Pellwick certificate" >"$work/box" || fail "MakeCertificate.exe showed no box"
box_text=$(tr -d '\r' <"$work/box")  # the box shows each line feed as CR LF
wait "$helper" || fail "cmd /c MakeCertificate.exe failed"
expected_start="Made Pellwick's certificate authority for this computer, $portable_win\\Pellwick-authority.crt, and with it a certificate for this computer and its key:"$'\n\n'"$portable_win\\server.crt"$'\n'"$portable_win\\server.key"
[ "${box_text#"$expected_start"}" != "$box_text" ] ||
    { od -c "$work/box" | head -n 20 >&2; fail "the box said: $box_text, expected it to begin: $expected_start"; }
(cd "$portable" && exec timeout 300 wine Pellwick.exe) &
wait_until "the portable Pellwick.exe starts its server" log_has_starts 3
wait_until "the portable Pellwick.exe serves" port_answers "$port"
fetch_root "$portable/Pellwick-authority.crt" localhost
fetch_root "$portable/Pellwick-authority.crt" 127.0.0.1

step "6. an installation leaves a Pellwick started from elsewhere running"
stops=$(grep -c '\[INFO\] Server stopped' "$log")
timeout 300 wine "$setup" /S
expect_equal "server stops in the log" "$(grep -c '\[INFO\] Server stopped' "$log")" "$stops"
fetch_root "$portable/Pellwick-authority.crt" localhost
echo "test-release: installer and portable zip passed under Wine" >&2
