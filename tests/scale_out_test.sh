#!/usr/bin/env bash
# Two `pelkctl serve` instances sharing a session key behind HAProxy (round
# robin), every process on 127.0.0.1 with free ports: calls through the proxy
# succeed, one session cookie is honoured by both instances, and calls go on
# after one instance is killed. Everything started is killed on exit.
#   tests/scale_out_test.sh PELKCTL
set -euo pipefail
pelkctl=$1
command -v haproxy >/dev/null || { echo "FAIL: haproxy is not installed; run scripts/setup.sh" >&2; exit 1; }

work=$(mktemp -d)
pids=()
finish() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  { wait || true; } 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do echo "== $log" && cat "$log"; done >&2
  exit 1
}

head -c 32 /dev/urandom >"$work/session.key"
echo "alice password $(printf secret | sha256sum | cut -d' ' -f1)" >"$work/users"

# Starts instance $1 on a free port, which it leaves in $port.
start_instance() {
  "$pelkctl" serve --plain --listen 127.0.0.1:0 --users "$work/users" --session-key "$work/session.key" \
    >"$work/$1.out" 2>"$work/$1.log" &
  pids+=($!)
  for _ in $(seq 300); do
    port=$(sed -n 's|^listening on http://127.0.0.1:\([0-9]*\)/pelk$|\1|p' "$work/$1.out")
    [ -n "$port" ] && return
    sleep 0.1
  done
  fail "instance $1 did not start"
}
start_instance a && port_a=$port
start_instance b && port_b=$port
front=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

cat >"$work/haproxy.cfg" <<EOF
global
  maxconn 64
defaults
  mode http
  timeout connect 1s
  timeout client 10s
  timeout server 10s
  timeout check 5s
  retries 3
  option redispatch 1
  retry-on conn-failure empty-response response-timeout
frontend pelk
  bind 127.0.0.1:$front
  default_backend instances
backend instances
  balance roundrobin
  option httpchk GET /pelk/versions
  default-server check inter 300ms fall 3 rise 1
  server a 127.0.0.1:$port_a
  server b 127.0.0.1:$port_b
EOF
haproxy -db -f "$work/haproxy.cfg" >"$work/haproxy.log" 2>&1 &
pids+=($!)
proxy=http://127.0.0.1:$front/pelk
for _ in $(seq 50); do
  curl -sf --max-time 2 "$proxy/versions" >/dev/null && break
  sleep 0.1
done

# The health summary, as a client program calls it (credentials every time).
summary() {
  PELK_USER=alice PELK_PASSWORD=secret timeout 30 "$pelkctl" call --url "$proxy" \
    PelkZovClusterHealthSystem:PelkZovClusterHealthSystem-1 queryClusterHealthSummary \
    cluster=ClusterComputeResource:domain-c1 >"$work/summary.json" || fail "pelkctl call through the proxy: $?"
}
# The same call by hand, with curl's further options $@; fails unless answered 200.
call() {
  local request='{"_method":"PelkQueryZovClusterHealthSummary","_this":{"_typeName":"ManagedObjectReference",'
  request+='"type":"PelkZovClusterHealthSystem","value":"PelkZovClusterHealthSystem-1"},"cluster":{'
  request+='"_typeName":"ManagedObjectReference","type":"ClusterComputeResource","value":"domain-c1"}}'
  local status
  status=$(curl -s --max-time 10 -o "$work/answer" -w '%{http_code}' -H 'Content-Type: application/json' \
    -H 'X-Pelk-Version: pelk.version.version25' --data-binary "$request" "$@" "$proxy")
  [ "$status" = 200 ] || fail "call $* answered $status: $(cat "$work/answer")"
}
calls_of_alice() { grep -c 'principal=alice ok' "$work/$1.log" || true; }

summary && summary
grep -q '"overallHealth"' "$work/summary.json" || fail "no summary: $(cat "$work/summary.json")"

# One authentication, then calls carrying only the cookie, on both instances.
call -u alice:secret -c "$work/cookies"
grep -q pelk_session "$work/cookies" || fail "no session cookie"
before_a=$(calls_of_alice a) before_b=$(calls_of_alice b)
for _ in 1 2 3 4; do call -b "$work/cookies"; done
[ $(($(calls_of_alice a) - before_a)) -ge 1 ] && [ $(($(calls_of_alice b) - before_b)) -ge 1 ] ||
  fail "the cookie-only calls did not reach both instances"

# One instance dies: the proxy takes the calls to the other.
kill -9 "${pids[0]}"
{ wait "${pids[0]}" || true; } 2>/dev/null
for _ in 1 2 3 4; do call -b "$work/cookies"; done
summary
