#!/usr/bin/env bash
# The real-host test: Debian's pcsxr emulator, headless under Xvfb on its HLE BIOS, boots our PS1
# test program from a CD image and drives the sound plug-in given here; SDL2 in the plug-in plays
# into a private PulseAudio null sink whose monitor is recorded.
#
#   run-pcsxr-test.sh PLUGIN_SO
#
# PLUGIN_SO is libspuTarn.so or libspuTarnExact.so; where the console's chip (spuTarnExact) gives
# other values, the check says what that chip gives and why.
#
# Run 1 plays the sequence and saves a state at the save point (the host's F1 key, sent with
# xdotool). Run 2 starts from that state (-load 1); the program reads back sound RAM and
# registers. Run 3 boots the CD audio disc (see there). analyse_recording measures the recordings
# of runs 1 and 3; data/printed.txt says what the program must print. Ends with "pcsxr: N passed,
# M failed" (", K skipped" when checks could not run); exit status 0 only when nothing failed.
#
#   PCSXR_TEST_DIR    work directory (default: build/pcsxr-test in the source tree)
#   PCSXR_TEST_NAME   the summary line's label (default: pcsxr)
#   PCSXR_TEST_AUDIO  auto (default: measure the recording when the plug-in links SDL2), yes, no
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 PLUGIN_SO (the Linux build of the sound plug-in)" >&2
    exit 2
fi
plugin=$(readlink -f "$1")
# spuTarnExact plays the console's chip on the host's clock: its figures differ (analyse_recording
# --exact), and run 3 holds it to more (no CD audio gap, the interrupt, the recordings, reverb).
exact=no chip=simple chip_flags=()
case "$(basename "$plugin")" in *Exact*) exact=yes chip=exact chip_flags=(--exact) ;; esac
work=${PCSXR_TEST_DIR:-$root/build/pcsxr-test}
host=/usr/games/pcsxr
host_plugins=/usr/lib/x86_64-linux-gnu/psemu
# The host's GPU, CD-image, pad and serial plug-ins, used as they are. libDFXVideo cannot start
# under Xvfb ("RGB & YUV not found"); the OpenGL one can. The host refuses to start without a
# serial-link plug-in.
borrowed=(libpeopsxgl.so libDFCdrom.so libDFInput.so libBladeSio1.so)

passed=0 failed=0 skipped=0
pass() { passed=$((passed + 1)); echo "PASS $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
check() {  # check NAME COMMAND...
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}
finish() {
    local line="${PCSXR_TEST_NAME:-pcsxr}: $passed passed, $failed failed"
    [ "$skipped" -gt 0 ] && line+=", $skipped skipped"
    echo "$line"
    [ "$failed" -eq 0 ]
    exit $?
}

for tool in "$host" Xvfb pulseaudio parec pactl xdotool genisoimage mipsel-linux-gnu-gcc g++ python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "run-pcsxr-test.sh: $tool not found (tools/ensure-packages.sh test installs it)" >&2
        fail "tools present"
        finish
    fi
done

rm -rf "$work"
mkdir -p "$work"
echo "pcsxr test: plug-in $plugin, work directory $work"

# --- Build: the CD image and the analyser -------------------------------------------------------
if ! "$here/build-image.sh" "$work/image" >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    fail "build the PS1 test program and its CD image"
    finish
fi
if ! g++ -std=c++17 -O2 -Wall -Wextra -Werror -I"$root/tests/win32/spu" \
    "$here/analyse_recording.cpp" "$root/tests/win32/spu/recording_analysis.cpp" \
    -o "$work/analyse_recording" >>"$work/build.log" 2>&1; then
    cat "$work/build.log"
    fail "build the recording analyser"
    finish
fi

audio=${PCSXR_TEST_AUDIO:-auto}
if [ "$audio" = auto ]; then
    if ldd "$plugin" | grep -q 'libSDL2'; then audio=yes; else audio=no; fi
    [ "$audio" = no ] && echo "pcsxr test: $plugin does not link SDL2 (no real audio output): the audio checks are skipped"
fi

# --- Desktop: Xvfb and a private PulseAudio with the null sink "cap" -----------------------------
source "$root/tests/env/desktop-env.sh"
host_pid= parec_pid= record_start= stop_at=
cleanup() {
    for pid in $host_pid $parec_pid; do kill -KILL "$pid" 2>/dev/null; done
    desktop_env_stop
}
trap cleanup EXIT
DESKTOP_ENV_ROOT="$work/desktop" desktop_env_start
export SDL_AUDIODRIVER=pulseaudio
# The machines that run this are often busy compiling: the host and the recorder get the
# priority a desktop gives audio (negative niceness works as root; elsewhere nice runs the
# command as it is).
boost=(nice -n -10)

# --- The host's home: configuration, plug-in links ----------------------------------------------
home="$work/home"
mkdir -p "$home/.pcsxr/plugins" "$home/.config"
for p in "${borrowed[@]}"; do ln -s "$host_plugins/$p" "$home/.pcsxr/plugins/$p"; done
ln -s "$plugin" "$home/.pcsxr/plugins/libspuTarn.so"
# The interpreter (Cpu = 1): with the recompiler a load state can stall.
cat >"$home/.pcsxr/pcsxr.cfg" <<EOF
Bios = HLE
Gpu = libpeopsxgl.so
Spu = libspuTarn.so
Cdr = libDFCdrom.so
Pad1 = libDFInput.so
Pad2 = libDFInput.so
Sio1 = libBladeSio1.so
Net = Disabled
Mcd1 = $home/card1.mcd
Mcd2 = $home/card2.mcd
PluginsDir = $home/.pcsxr/plugins/
BiosDir = $home/.pcsxr/bios/
Cpu = 1
PsxOut = 1
EOF

# --- Running the host ----------------------------------------------------------------------------
disc=$work/image/spu-test.iso
start_host() {  # start_host LOG [ARGS...]: stdout line-buffered so progress can be followed
    local log=$1
    shift
    : >"$log"
    HOME="$home" XDG_CONFIG_HOME="$home/.config" "${boost[@]}" stdbuf -oL "$host" -nogui -psxout "$@" \
        -cdfile "$disc" >"$log" 2>&1 &
    host_pid=$!
}
# Recording the null sink: parec can take over a second to connect, so the recording's clock
# starts with its first data.
start_recording() {  # start_recording FILE (none: no recording)
    [ "$audio" = yes ] && [ -n "$1" ] || return 0
    "${boost[@]}" parec -d cap.monitor --latency-msec=20 --format=s16le --rate=44100 --channels=2 --raw \
        >"$1" &
    parec_pid=$!
    for _ in $(seq 100); do [ -s "$1" ] && break; sleep 0.1; done
    record_start=$(date +%s.%N)
    sleep 0.3
}
stop_recording() {
    [ -n "$parec_pid" ] || return 0
    kill "$parec_pid" 2>/dev/null
    wait "$parec_pid" 2>/dev/null
    parec_pid=
}
# Counts an analysis's PASS, FAIL and SKIP lines.
tally() {  # tally LOG
    cat "$1"
    passed=$((passed + $(grep -c '^PASS' "$1")))
    failed=$((failed + $(grep -c '^FAIL' "$1")))
    skipped=$((skipped + $(grep -c '^SKIP' "$1")))
    grep -qE '^(PASS|FAIL)' "$1" || fail "recording analysed"
}
wait_for() {  # wait_for LOG TEXT SECONDS
    local i
    for i in $(seq $(($3 * 10))); do
        grep -qF "$2" "$1" && return 0
        kill -0 "$host_pid" 2>/dev/null || { grep -qF "$2" "$1"; return; }
        sleep 0.1
    done
    return 1
}
# The host's SIGINT handler closes the plug-ins and exits; a host still there after 10 s hangs.
stop_host() {  # stop_host RUN_NAME
    local i
    kill -INT "$host_pid" 2>/dev/null
    for i in $(seq 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$host_pid" 2>/dev/null; then
        kill -KILL "$host_pid" 2>/dev/null
        wait "$host_pid" 2>/dev/null
        fail "$1: host exits on SIGINT (killed after 10 s)"
    else
        wait "$host_pid" 2>/dev/null
        pass "$1: host exits on SIGINT"
    fi
    host_pid=
}
printed() { grep -qF "SPUT: $2" "$1"; }  # printed LOG TEXT

# The pad plug-in reads the keys of the GPU window: give that window the pointer, and so the
# focus, then press the host's save key (slot 0, which -load 1 loads). The host says when saved.
save_state() {  # save_state LOG
    local window attempt
    window=$(xdotool search --name '^PCSXR' | head -1)
    [ -n "$window" ] || return 1
    for attempt in 1 2 3 4 5; do
        xdotool mousemove --window "$window" $((16 + attempt)) 20 >/dev/null 2>&1
        xdotool windowfocus "$window" >/dev/null 2>&1
        sleep 0.2
        # The host looks at the keyboard once a frame: hold the key across a few frames.
        xdotool keydown F1 >/dev/null 2>&1
        sleep 0.15
        xdotool keyup F1 >/dev/null 2>&1
        wait_for "$1" "Saved state" 3 && { echo "      state saved after $attempt press(es) of F1"; return 0; }
    done
    return 1
}
at_save_window() { sleep 0.5; save_state "$1"; sleep 0.5; }  # the save-point note plays around it
# One host run: host_run NAME LOG RAW UNTIL SECONDS [HOST ARGS...] records into RAW (when audio
# is measured), waits until the program prints UNTIL, runs $at_until LOG then (when set), stops.
host_run() {
    local name=$1 log=$2 raw=$3 until=$4 seconds=$5
    shift 5
    start_recording "$raw"
    start_host "$log" "$@"
    wait_for "$log" "SPUT: $until" "$seconds" && [ -n "$at_until" ] && "$at_until" "$log"
    # When the host was told to stop, in seconds of the recording: nothing may sound long after it.
    [ -n "$parec_pid" ] && stop_at=$(awk -v now="$(date +%s.%N)" -v t0="$record_start" 'BEGIN { print now - t0 }')
    stop_host "$name"
    stop_recording
    echo "--- what the program printed in $name"
    grep 'SPUT:' "$log" | sed 's/^ *\* *//'
}
# A recorded run, judged by analyse_recording ARGS. On a machine too busy to emulate in real
# time the host stalls and catches up in bursts: the analysis then leaves what depends on the
# emulation's speed unjudged (SKIP). A run whose recording fails or is too slow to judge is played
# once more (as the Wine layer does); a fault shows in both, a busy machine's losses rarely twice.
# The attempt that counts (its log in logs[RUN]): the second, unless the first left fewer SKIPs.
judged_run() {  # judged_run RUN UNTIL SECONDS ARGS...
    local run=$1 until=$2 seconds=$3 attempt at
    shift 3
    for attempt in 1 2; do
        at=$work/run$run-$attempt
        host_run "run $run" "$at.log" "$at.raw" "$until" "$seconds"
        logs[$run]=$at.log
        [ "$audio" = yes ] || return 0
        "$work/analyse_recording" "$@" "$at.raw" $stop_at >"$at.analysis" 2>&1 &&
            ! grep -q '^SKIP' "$at.analysis" && break
        [ "$attempt" = 2 ] && break
        sed -E 's/^(PASS|FAIL|SKIP)/      first attempt: \1/' "$at.analysis"
        echo "      the recording failed or was too slow to judge (load average" \
            "$(cut -d' ' -f1 /proc/loadavg) on $(nproc) cores); playing run $run once more"
    done
    at=$work/run$run
    [ "$attempt" = 2 ] && [ "$(grep -c '^SKIP' "$at-1.analysis")" -lt \
        "$(grep -c '^SKIP' "$at-2.analysis")" ] && attempt=1 && logs[$run]=$at-1.log
    echo "--- the recording of run $run (attempt $attempt)"
    tally "$at-$attempt.analysis"
}

# --- Run 1: the sequence (ps1/notes.c), then a state saved at the save point ----------------------
state="$home/.pcsxr/sstates/SPUTEST-SPUTESTEX.000"
at_until=at_save_window judged_run 1 "save window" 90 "${chip_flags[@]}"
check "run 1: state saved at the save point" test -s "$state"
# The console's chip: release rate 10 is linear, -8 << (11 - 10) = -16 a tick from 0x3FFF, and
# the clock voice (attack rate 60) reads 7 * (k / 16) after k ticks: the two must agree within
# one of the clock's 16-tick steps. spuTarn: release rate 10 from 0xEFFFF0 falls by 7744 per
# sample; the clock voice, keyed on with the key off, has risen by 260 per sample: after k samples
# it reads (260 k) >> 8 and voice 0 reads (0xEFFFF0 - 7744 k) >> 8.
release_agrees() {
    local k
    set -- $(grep -o 'SPUT: A release envx 0x[0-9a-f]* clock 0x[0-9a-f]*' "${logs[1]}") &&
        [ $# -eq 7 ] || return 1
    local envx=$(($5)) clock=$(($7))
    if [ "$exact" = yes ]; then
        k=$(((0x3FFF - envx) / 16))
        echo "      A release: envelope $envx after $k ticks; clock $clock," \
            "7 * ($k / 16) = $((7 * (k / 16)))"
        [ $(((0x3FFF - envx) % 16)) -eq 0 ] && [ $((7 * (k / 16) - clock)) -le 7 ] &&
            [ $((clock - 7 * (k / 16))) -le 7 ]
        return
    fi
    for k in $(seq $(((256 * clock + 259) / 260)) $(((256 * (clock + 1) + 259) / 260 - 1))); do
        if [ $(((0xEFFFF0 - 7744 * k) >> 8)) -eq "$envx" ]; then
            echo "      A release: envelope $envx after $k samples, as (0xEFFFF0 - 7744 * $k) >> 8"
            return 0
        fi
    done
    echo "      A release: envelope $envx does not match the clock's $clock"
    return 1
}
check "A: release falls at release rate 10" release_agrees

# --- Run 2: from the saved state -----------------------------------------------------------------
logs[2]="$work/run2.log"
if [ -s "$state" ]; then
    at_until= host_run "run 2" "${logs[2]}" "" done 60 -load 1
    # The program did not start again: it ran on from the save point, in the loaded state. On
    # the console's chip the state holds the voices too, so the program cannot see the load: it
    # reads back when its 15 s window ends, which run 1 never reached.
    resumed="SPUT: resumed from saved state"
    [ "$exact" = yes ] && resumed="SPUT: save window passed"
    check "run 2: resumed from the state, not booted" bash -c '! grep -qF "SPUT: start" "$2" &&
        grep -qF "$0" "$2" && ! grep -qF "$0" "$1"' "$resumed" "${logs[1]}" "${logs[2]}"
else
    fail "run 2: no saved state to start from"
fi

# --- Run 3: the CD audio disc ----------------------------------------------------------------------
# The program plays the disc's XA stereo and mono channels and its CD-DA track (ps1/cd_audio.c),
# then reverb notes, the interrupt and the console's recorded checks. The sound device gets a
# 93 ms buffer (SoundBufferSize 32 KiB instead of 8) as the README advises for a busy machine:
# this run is about CD audio, and the other helpers' compilers otherwise starve the device now
# and then. The CD audio ring keeps its default size.
disc=$work/image/spu-cd.cue
settings_dir=$home/.config/$(basename "$plugin" .so | sed "s/^lib//")
mkdir -p "$settings_dir"
printf 'SoundBufferSize=32\n' >"$settings_dir/settings"
at_until= judged_run 3 done 40 --cd "${chip_flags[@]}"
# The console checks the program replayed (ps1/replay.c), judged by the recordings' own checker
# as the chip's unit tests judge them (tests/recordings: capture samples within 1 LSB).
recordings=${PCSXR_TEST_RECORDINGS:-$root/../shared/hardware/recordings}
if [ "$exact" = yes ] && [ -f "$recordings/check_recordings.py" ]; then
    rm -rf "$work/rec" && mkdir -p "$work/rec"
    grep -o 'SPUT: rec .*' "${logs[3]}" | while read -r _ _ name kind values; do
        [ "$kind" = ring ] || [ "$kind" = envx ] && printf '%s\n' $values >>"$work/rec/$name.txt"
    done
    names=$(ls "$work/rec" | sed 's/\.txt$//')
    printf '#!/bin/sh\ncat "%s/$1.txt"\n' "$work/rec" >"$work/render.sh"
    chmod +x "$work/render.sh"
    python3 "$recordings/check_recordings.py" --pcm-tolerance 1 -j 1 $(printf -- '--only %s ' $names) \
        "$work/render.sh" >"$work/recordings.log" 2>&1
    cat "$work/recordings.log"
    check "recordings: all replayed" \
        test "$(echo $names | wc -w)" -eq "$(tail -1 "$here/data/replayed-checks.txt" | wc -w)"
    for name in $names; do
        check "recording $name matches the console" \
            grep -qE "^${name//./\\.} +[a-z]+ +[0-9]+ +[0-9]+ +[0-9]+ +pass" "$work/recordings.log"
    done
fi

# --- What the program printed in the three runs (data/printed.txt) --------------------------------
while IFS='|' read -r key name text; do
    set -- $key
    [ "$1" = both ] || [ "$1" = "$chip" ] || continue
    check "$name" printed "${logs[$2]}" "$text"
done < <(grep -v '^#' "$here/data/printed.txt")
if [ "$audio" != yes ]; then
    skipped=$((skipped + 1))
    echo "SKIP the recordings' pitches, levels and continuity (no audio output in this plug-in)"
fi
finish
