#!/usr/bin/env bash
# The main job: build, start a simulated cluster on a free local port, and
# talk to it over HTTPS with pelkctl as a client program would. The simulator
# is stopped at the end, whatever happens.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release --target pelkctl
pelkctl=build/bin/pelkctl

work=$(mktemp -d)
server=
stop() {
  if [ -n "$server" ]; then
    kill -INT "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop EXIT

"$pelkctl" serve --listen 127.0.0.1:0 --seed 7 --task-seconds 3 >"$work/server.out" 2>"$work/calls.log" &
server=$!
for _ in $(seq 100); do
  grep -q '^listening on' "$work/server.out" && break
  sleep 0.1
done
url=$(sed -n 's/^listening on //p' "$work/server.out")
thumbprint=$(sed -n 's/.*SHA-256 thumbprint //p' "$work/server.out")
[ -n "$url" ] || { cat "$work/server.out" "$work/calls.log"; exit 1; }
export PELK_URL=$url
echo "A simulated cluster serves at $url (a throw-away certificate, SHA-256 $thumbprint)."

show() {
  echo
  echo "\$ pelkctl $*"
  "$pelkctl" "$@"
}

show describe qor.cluster.PelkZovClusterHealthSystem.queryClusterHealthSummary
show call PelkZovClusterHealthSystem:PelkZovClusterHealthSystem-1 queryClusterHealthSummary \
  cluster=ClusterComputeResource:domain-c1 --thumbprint "$thumbprint" --pretty >"$work/summary.json"
head -25 "$work/summary.json"
echo "  ... ($(wc -l <"$work/summary.json") lines in all)"
# A method that returns a task, followed to its end.
show call HostSystem:host-1 enterMaintenanceMode timeout=60 --wait --thumbprint "$thumbprint"
show get HostSystem:host-2 name --thumbprint "$thumbprint"
# A fault: the object is not in the inventory (exit code 1).
show call HostSystem:host-9 enterMaintenanceMode timeout=60 --thumbprint "$thumbprint" || echo "(exit code $?)"

# The documents of that last call, as the two encodings carry them.
call='{"_method":"EnterMaintenanceMode_Task","_this":{"_typeName":"ManagedObjectReference","type":"HostSystem","value":"host-9"},"timeout":60}'
echo
echo "The call in JSON, then in XML:"
echo "$call"
echo "$call" | "$pelkctl" encode --request --pretty
echo
echo "What the simulator logged, one line per call:"
cat "$work/calls.log"
