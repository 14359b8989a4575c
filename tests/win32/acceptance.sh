#!/usr/bin/env bash
# vexsrv.exe whole, under wine: installed and started through the service
# control manager, it discovers simulated printers (printer-sim, a Linux
# program in the same private network namespace) and writes the known printer
# list; in automatic mode it creates their queues through winspool with the
# installer stand-in (setup.exe of the package samplepkg.exe lays), each with
# the port the monitor stand-in (zantornpmon.exe, over RPC) returned; control
# 130 rolls its trace; "Discover" is answered over the named pipe; -remove
# takes the service off the machine. ctest runs it inside scripts/test-mingw's
# namespace, beside its wineserver.
#   tests/win32/acceptance.sh WINDOWS-BIN-DIR HOST-BIN-DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: acceptance.sh WINDOWS-BIN-DIR HOST-BIN-DIR" >&2; exit 2; }
bin=$1
host=$2
: "${WINEPREFIX:?the wine prefix of the run}"
export WINEDEBUG=${WINEDEBUG:--all}
work_win='C:\ambrel-acceptance\'
work=$WINEPREFIX/drive_c/ambrel-acceptance
kpl_win="${work_win}vexkpl.dat"
settings='SOFTWARE\Zantor Printing Systems\Zantor Ambrel'

vexsys() { wine "$bin/vexsys.exe" "$@" | tr -d '\r'; }
fail() {
    echo "FAILED: $*" >&2
    [ -f "$work/vexsrv.log" ] && tail -n 40 "$work/vexsrv.log" >&2
    exit 1
}
# wait_for SECONDS WHAT COMMAND...: polls the command until it succeeds.
wait_for() {
    local limit=$1 what=$2
    shift 2
    local end=$((SECONDS + limit))
    while [ "$SECONDS" -lt "$end" ]; do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    fail "$what: not within $limit s"
}
listed() { [ "$(vexsys kpl "$kpl_win" 2>/dev/null | grep -c "$1")" -ge "$2" ]; }

rm -rf "$work"
mkdir -p "$work"
vexsys reg set HKLM "$settings" 'Working directory' REG_SZ "$work_win"
vexsys reg set HKLM "$settings\\Trace" 'Service trace on' REG_DWORD 1
# No roll by size: only control 130 rolls the trace here.
vexsys reg set HKLM "$settings\\Trace" 'Service trace wrap on' REG_DWORD 0
# Automatic mode: a queue for every new printer that may print from here.
vexsys reg set HKLM "$settings\\Settings" 'Op Mode' REG_DWORD 0
echo "== the sample driver package"
wine "$bin/samplepkg.exe" | tr -d '\r'

sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -n "${monitor_pid:-}" ] && kill "$monitor_pid" 2>/dev/null
    wait 2>/dev/null || true
    vexsys service stop ZANTOR_AMBREL >/dev/null 2>&1 || true
    wine "$bin/vexsrv.exe" -remove >/dev/null 2>&1 || true
}
trap cleanup EXIT

# The printers come first: they share the SSDP port with the service, and
# Linux shares a port only when its first holder allowed it, as the
# service's listener (which takes the port alone when it is free) does not.
echo "== two announcing printers, one answering searches only"
"$host/printer-sim" --count 2 --first 127.0.0.2 --interval 5 --uuid-prefix win-laser &
sims+=($!)
"$host/printer-sim" --first 127.0.0.9 --no-announce --http-port 8081 --print-port 9101 \
    --uuid-prefix win-quiet &
sims+=($!)
# Windows starts its spooler with the machine; wine's is started on demand.
vexsys service start Spooler >/dev/null
wait_for 30 "the spooler runs" bash -c "wine '$bin/vexsys.exe' service query Spooler | grep -q RUNNING"

echo "== the port monitor's stand-in"
monitor='Zantor TCP/IP Network Port'
# The monitor is installed as the maker's would be: its file, the package's,
# in the system directory and its registration. The service's own
# installation (AddMonitor) cannot take the stand-in, which is a program and
# not a monitor DLL; it finds the same version installed and leaves it.
cp "$work/Files/p/n/zantornpmon.dll" "$WINEPREFIX/drive_c/windows/system32/zantornpmon.dll"
vexsys reg set HKLM "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\$monitor" Driver REG_SZ \
    zantornpmon.dll >/dev/null
wine "$bin/zantornpmon.exe" --host "$monitor" >"$work/zantornpmon.out" 2>&1 &
monitor_pid=$!
wait_for 60 "the monitor serves its interface" grep -q ready "$work/zantornpmon.out"

echo "== vexsrv.exe -install, -start"
wine "$bin/vexsrv.exe" -install
wine "$bin/vexsrv.exe" -start
running() { vexsys service query ZANTOR_AMBREL | grep -q 'RUNNING'; }
wait_for 30 "the service runs" running
wait_for 60 "the service listens for announcements" grep -q 'Listening on port 1900' "$work/vexsrv.log"

wait_for 60 "both announcing printers in the list file" listed win-laser 2
wait_for 120 "both announcing printers created" listed 'win-laser.*Vex=added' 2
vexsys kpl "$kpl_win"
echo "== their queues and ports"
overview=$(vexsys overview)
echo "$overview"
vexsys printer list
ports=$(vexsys port list)
echo "$ports"
# Each queue prints to a port that the monitor returned over RPC (its name,
# traced by the service) and that the spooler lists.
returned=$(grep -c 'Port monitor return code was 0' "$work/vexsrv.log" || true)
[ "$returned" -ge 2 ] || fail "the monitor answered $returned creations, not 2"
for addr in 127.0.0.2 127.0.0.3; do
    port=$(vexsys printer list | grep -o "port=[^[:space:]]*$addr[^[:space:]]*" | head -n 1)
    [ -n "$port" ] || fail "no queue prints to a port of $addr"
    grep -q "^${port#port=}"$'\t' <<<"$ports" || fail "the spooler lists no port ${port#port=}"
done

echo "== control 130 rolls the trace"
[ ! -e "$work/vexsrv.log.prev" ] || fail "the trace was rolled before control 130"
vexsys service control ZANTOR_AMBREL 130
wait_for 30 "the rolled trace" test -s "$work/vexsrv.log.prev"

echo "== vexsys command Discover over the named pipe"
answer=$(vexsys command Discover) || fail "Discover: $answer"
echo "$answer"
wait_for 60 "the printer found by the search in the list file" listed win-quiet 1
vexsys kpl "$kpl_win"

echo "== vexsys service stop, vexsrv.exe -remove"
vexsys service stop ZANTOR_AMBREL
wine "$bin/vexsrv.exe" -remove
if vexsys service query ZANTOR_AMBREL >/dev/null 2>&1; then
    fail "the service is still installed after -remove"
fi
echo "== passed"
