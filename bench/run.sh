#!/usr/bin/env bash
# Serves the same three files with the same certificate from the console host and from nginx (keep-alive off, TLS 1.2 and 1.3, 2 workers) on this machine, and prints both
# side by side with their ratio. Every figure is the median of alternating rounds.
#
#   bench/run.sh [rounds, default 3] [earlier host: a commit or a console host binary]
#
# With an earlier host, that host runs in every round too and the table shows it beside
# this tree's: before and after a change, from one run. A commit is built from its own
# sources (git archive) in build/bench-<commit>, Release, linked with the same OpenSSL
# library as this tree's build, so that only Pellwick's own code differs.
#
# The certificate is the one Pellwick makes for itself (ECDSA P-256, signed by an authority
# of this machine, made by make-certificate); PELLWICK_BENCH_KEY=rsa gives both servers an
# RSA-2048 pair instead, to compare the handshake cost of the two key types.
#
# The servers run on CPU 0 and the load tools on CPU 1. hey opens a new connection for
# every request, so each request costs one full TLS handshake. It prints figures; it never
# fails because a machine is slow.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-3}
"$top/tools/install-packages.sh" linux bench

openssl_prefix=$("$top/tools/build-openssl.sh" linux | tail -n 1)
build="$top/build/release"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLWICK_TESTS=OFF \
  -DOPENSSL_ROOT_DIR="$openssl_prefix" >/dev/null
cmake --build "$build" --target pellwick make-certificate >/dev/null

# The OpenSSL library that this tree's build found, as options for another build.
openssl_options() {
  local name value
  for name in OPENSSL_INCLUDE_DIR OPENSSL_SSL_LIBRARY OPENSSL_CRYPTO_LIBRARY; do
    value=$(sed -n "s/^$name:[A-Z]*=//p" "$build/CMakeCache.txt")
    echo "-D$name=$value"
  done
  case "$value" in *.a) echo "-DOPENSSL_USE_STATIC_LIBS=TRUE" ;; esac
}

earlier=${2:-}
earlier_host=""
if [ -n "$earlier" ] && [ -x "$earlier" ] && [ -f "$earlier" ]; then
  earlier_host=$(cd "$(dirname "$earlier")" && pwd)/$(basename "$earlier")
elif [ -n "$earlier" ]; then
  commit=$(git -C "$top" rev-parse --short "$earlier^{commit}")
  earlier_src="$top/build/bench-$commit/src"
  if [ ! -f "$earlier_src/CMakeLists.txt" ]; then
    mkdir -p "$earlier_src"
    git -C "$top" archive "$commit" | tar -x -C "$earlier_src"
  fi
  # An older tree found OpenSSL by its parts, a newer one by its prefix: it gets both, and
  # ignores what it does not read.
  mapfile -t options < <(openssl_options)
  cmake -S "$earlier_src" -B "$top/build/bench-$commit/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DPELLWICK_TESTS=OFF -DOPENSSL_ROOT_DIR="$openssl_prefix" "${options[@]}" >/dev/null
  cmake --build "$top/build/bench-$commit/build" --target pellwick >/dev/null
  earlier_host="$top/build/bench-$commit/build/app/pellwick"
fi

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The same files and certificate for both servers.
mkdir -p "$work/exe" "$work/data/Pellwick/Web" "$work/nginx"
root="$work/data/Pellwick/Web"
head -c 1024 /dev/urandom | base64 -w 76 | head -c 1024 >"$root/index.html"
head -c 102400 /dev/urandom >"$root/medium.bin"
head -c 52428800 /dev/urandom >"$root/large.bin"
cp "$build/app/pellwick" "$work/exe/"
key_type="ECDSA P-256"
if [ "${PELLWICK_BENCH_KEY:-}" = rsa ]; then
  key_type="RSA-2048"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/exe/server.key" -out "$work/exe/server.crt" -days 30 \
    -subj /CN=localhost -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null
else
  "$build/app/make-certificate" /S --folder "$work/exe"
fi
if [ -n "$earlier_host" ]; then
  mkdir -p "$work/earlier"
  cp "$earlier_host" "$work/earlier/pellwick"
  cp "$work/exe/server.key" "$work/exe/server.crt" "$work/earlier/"
fi

# Below the range the system hands out to outgoing connections and the tests' free ports
# (32768 and up), and away from the port the Windows test build binds (18443).
port=28443
nginx_port=28444
for taken in $port $nginx_port; do
  if (exec 3<>"/dev/tcp/127.0.0.1/$taken") 2>/dev/null; then
    echo "port $taken is in use by another program; the benchmark needs it" >&2
    exit 1
  fi
done
cat >"$work/nginx/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  # Both servers write one line per request.
  access_log $work/nginx/access.log;
  keepalive_timeout 0;
  sendfile on;
  default_type application/octet-stream;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen $nginx_port ssl;
    ssl_certificate $work/exe/server.crt;
    ssl_certificate_key $work/exe/server.key;
    ssl_protocols TLSv1.2 TLSv1.3;
    root $root;
  }
}
CONF

# nginx's workers drop root: they must be able to read the files.
chmod -R a+rX "$work"

# Both servers must answer the same bytes, or the figures compare different work.
check_answers() {  # server
  local file size
  for file in index.html medium.bin large.bin; do
    size=$(curl -sk -o /dev/null -w '%{http_code} %{size_download}' "$url/$file")
    if [ "$size" != "200 $(stat -c %s "$root/$file")" ]; then
      echo "$1 answered $file with: $size" >&2
      exit 1
    fi
  done
}

start_server() {  # pellwick|earlier|nginx; sets server_pid and url
  if [ "$1" = pellwick ] || [ "$1" = earlier ]; then
    local folder=exe
    [ "$1" = earlier ] && folder=earlier
    XDG_DATA_HOME="$work/data" PELLWICK_PORT=$port taskset -c 0 "$work/$folder/pellwick" >/dev/null 2>&1 &
    server_pid=$!
    url="https://127.0.0.1:$port"
  else
    taskset -c 0 nginx -c "$work/nginx/nginx.conf" -g 'daemon off;' 2>/dev/null &
    server_pid=$!
    url="https://127.0.0.1:$nginx_port"
  fi
  for _ in $(seq 500); do
    curl -sk -o /dev/null "$url/index.html" && return 0
    sleep 0.02
  done
  echo "$1 did not start" >&2
  exit 1
}

stop_server() {
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
}

# The server's processes: the host itself, or nginx's master and workers.
server_pids() { echo "$server_pid" $(pgrep -P "$server_pid" || true); }

cpu_ticks() {
  local total=0 pid
  for pid in $(server_pids); do
    total=$((total + $(awk '{print $14 + $15}' "/proc/$pid/stat")))
  done
  echo "$total"
}

rss_kib() {
  local total=0 pid
  for pid in $(server_pids); do
    total=$((total + $(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")))
  done
  echo "$total"
}

hz=$(getconf CLK_TCK)
results="$work/results"
: >"$results"
record() { echo "$1 $2 $3" >>"$results"; }  # server metric value

handshakes() {  # server clients requests
  local before after out
  before=$(cpu_ticks)
  out=$(taskset -c 1 hey -disable-keepalive -n "$3" -c "$2" "$url/index.html")
  after=$(cpu_ticks)
  record "$1" "rps_c$2" "$(awk '/Requests\/sec/ {print $2}' <<<"$out")"
  record "$1" "p50_c$2" "$(awk '/ 50% in / {print $3 * 1000}' <<<"$out")"
  record "$1" "p99_c$2" "$(awk '/ 99% in / {print $3 * 1000}' <<<"$out")"
  record "$1" "cpu_c$2" "$(awk -v t=$((after - before)) -v n="$3" -v hz="$hz" 'BEGIN {print t * 1000000 / hz / n}')"
}

downloads() {  # server
  local start end peak=0 rss idle
  idle=$(rss_kib)
  start=$(date +%s.%N)
  taskset -c 1 curl -sk -o /dev/null "$url/large.bin"
  end=$(date +%s.%N)
  record "$1" "mb_s_1" "$(awk -v s="$start" -v e="$end" 'BEGIN {print 50 / (e - s)}')"
  start=$(date +%s.%N)
  local clients=() client running
  for _ in 1 2 3 4 5 6 7 8; do
    taskset -c 1 curl -sk -o /dev/null "$url/large.bin" &
    clients+=($!)
  done
  running=8
  while [ "$running" -gt 0 ]; do
    rss=$(rss_kib)
    [ "$rss" -gt "$peak" ] && peak=$rss
    running=0
    for client in "${clients[@]}"; do kill -0 "$client" 2>/dev/null && running=$((running + 1)); done
    sleep 0.005
  done
  wait "${clients[@]}" 2>/dev/null || true
  end=$(date +%s.%N)
  record "$1" "mb_s_8" "$(awk -v s="$start" -v e="$end" 'BEGIN {print 400 / (e - s)}')"
  record "$1" "idle_mib" "$(awk -v k="$idle" 'BEGIN {print k / 1024}')"
  record "$1" "peak8_mib" "$(awk -v k="$peak" 'BEGIN {print k / 1024}')"
}

memory_growth() {  # server
  taskset -c 1 hey -disable-keepalive -n 1000 -c 8 "$url/medium.bin" >/dev/null
  record "$1" "rss1k_mib" "$(awk -v k="$(rss_kib)" 'BEGIN {print k / 1024}')"
  taskset -c 1 hey -disable-keepalive -n 9000 -c 8 "$url/medium.bin" >/dev/null
  record "$1" "rss10k_mib" "$(awk -v k="$(rss_kib)" 'BEGIN {print k / 1024}')"
}

servers=(pellwick nginx)
[ -n "$earlier_host" ] && servers=(earlier pellwick nginx)
for round in $(seq "$rounds"); do
  for server in "${servers[@]}"; do
    echo "round $round: $server" >&2
    start_server "$server"
    check_answers "$server"
    taskset -c 1 hey -disable-keepalive -n 300 -c 8 "$url/index.html" >/dev/null
    handshakes "$server" 1 1000
    handshakes "$server" 8 4000
    handshakes "$server" 64 4000
    downloads "$server"
    memory_growth "$server"
    stop_server
  done
done

median() {  # server metric
  awk -v s="$1" -v m="$2" '$1 == s && $2 == m {print $3}' "$results" | sort -g |
    awk '{v[NR] = $1} END {if (NR == 0) print "n/a"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

row() {  # label metric format
  local p n e
  p=$(median pellwick "$2")
  n=$(median nginx "$2")
  if [ -n "$earlier_host" ]; then
    e=$(median earlier "$2")
    awk -v l="$1" -v e="$e" -v p="$p" -v n="$n" -v f="$3" 'BEGIN {
      re = (n + 0 != 0) ? sprintf("%.2f", e / n) : "n/a"
      rp = (n + 0 != 0) ? sprintf("%.2f", p / n) : "n/a"
      printf "| %s | " f " | " f " | " f " | %s | %s |\n", l, e, p, n, re, rp }'
    return
  fi
  awk -v l="$1" -v p="$p" -v n="$n" -v f="$3" 'BEGIN {
    r = (n + 0 != 0) ? sprintf("%.2f", p / n) : "n/a"
    printf "| %s | " f " | " f " | %s |\n", l, p, n, r }'
}

echo
# Pellwick links the static OpenSSL it ships with; nginx the system's.
echo "Rounds: $rounds; $(nproc) CPUs; server key: $key_type; Pellwick: $("$openssl_prefix/bin/openssl" version | cut -d' ' -f1-2) (static);" \
  "nginx: $(openssl version | cut -d' ' -f1-2) (system); $(nginx -v 2>&1)"
echo
if [ -n "$earlier_host" ]; then
  echo "Before: $earlier. After: this tree ($(git -C "$top" rev-parse --short HEAD))."
  echo
  echo "| Measure (median) | Pellwick before | Pellwick after | nginx | before / nginx | after / nginx |"
  echo "|---|---|---|---|---|---|"
else
  echo "| Measure (median) | Pellwick | nginx | Pellwick / nginx |"
  echo "|---|---|---|---|"
fi
row "Full handshakes/s, 1 client" rps_c1 "%.0f"
row "Full handshakes/s, 8 clients" rps_c8 "%.0f"
row "Full handshakes/s, 64 clients" rps_c64 "%.0f"
row "Latency p50 ms, 1 client" p50_c1 "%.2f"
row "Latency p99 ms, 1 client" p99_c1 "%.2f"
row "Latency p50 ms, 64 clients" p50_c64 "%.2f"
row "Latency p99 ms, 64 clients" p99_c64 "%.2f"
row "Server CPU us/request, 1 client" cpu_c1 "%.0f"
row "Server CPU us/request, 8 clients" cpu_c8 "%.0f"
row "Server CPU us/request, 64 clients" cpu_c64 "%.0f"
row "50 MiB download MB/s, 1 client" mb_s_1 "%.0f"
row "50 MiB downloads MB/s, 8 at once" mb_s_8 "%.0f"
row "Resident MiB, idle" idle_mib "%.1f"
row "Resident MiB, peak during 8 downloads" peak8_mib "%.1f"
row "Resident MiB after 1,000 requests" rss1k_mib "%.1f"
row "Resident MiB after 10,000 requests" rss10k_mib "%.1f"
