#!/usr/bin/env bash
# Starts the program against two emulated instruments: the Lumatrix read-out unit as Com 1 and
# the Quorvane flow unit as Com 2. Run scripts/setup.sh and scripts/build.sh first.
# With --no-emulators the program talks only to the ports that are really there.
set -euo pipefail
emulate=1
if [[ ${1:-} == --no-emulators ]]; then
    emulate=0
fi
cd "$(dirname "$0")/.."

program=build/src/app/instrument-manager
sim=build/sim/instrument-sim
links=/tmp/instrument-manager

if [[ ! -x $program ]]; then
    echo "run.sh: $program is missing; run scripts/build.sh first." >&2
    exit 1
fi
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    echo "run.sh: no graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "The Instrument Manager is a desktop program: run this from a desktop session," >&2
    echo "or connect with 'ssh -X' so that DISPLAY is set." >&2
    exit 1
fi

pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}
trap cleanup EXIT

if [[ $emulate == 0 ]]; then
    :
elif [[ -x $sim ]]; then
    mkdir -p "$links"
    "$sim" --kind lumatrix --link "$links/lumatrix" --com 1 >/dev/null &
    pids+=($!)
    "$sim" --kind quorvane --link "$links/quorvane" --com 2 >/dev/null &
    pids+=($!)
    # The links appear once the emulators have their terminals.
    for _ in $(seq 50); do
        [[ -e $links/lumatrix && -e $links/quorvane ]] && break
        sleep 0.1
    done
    export SERIAL_COM1="$links/lumatrix" SERIAL_COM2="$links/quorvane"
    echo "Emulators: Lumatrix on Com 1 ($SERIAL_COM1), Quorvane on Com 2 ($SERIAL_COM2)."
else
    echo "run.sh: $sim is missing; starting without emulated instruments." >&2
fi

"$program"
