"""The scenarios whose outcome depends on the Windows generation, run with
Wine reporting each generation it can (see generations.py) and compared with
the simulated machine set to the same version.

Where Wine differs from Windows on these generations, and what the scenarios
do about it (each difference is named again beside the run it touches):

- Program start: Wine supplies on every version what Windows 9x and NT 4 lack
  (the Unicode calls, newdev.dll, the CM_*_Ex calls) and does not check the
  PE subsystem version, so these runs show the program's branches, not that
  it starts on those systems.
- Registry deletion: Wine deletes a key by the NT rule on every version (a
  key with subkeys stays); Windows 95, 98 and Me delete it with its subkeys.
  The Windows 98 preparation's "DEL RET" therefore differs when the adapter's
  key has subkeys; the harness's key has none.
- Installation sources: Wine ends the process in SetupRemoveFromSourceListW;
  the Windows Me uninstall of the B760 family calls it to take the recorded
  folder off the list, so its scenarios start without "SourcePath" (Windows
  takes the folder off the list; the host tests cover it).
- Device removal: Wine's DIF_REMOVE deletes the device's keys itself, so the
  key deletion that follows it on Windows 9x and NT 4 fails under Wine; on
  Windows it deletes the keys the class installer left.
"""

import os

import generations
import registry_file
from install_scenarios import (DRIVERS_DIR, EXAMPLE_INF, PACKAGE_VERSION, InstallMachine,
                               example_package, setup_values)
from device_scenarios import log_lines
from scenarios import APP_DIR, LOG_NAME, ROOT_LOG, Outcome, log_of


def other_log_path(context):
    """The place the log must not be written on this generation."""
    if context.generation.kind == generations.ROOT_LOG_KIND:
        return APP_DIR + "\\" + LOG_NAME
    return ROOT_LOG


def start_up(context):
    """The log's place, the compatibility registration and the "/vdevq2dp"
    rule: "/hwscan" logs at \\INST.TXT on 98 and in the current folder
    elsewhere, and registers the program's path on NT 6.1 and later only;
    "/q" logs the virtual-device INF only where "/vdevq2dp" is kept."""
    kind = context.generation.kind
    outcome = context.run_under_wine(["/hwscan"])
    registered = 1 if kind in generations.REGISTERS_COMPATIBILITY else None
    context.expect_equal(outcome, Outcome(0, log_of("Scan Hardware Change...", "Exit code: = 0"),
                                          registered, None), "/hwscan")
    context.compare_with_simulation(["/hwscan"], outcome)
    elsewhere = other_log_path(context)
    context.expect(not os.path.exists(context.prefix.host_path(elsewhere)), "no log at " + elsewhere)

    machine = InstallMachine(context, [], example_package())
    args = ["/q", "/vistab701", "/vdevq2dp", "/f", "drivers\\" + EXAMPLE_INF]
    outcome, calls, _ = machine.install(args, setup_values("VISTA_B701", "NewDrvVer"))
    vdev = [DRIVERS_DIR + r"\Cvlhvdev.inf"] if kind in generations.KEEPS_VDEV_Q2DP else []
    context.expect_equal(log_lines(outcome),
                         ["The file path...", DRIVERS_DIR, DRIVERS_DIR + "\\" + EXAMPLE_INF] +
                         vdev + ["Exit code: = 0"], "the log of " + " ".join(args))
    context.expect_equal(outcome.values, ((registry_file.REG_SZ, PACKAGE_VERSION),), "NewDrvVer")
    context.expect_equal(calls, [], "update calls")


def all_scenarios(bits):
    """(name, scenario) of the generation scenarios of the `bits` program."""
    del bits  # the same scenarios for both programs
    return [("start-up", start_up)]
