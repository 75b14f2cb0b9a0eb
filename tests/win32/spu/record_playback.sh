#!/usr/bin/env bash
# Plays a test through Wine's DirectSound while parec records the PulseAudio null sink's monitor,
# then runs the analysis of what was recorded.
#   record_playback.sh WINE HARNESS.exe RECORDING.raw PLAY_SUITE ANALYSIS_SUITE
# for example SpuPlayback SpuRecording, or SpuSoak SpuSoakRecording.
# Needs the environment of tests/win32/wine-env.sh (DISPLAY, WINEPREFIX, PULSE_SERVER, ...).
set -u
wine=$1
harness=$2
raw=$3
play_suite=$4
analysis_suite=$5

if ! command -v parec >/dev/null 2>&1; then
    echo "record_playback.sh: parec not found (package pulseaudio-utils)" >&2
    exit 1
fi
if ! pactl list short sinks 2>/dev/null | grep -q '^[0-9]*[[:space:]]cap[[:space:]]'; then
    echo "record_playback.sh: no PulseAudio sink \"cap\"; source tests/win32/wine-env.sh and run wine_env_start win64" >&2
    exit 1
fi

# One playback, recorded and analysed; status 0 when both passed.
play_and_analyse() {
    rm -f "$raw"
    nice -n -10 parec -d cap.monitor --latency-msec=20 --format=s16le --rate=44100 --channels=2 \
        --raw >"$raw" &
    local parec_pid=$!
    # parec can take more than a second to connect and deliver its first data: nothing may
    # play before the recording really runs, or the start of the first sound is missing from it.
    local waited=0
    while [ ! -s "$raw" ] && [ "$waited" -lt 100 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if [ ! -s "$raw" ]; then
        kill "$parec_pid" 2>/dev/null
        wait "$parec_pid" 2>/dev/null
        echo "record_playback.sh: parec recorded nothing in 10 s" >&2
        return 1
    fi
    # Then let the recording stream settle.
    sleep 0.3

    # The plug-in's streaming thread asks for above-normal priority, which Wine cannot give it
    # on Linux without privileges; a machine busy compiling would then starve it for hundreds of
    # ms. Give the playing process the priority a desktop gives audio (as root; elsewhere nice
    # runs it as it is).
    nice -n -10 "$wine" "$harness" --gtest_filter="$play_suite.*"
    local play_rc=$?

    sleep 0.3
    kill "$parec_pid" 2>/dev/null
    wait "$parec_pid" 2>/dev/null

    if [ "$play_rc" -ne 0 ]; then
        echo "record_playback.sh: the playback run failed ($play_rc)" >&2
        return "$play_rc"
    fi
    echo "record_playback.sh: recorded $(stat -c %s "$raw") bytes into $raw"

    # Wine sees the Unix root as drive Z:. The analysis skips itself when it finds no
    # SPU_RECORDING: insist that it really ran.
    local log analyse_rc
    log=$(SPU_RECORDING="Z:$(printf '%s' "$raw" | tr '/' '\\')" \
        "$wine" "$harness" --gtest_filter="$analysis_suite.*" 2>&1)
    analyse_rc=$?
    printf '%s\n' "$log"
    [ "$analyse_rc" -eq 0 ] || return "$analyse_rc"
    if ! printf '%s\n' "$log" | grep -q 'PASSED.*1 test'; then
        echo "record_playback.sh: the analysis did not run" >&2
        return 1
    fi
}

# Wine's audio path now and then loses or inserts a few milliseconds on its own, on a busy
# machine more often: a failed run is played once more, and only a second failure counts. A
# fault of the plug-in's shows in both.
if play_and_analyse; then
    exit 0
fi
echo "record_playback.sh: the first run failed; playing once more to tell a fault from a glitch" >&2
play_and_analyse
