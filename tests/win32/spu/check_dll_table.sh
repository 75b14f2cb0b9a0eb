#!/usr/bin/env bash
# Checks the built spuTarn.dll as a host's loader and a user's machine see it:
#  - exactly the 32 undecorated names, each at the ordinal the plug-in interface gives it (2..33);
#  - imports from Windows system DLLs only (no libgcc, libstdc++ or winpthread DLL to ship).
#   check_dll_table.sh OBJDUMP spuTarn.dll
set -u
objdump=$1
dll=$2

dump=$("$objdump" -p "$dll") || { echo "cannot read $dll" >&2; exit 1; }

expected="PSEgetLibType PSEgetLibName PSEgetLibVersion SPUconfigure SPUabout SPUinit SPUshutdown
SPUtest SPUopen SPUclose SPUplayADPCMchannel SPUwriteRegister SPUreadRegister SPUregisterCallback
SPUgetOne SPUputOne SPUplaySample SPUsetAddr SPUsetPitch SPUsetVolumeL SPUsetVolumeR
SPUstartChannels1 SPUstartChannels2 SPUstopChannels1 SPUstopChannels2 SPUplaySector SPUwriteDMA
SPUreadDMA SPUregisterCDDAVolume SPUwriteDMAMem SPUreadDMAMem SPUfreeze"

# "Export Address Table -- Ordinal Base 2", then "[Ordinal/Name Pointer] Table" lines of the form
# "[  idx] Name", where the ordinal is idx + base.
actual=$(printf '%s\n' "$dump" | awk '
    /^Export Address Table -- Ordinal Base/ { base = $NF }
    /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
    names && /^[[:space:]]*\[/ { gsub(/[\[\]]/, " "); print $1 + base, $2; next }
    names && !/^[[:space:]]*\[/ { names = 0 }
' | sort -n)

failures=0
ordinal=2
for name in $expected; do
    if ! printf '%s\n' "$actual" | grep -qx "$ordinal $name"; then
        echo "FAIL: $name is not exported at ordinal $ordinal" >&2
        failures=$((failures + 1))
    fi
    ordinal=$((ordinal + 1))
done
count=$(printf '%s\n' "$actual" | grep -c .)
if [ "$count" -ne 32 ]; then
    echo "FAIL: $count exported names, expected 32:" >&2
    printf '%s\n' "$actual" >&2
    failures=$((failures + 1))
fi

allowed="ADVAPI32.DLL DSOUND.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL WINMM.DLL"
imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/ { print toupper($3) }' | sort -u)
for dll_name in $imports; do
    case " $allowed " in
        *" $dll_name "*) ;;
        *) echo "FAIL: imports $dll_name, not a Windows system DLL" >&2
           failures=$((failures + 1)) ;;
    esac
done
echo "exports: $count names at ordinals $(printf '%s\n' "$actual" | head -1 | cut -d' ' -f1)..$(printf '%s\n' "$actual" | tail -1 | cut -d' ' -f1); imports: $(echo $imports)"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "export table and imports as expected"
