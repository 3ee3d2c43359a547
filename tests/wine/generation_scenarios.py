"""The scenarios whose outcome depends on the Windows generation, run with
Wine reporting each generation it can (see generations.py) and compared with
the simulated machine set to the same version.

Where Wine differs from Windows on these generations, and what the scenarios
do about it (each difference is named again beside the run it touches):

- Program start: Wine does not check the PE subsystem version and supplies on
  every version what Windows 9x and NT 4 lack (newdev.dll, the CM_*_Ex calls,
  working Unicode calls), so these runs show the program's branches and, on
  95, 98 and Me, that it takes the ANSI forms ("text forms" traces which
  form each kind of call takes); that the program starts on those systems
  rests on its import table (scripts/check-pe.sh), not on these runs.
- Registry deletion: Wine deletes a key by the NT rule on every version (a
  key with subkeys stays); Windows 95, 98 and Me delete it with its subkeys.
  The Windows 98 preparation's "DEL RET" therefore differs when the adapter's
  key has subkeys; the harness's key has none.
- Installation sources: Wine ends the process in SetupRemoveFromSourceListW;
  the Windows Me uninstall of the B760 family calls it to take the recorded
  folder off the list, so its scenarios start without "SourcePath" (Windows
  takes the folder off the list; the host tests cover it).
"""

import os
import re
import struct

import devices as dev
import generations
import library_scenarios
import registry_file
import uninstall_scenarios as un
from device_scenarios import log_lines
from install_scenarios import (DRIVERS_DIR, EXAMPLE_INF, PACKAGE_VERSION, InstallMachine,
                               example_package, setup_values)
from scenarios import APP_DIR, EXE, LOG_NAME, ROOT_LOG, Outcome, log_of

NT5 = {3, 4}  # XP and Server 2003, Windows 2000
WINDOWS_ME, WINDOWS_98 = 6, 7
NT6 = {1, 2}
# The generations that remove a device with the class installer alone; the
# others delete its keys afterwards.
CLASS_INSTALLER_ALONE = NT6 | NT5
# "/betadrv" relaxes the policy on XP and 2003, 2000, Me and 98.
RELAXES_SIGNING = NT5 | {WINDOWS_ME, WINDOWS_98}
CM_REENUMERATE_SYNCHRONOUS = 1
CM_REENUMERATE_NORMAL = 0

SIGNING_KEY = r"Software\Microsoft\Driver Signing"
MACHINE_POLICY = (r"HKLM" + "\\" + SIGNING_KEY, "Policy")
USER_POLICY = (r"HKCU" + "\\" + SIGNING_KEY, "Policy")
WARN = 1
REG_BINARY_TYPE, REG_DWORD_TYPE = 3, 4

USB_ENUM_B760 = r"HKLM\Enum\USB\VID_0C7E&PID_B760"
SYSDM_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\SysDM"
OPTIONS_INSTALL = r"C:\windows\OPTIONS\INSTALL"
B760_DESCRIPTION = "Corvane CVLB760 USB 10/100 Fast Ethernet Adapter"
# The 9x driver file, as the uninstall names it, and as the prefix's folder
# is spelled: Windows and Wine match the names whatever their case.
B760_DRIVER_FILE = r"C:\windows\SYSTEM\CVLB760.SYS"
B760_DRIVER_FILE_PLANTED = r"C:\windows\system\CVLB760.SYS"


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
    context.expect(not os.path.exists(context.prefix.host_path(elsewhere)),
                   "no log at " + elsewhere)

    machine = InstallMachine(context, [], example_package())
    args = ["/q", "/vistab701", "/vdevq2dp", "/f", "drivers\\" + EXAMPLE_INF]
    outcome, calls, _ = machine.install(args, setup_values("VISTA_B701", "NewDrvVer"))
    vdev = [DRIVERS_DIR + r"\Cvlhvdev.inf"] if kind in generations.KEEPS_VDEV_Q2DP else []
    context.expect_equal(log_lines(outcome),
                         ["The file path...", DRIVERS_DIR, DRIVERS_DIR + "\\" + EXAMPLE_INF] +
                         vdev + ["Exit code: = 0"], "the log of " + " ".join(args))
    context.expect_equal(outcome.values, ((registry_file.REG_SZ, PACKAGE_VERSION),), "NewDrvVer")
    context.expect_equal(calls, [], "update calls")


def policy_text(kind_relaxed):
    if kind_relaxed:
        return "HKLM=%d:00 HKCU=%d:00000000" % (REG_BINARY_TYPE, REG_DWORD_TYPE)
    return "HKLM=%d:%02x HKCU=%d:%02x000000" % (REG_BINARY_TYPE, WARN, REG_DWORD_TYPE, WARN)


def signing_policy_and_reenumeration(context):
    """"/betadrv" around a per-family install, and the re-enumerations of
    both install flows. The machine's and the user's policy are set to warn;
    the test newdev.dll records the policy at each update: ignore where the
    generation relaxes it, warn elsewhere, and warn again after the run.
    The per-family flow re-enumerates synchronously on every generation, the
    legacy flow only on the NT 5 generations."""
    kind = context.generation.kind
    machine = InstallMachine(context, [], example_package(), serve_node_status=True)
    machine.plant([(MACHINE_POLICY[0], {"Policy": bytes([WARN])}),
                   (USER_POLICY[0], {"Policy": WARN})])
    args = ["/i", "/vistab701", "/betadrv", "/ncfi", "/f", "drivers\\" + EXAMPLE_INF]
    outcome, calls, simulated = machine.install(args, [MACHINE_POLICY, USER_POLICY])
    context.expect_equal(outcome.exit_code, 0, "exit code of " + " ".join(args))
    context.expect_equal(len(calls), 7, "update calls")
    context.expect_equal(machine.policies_at_updates(),
                         [policy_text(kind in RELAXES_SIGNING)] * len(calls),
                         "the signing policy during the updates")
    context.expect_equal(outcome.values, ((registry_file.REG_BINARY, bytes([WARN])),
                                          (registry_file.REG_DWORD, WARN)),
                         "the policies put back")
    expect_reenumerations(context, machine, simulated, [CM_REENUMERATE_SYNCHRONOUS],
                          "the per-family install")

    args = ["/i", "/b702", "/f", "drivers\\" + EXAMPLE_INF]
    outcome, calls, simulated = machine.install(args, setup_values("PCIE", "CardFound"))
    context.expect_equal((outcome.exit_code, outcome.values),
                         (0, ((registry_file.REG_SZ, "FALSE"),)), "the legacy install")
    expect_reenumerations(context, machine, simulated,
                          [CM_REENUMERATE_SYNCHRONOUS] if kind in NT5 else [],
                          "the legacy install")


def expect_reenumerations(context, machine, simulated, flags, what):
    recorded = machine.reenumerations()
    context.expect_equal(recorded, flags, "re-enumeration flags of " + what)
    if simulated:
        context.expect_equal(simulated[2], len(recorded),
                             "the simulated machine's re-enumerations of " + what)


def b760_install(context):
    """"/i /vistab760": on Windows 98 the preparation deletes the adapter's
    Enum\\USB key and points the device search at OPTIONS\\INSTALL instead
    of registering the package folder, and no update runs; on Me the folder
    registered is OPTIONS\\INSTALL; elsewhere the package folder. Only the
    generations after Me re-enumerate again, asynchronously, at the end.
    Wine deletes a key with subkeys by the NT rule on every version, so the
    adapter's key here has none ("DEL RET" would differ from Windows 98)."""
    kind = context.generation.kind
    machine = InstallMachine(context, [], example_package(), serve_node_status=True)
    machine.plant([(USB_ENUM_B760, {"DeviceDesc": B760_DESCRIPTION}),
                   (SYSDM_KEY, {"SearchLocation": "", "SearchFlags": 1})])
    args = ["/i", "/vistab760", "/ncfi", "/f", "drivers\\" + EXAMPLE_INF]
    values = [(USB_ENUM_B760, "DeviceDesc"), (SYSDM_KEY, "SearchLocation"),
              (SYSDM_KEY, "SearchFlags")] + setup_values("VISTA_B760", "SourcePath")
    outcome, calls, simulated = machine.install(args, values)
    context.expect_equal(outcome.exit_code, 0, "exit code")
    lines = log_lines(outcome)
    if kind == WINDOWS_98:
        want = (None, (registry_file.REG_SZ, OPTIONS_INSTALL), (registry_file.REG_DWORD, 8), None)
        for line in ["OPEN ENUM USB SUCCESSFULLY", "DEL RET = 0", "Create Key Succ",
                     "Open Key Succ", "Query Key Succ", "Set Key Succ"]:
            context.expect(line in lines, "%r in the log" % line)
    else:
        source = OPTIONS_INSTALL if kind == WINDOWS_ME else DRIVERS_DIR
        want = ((registry_file.REG_SZ, B760_DESCRIPTION), (registry_file.REG_SZ, ""),
                (registry_file.REG_DWORD, 1), (registry_file.REG_SZ, source))
        context.expect_equal("AddSrcList" in lines, kind == WINDOWS_ME, "AddSrcList logged")
    context.expect_equal(outcome.values, want, "the Enum key, the device search and SourcePath")
    context.expect_equal(len(calls), 0 if kind == WINDOWS_98 else 1, "update calls")
    flags = [CM_REENUMERATE_SYNCHRONOUS]
    if kind not in (WINDOWS_ME, WINDOWS_98):
        flags.append(CM_REENUMERATE_NORMAL)
    expect_reenumerations(context, machine, simulated, flags, "the install")


def b760_adapter():
    base = r"USB\VID_0C7E&PID_B760"
    return dev.Device(
        base + r"\5&2C3D4E5F&0&1", [base + "&REV_0100", base],
        [r"USB\Class_ff&SubClass_ff&Prot_00", r"USB\Class_ff"], driver="0012",
        driver_values={"ComponentId": r"usb\vid_0c7e&pid_b760&rev_0100",
                       "DriverDesc": B760_DESCRIPTION, "InfPath": "oem9.inf",
                       "NetCfgInstanceId": "{6A0B2C4D-8E1F-4A3B-9C5D-7E6F8A9B0C1D}"})


def b760_uninstall(context):
    """"/u /vistab760": on 98 and Me the 9x driver file and the legacy class
    entry of the adapter go; on Me the adapter is removed too, with the INF
    its install recorded. Elsewhere the adapter goes only when its driver
    services are found, which needs "/x86" or "/x64": here it stays. Wine
    ends the process in SetupRemoveFromSourceListW, which the Me run calls
    for a recorded "SourcePath", so the record holds none (Windows takes the
    folder off the installation sources; the host tests cover it)."""
    kind = context.generation.kind
    plant = un.adapter_plants(b760_adapter())
    legacy_entry = un.LEGACY_CLASS_KEY + r"\Net\0003"
    other_entry = un.LEGACY_CLASS_KEY + r"\Net\0004"
    records = [(un.SETUP_STATE_KEY + r"\VISTA_B760", {"InfName": plant.infs[0]}),
               (legacy_entry, {"DriverDesc": B760_DESCRIPTION.upper()}),
               (other_entry, {"DriverDesc": "Corvane CVLB762 USB 3.0 Gigabit Ethernet Adapter"})]
    machine = un.UninstallMachine(context, [plant], records, (),
                                  un.PROPERTY_PAGE_DLLS + [B760_DRIVER_FILE_PLANTED])
    outcome = machine.uninstall(["/u", "/vistab760"])
    context.expect_equal(outcome.exit_code, 0, "exit code")
    nine_x = kind in (WINDOWS_ME, WINDOWS_98)
    gone = {records[0][0], plant.connection} | set(un.PROPERTY_PAGE_DLLS)
    if nine_x:
        gone |= {B760_DRIVER_FILE_PLANTED, legacy_entry}
    if kind == WINDOWS_ME or kind in NT5 | NT6:
        gone |= set(plant.infs)
    un.expect_planted(context, outcome, gone, "/u /vistab760")
    context.expect_equal(outcome.adapters,
                         () if kind == WINDOWS_ME else (plant.adapter.instance_id,),
                         "the adapters left")
    lines = log_lines(outcome)
    context.expect_equal(B760_DRIVER_FILE in lines, nine_x, "the driver file's path logged")
    context.expect_equal("OPEN NET SUCC" in lines, nine_x, "the legacy class key opened")


def pci_uninstall_scenario(family, branch_generations):
    def scenario(context):
        """"/u" of a PCI adapter: the per-family flow removes it on the NT 6
        generations only (elsewhere it deletes no more than the adapter's
        INF); the legacy flow removes it everywhere, with the class
        installer alone on NT 5 and 6 and with the key deletion after it
        elsewhere. The removal has already taken the device's keys, so that
        deletion fails and is logged, on the simulated machine as under
        Wine."""
        kind = context.generation.kind
        plant = un.adapter_plants(un.b702_adapter())
        setup_state, status, *_ = un.install_records(family.subkey, family.status, None, False)
        machine = un.UninstallMachine(context, [plant], [setup_state, status],
                                      family.descriptions, un.ALL_DLLS)
        args = ["/u", family.switch]
        outcome = machine.uninstall(args)
        context.expect_equal(outcome.exit_code, 0, "exit code")
        removes = kind in branch_generations
        context.expect_equal(outcome.adapters, () if removes else (plant.adapter.instance_id,),
                             "the adapters left")
        lines = log_lines(outcome)
        key_deletion = removes and kind not in CLASS_INSTALLER_ALONE
        context.expect_equal(
            "FindExistingDevice() -> SetupDiDeleteDevRegKey() fail" in lines, key_deletion,
            "the key deletion after the class installer (failing under Wine)")
    return scenario


ALL_GENERATIONS = {generation.kind for generation in generations.BY_BITS[32]}


# The 9x line: Windows 95, 98 and Me, where the program calls the ANSI forms.
NINE_X = {8, WINDOWS_98, WINDOWS_ME}
# The generations without newdev.dll: the 9x line and NT 4.
WITHOUT_NEWDEV = NINE_X | {generations.NT40.kind}
# One call of each kind whose form the trace shows: (ANSI form, Unicode form).
TRACED_FORMS = {
    "registry": ("RegCreateKeyExA", "RegCreateKeyExW"),
    "registry data": ("RegSetValueExA", "RegSetValueExW"),
    "device list": ("SetupDiGetClassDevsA", "SetupDiGetClassDevsW"),
    "INF": ("SetupOpenInfFileA", "SetupOpenInfFileW"),
    "INF fields": ("SetupGetStringFieldA", "SetupGetStringFieldW"),
    "file": ("CreateFileA", "CreateFileW"),
    "own path": ("GetModuleFileNameA", "GetModuleFileNameW"),
    "driver update": ("UpdateDriverForPlugAndPlayDevicesA",
                      "UpdateDriverForPlugAndPlayDevicesW"),
}
# "Call KERNEL32.CreateFileA(...) ret=00406e37": the function and the address
# the call returns to, which tells the program's calls from Wine's own.
RELAY_CALL = re.compile(r"Call [\w.]+\.(\w+)\(.*\) ret=([0-9a-f]+)$")
WINE_DEBUG_KEY = r"HKCU\Software\Wine\Debug"


def image_range(path):
    """The addresses a PE file occupies when loaded at its preferred base
    (Wine loads the program there): (ImageBase, ImageBase + SizeOfImage)."""
    with open(path, "rb") as file:
        data = file.read(4096)
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    base = struct.unpack_from("<Q" if magic == 0x20B else "<I", data,
                              optional + (24 if magic == 0x20B else 28))[0]
    size = struct.unpack_from("<I", data, optional + 56)[0]
    return base, base + size


def text_forms(context):
    """Which form of the system's text calls the program makes: the ANSI
    forms on 95, 98 and Me, the Unicode forms on every NT version. Wine's
    +relay trace shows it, limited to the functions of TRACED_FORMS, so that
    the traced run stays short, and read for the calls that return into the
    program's own image (Wine's DLLs call the Unicode forms among
    themselves); a per-family
    install makes every kind of call (Wine's own newdev.dll answers the
    update, whose outcome the other scenarios check)."""
    machine = InstallMachine(context, [], example_package())
    machine.set_harness_ids(["CVL_NO_DEVICE"])
    prefix = context.prefix
    prefix.reg_add(WINE_DEBUG_KEY, "RelayInclude", "REG_SZ",
                   ";".join(name for pair in TRACED_FORMS.values() for name in pair))
    args = ["/i", "/vistab701", "/ncfi", "/f", "drivers\\" + EXAMPLE_INF]
    result = prefix.wine(EXE, *args, cwd=prefix.host_path(APP_DIR), debug="+relay")
    start, end = image_range(context.prefix.host_path(EXE))
    called = {name for line in result.stderr.decode(errors="replace").splitlines()
              for name, caller in RELAY_CALL.findall(line) if start <= int(caller, 16) < end}
    ansi = context.generation.kind in NINE_X
    for what, (ansi_form, unicode_form) in TRACED_FORMS.items():
        context.expect_equal((ansi_form in called, unicode_form in called), (ansi, not ansi),
                             "%s calls: (%s, %s) made" % (what, ansi_form, unicode_form))


def update_function_missing(context):
    """The generations without newdev.dll (95, 98, Me and NT 4; Wine supplies
    one on every version): a newdev.dll in the system folder without
    UpdateDriverForPlugAndPlayDevicesW stands in for it, every update fails
    with ERROR_PROC_NOT_FOUND and the install goes on as for any failed
    update, as on the simulated machine set to the same version."""
    library_scenarios.missing_update_function(context)


def all_scenarios(bits):
    """(name, scenario) of the generation scenarios of the `bits` program.
    The text forms are traced for the 32-bit program only, the one for the 9x
    line: a traced run takes some 25 s, and Wine reports an NT version to the
    64-bit program whatever the prefix names (its contract cases run against
    both forms instead)."""
    traced = [("text forms", text_forms)] if bits == 32 else []
    # The 64-bit program never runs where newdev.dll is missing.
    lacking = [("update function missing", update_function_missing)] if bits == 32 else []
    return [
        ("start-up", start_up),
        ("signing policy and re-enumeration of an install", signing_policy_and_reenumeration),
        ("B760 install", b760_install),
        ("B760 uninstall", b760_uninstall),
        ("per-family PCI uninstall", pci_uninstall_scenario(un.VISTA_B701, NT6)),
        ("legacy PCI uninstall", pci_uninstall_scenario(un.PCIE, ALL_GENERATIONS)),
    ] + traced + lacking


# The scenarios that run on some generations only: (name, the kinds).
LIMITED_TO = {"update function missing": WITHOUT_NEWDEV}


def runs_on(name, generation):
    """Whether the generation scenario `name` runs on `generation`."""
    return generation.kind in LIMITED_TO.get(name, {generation.kind})
