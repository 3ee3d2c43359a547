"""Where the program takes its code from. It runs with administrator rights
from folders others can write to, so a DLL left beside it, in the current
folder or in the temporary folder must never be mapped: the program imports
only known system DLLs and loads every other library by its full path in the
system folder.

Wine takes its own builtin DLLs unless told otherwise; with "name=n,b" it
looks for a DLL of that name the way Windows does, the program's folder
first. Every scenario here runs with such overrides for each planted name,
so that a planted DLL is found wherever Windows would find it."""

import os

import uninstall_scenarios as un
from device_scenarios import log_lines
from install_scenarios import (EXAMPLE_INF, STATUS_VALUES, VISTA_B701_IDS, InstallMachine,
                               b702_adapter, example_package, package_args)
from scenarios import APP_DIR

MARKS = r"C:\cvl-marks"
ERROR_PROC_NOT_FOUND = 127
# The libraries cvlsetup.exe loads that are not known system DLLs on every
# Windows it runs on (Wine's +loaddll trace lists what it maps), and
# devobj.dll, which Windows 7's setupapi.dll maps. Left out: version.dll,
# which Wine's own user32.dll imports. Wine, which has no known system DLLs,
# looks for it beside the program while it loads the program's imports,
# before the program's first line; Windows' user32.dll imports only known
# system DLLs.
PLANTED_NAMES = ("newdev", "cfgmgr32", "setupapi", "devobj")


def plant(context):
    """planted.dll under each name beside the program and in the temporary
    folders."""
    with open(context.test_dlls["planted"], "rb") as file:
        planted = file.read()
    folders = [context.prefix.host_path(APP_DIR)] + context.prefix.temporary_folders()
    for folder in folders:
        for name in PLANTED_NAMES:
            with open(os.path.join(folder, name + ".dll"), "wb") as file:
                file.write(planted)
    return folders


def marks(context):
    """The places a planted DLL was mapped from since the last look."""
    folder = context.prefix.host_path(MARKS)
    found = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    for name in found:
        os.remove(os.path.join(folder, name))
    return found


def planted_libraries(context):
    """DLLs left beside the program and in the temporary folder are never
    mapped, for an install, a rescan, a device query and a switch-off; each
    run ends as on
    the simulated machine, which has no such files."""
    adapter = b702_adapter("8.44.101.2015")
    machine = InstallMachine(context, [adapter], example_package())
    machine.searched_dlls = tuple(name for name in PLANTED_NAMES
                                  if name not in ("newdev", "cfgmgr32"))
    folders = plant(context)
    context.expect(len(folders) >= 2, "a temporary folder to plant into: %r" % folders)
    # The install first: it leaves the adapter running, as the mirror
    # machine of every run starts; the switch-off last.
    for args in (package_args("/vistab701"), ["/hwscan"], ["/qdev", "1f3a", "b702", "6"],
                 ["/dnicdrv", "/b702"]):
        outcome, _, _ = machine.install(args)
        context.notes.append("%s: exit code %d" % (" ".join(args), outcome.exit_code))
        context.expect_equal(marks(context), [], "planted DLLs mapped by " + " ".join(args))


def planted_libraries_and_the_uninstaller(context):
    """The uninstaller, whose second stage runs from a copy in the temporary
    folder, beside the DLLs planted there: neither stage maps one, the
    program deletes itself, and the run ends as on the simulated machine."""
    plants = [un.adapter_plants(un.b702_adapter())]
    family = un.VISTA_B701
    setup_state, status, *entry = un.install_records(family.subkey, family.status, family.entry,
                                                     False)
    machine = un.UninstallMachine(context, plants, [setup_state, status] + entry,
                                  family.descriptions, un.ALL_DLLS)
    machine.searched_dlls = PLANTED_NAMES
    plant(context)
    outcome = machine.uninstall(un.UNINSTALLER + [family.switch])
    context.expect_equal((outcome.exit_code, outcome.program, outcome.temp_left), (0, False, False),
                         "(exit code, the program there, a temporary copy left)")
    context.expect_equal(marks(context), [], "planted DLLs mapped by the uninstaller")


def missing_update_function(context):
    """A newdev.dll in the system folder without
    UpdateDriverForPlugAndPlayDevicesW: every update fails with
    ERROR_PROC_NOT_FOUND and the install goes on as for any update failure,
    as on the simulated machine whose update call fails with that error."""
    machine = InstallMachine(context, [], example_package())
    context.prefix.replace_system_dll(context.test_dlls["planted"], "newdev.dll")
    machine.fail_with = ERROR_PROC_NOT_FOUND  # the mirror machine only
    outcome, calls, _ = machine.install(package_args("/vistab701", EXAMPLE_INF, "/ncfi"),
                                        STATUS_VALUES[:1])
    context.expect_equal(calls, [], "update calls that reached the test newdev.dll")
    lines = log_lines(outcome)
    context.expect_equal(sum(line.startswith("Installing  = ") for line in lines),
                         len(VISTA_B701_IDS), "ids tried")
    context.notes.append("exit code %d; after the first id: %r" % (
        outcome.exit_code, lines[lines.index("Installing  = '%s'" % VISTA_B701_IDS[0]) + 1]))
    context.expect_equal(len(marks(context)), 1, "the system folder's newdev.dll mapped once")


def all_scenarios():
    return [("planted libraries are never loaded", planted_libraries),
            ("planted libraries and the self-deleting uninstaller",
             planted_libraries_and_the_uninstaller),
            ("update function missing from newdev.dll", missing_update_function)]
