#!/usr/bin/env bash
# Builds the host runner and shows a few cvlsetup command lines run against
# the simulated Windows 7 machine in examples/machines/win7-x64. Nothing on
# this machine is changed; every wait is virtual.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset host >/dev/null
cmake --build --preset host --target cvlsetup-host

machine=examples/machines/win7-x64
saved=$(mktemp -d)
trap 'rm -rf "$saved"' EXIT

show() {
    echo
    echo "\$ cvlsetup-host $*"
    # The runner's status is cvlsetup's exit code, which it also prints.
    build/cvlsetup-host "$@" || true
}

show --machine "$machine" -- /hwscan
show --machine "$machine" -- /rp
show --machine "$machine" -- /vistab701
show --machine "$machine" -- /bogus
# The driver package: its version recorded, the installed one offered again
# (exit code 12), a newer one installed.
show --machine "$machine" -- /q /vistab701 /f 'drivers\win7\netcvl.inf'
show --machine "$machine" -- /i /vistab701 /f 'drivers\win7\netcvl.inf'
show --machine "$machine" -- /i /vistab701 /f 'drivers\win7-2017\netcvl.inf'
# The adapters of the image: a PCI-Express B702 and a USB B762.
show --machine "$machine" -- /dnicdrv /b702
show --machine "$machine" -- /denicdrv /nicid "{8E3C1D42-6A5B-4C7E-9F21-0B7C3A5D9E14}"
show --machine "$machine" -- /setwolreg /vistab701 /spn wol_setting /spv wol_mag_only /spn "*JumboPacket" /spv 9014
show --machine "$machine" -- /qdev 1f3a b702 6
# Uninstalls: the PCI-Express adapter with its published INF, then the USB
# adapter; a second uninstall of the same family finds nothing more to do.
show --machine "$machine" --save "$saved/uninstalled" -- /u /b702
show --machine "$saved/uninstalled" -- /u /b702
show --machine "$machine" -- /u /vistab762
# An install saved, then the uninstall that takes it back.
show --machine "$machine" --save "$saved/installed" -- /i /vistab701 /f 'drivers\win7-2017\netcvl.inf'
show --machine "$saved/installed" -- /u /vistab701
# A run whose changed machine is saved, and a second run on the saved one.
show --machine "$machine" --save "$saved/after" -- /chknicexist /vistab701
show --machine "$saved/after" -- /qdev 1f3a b701 01
