"""The install ("/i") and record-version ("/q") scenarios: cvlsetup.exe copies
a driver package into Wine's driver store and updates the adapters the
harness made. Wine's own UpdateDriverForPlugAndPlayDevicesW answers TRUE for
any id; the test newdev.dll records each call, hands the ids of the harness's
adapters on to Wine's function and answers "no such device" for every other
id, or fails every call with a chosen last error. Each run is repeated on a
machine image that mirrors the prefix, holding the same package, and the
outcomes must be equal.

Where Wine 8.0 differs from Windows, and what the scenarios do about it:

- Driver store: Wine publishes an INF under its own name ("netcvl.inf");
  Windows names it oemNN.inf. "InfName" is compared as "the published INF of
  the system's INF folder"; the simulated machine's name must be oemNN.inf.
- Updates: Wine's UpdateDriverForPlugAndPlayDevicesW answers TRUE with last
  error 0 for every id, present or not, and never fails; it matches the
  hardware-id list only, case-sensitively. Windows fails with
  ERROR_NO_SUCH_DEVINST when no present device carries the id (as a hardware
  or compatible id, in any case), and with the other last errors the install
  logs in their own way when it cannot update.
  The test newdev.dll answers for Windows; the mirror machine fails its
  updates with the same error through a "fault" line of its machine.txt.
- Driver key: Wine writes the INF's AddReg values, InfPath, InfSection and
  InfSectionExt only; Windows also writes DriverVersion (as four decimal
  numbers), ComponentId, MatchingDeviceId, DriverDesc and NetCfgInstanceId. The harness
  writes the component id Windows would write beforehand, and the package of
  "install of the current driver ends with 12" writes DriverVersion and
  ComponentId itself through AddReg.
- Node status: Wine reports 0 for every device and carries out no switch.
  The test cfgmgr32.dll reports the harness's status and, with
  "CarryOutSwitches", sets the status a switch asks for, as the class
  installer of Windows does; an updated adapter is switched off and on again.
- Re-enumeration: Wine's CM_Connect_MachineW and CM_Reenumerate_DevNode_Ex
  fail (the program ignores it); Windows looks at the device tree again.
- Source list: Wine's SetupAddToSourceListW does nothing; Windows adds the
  package folder to the installation sources. Nothing here reads it back.
"""

import os
import re

import devices as dev
import registry_file
from device_scenarios import DeviceMachine, log_lines
from scenarios import APP_DIR

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLE_PACKAGE = os.path.join(REPO, "examples", "driver-package")
DRIVERS_DIR = APP_DIR + r"\drivers"
EXAMPLE_INF = "netcvl.inf"
PACKAGE_VERSION = "8.45.507.2016"  # DriverVer 8.045.0507.2016 without leading zeros

UPDATE_KEY = r"HKLM\Software\CvlWineTest\UpdateDriver"
UPDATE_CALLS_KEY = r"HKLM\Software\CvlWineTest\UpdateDriverCalls"
# What the driver-signing policy was at each update call.
POLICIES_KEY = r"HKLM\Software\CvlWineTest\SigningPolicyAtUpdate"
SETUP_STATE_KEY = r"HKLM\Software\CVLSetup"
STATUS_KEY = r"HKLM\Software\Corvane\Network"
UPDATE_CALL = "UpdateDriverForPlugAndPlayDevicesW"
INSTALLFLAG_FORCE = 1
ERROR_NO_SUCH_DEVINST = 0xE000020B

# The per-family list of "/vistab701" and the legacy list of "/b702", in the
# family table's letter case: Wine matches hardware ids case-sensitively.
VISTA_B701_IDS = [r"PCI\VEN_1F3A&DEV_%s&CC_0200" % device
                  for device in ("B701", "B704", "B702", "B705", "B706", "B707", "B709")]
PCIE_IDS = [r"PCI\VEN_1F3A&DEV_%s&CC_0200" % device
            for device in ("B702", "B705", "B706", "B707", "B709")]
B702_ID = VISTA_B701_IDS[2]

# The last errors an update can fail with and the lines the install logs.
UPDATE_FAILURES = [
    (0, ["Newer driver is present ..."]),
    (ERROR_NO_SUCH_DEVINST, ["Found no devices, preinstalll driver ..."]),
    (2, ["ERROR_FILE_NOT_FOUND"]),
    (0xE0000235, ["ERROR_IN_WOW64"]),
    (1004, ["ERROR_INVALID_FLAGS"]),
    (0xE0000219, ["Unknown error", "ErrorCode = -536870375"]),
]

# Wine keeps a published INF's own name where Windows names it oemNN.inf;
# both are compared as the published INF of the system's INF folder.
PUBLISHED_INF = re.compile(r"(?i)^c:\\windows\\inf\\[^\\]+\.inf$")
OEM_INF = re.compile(r"(?i)^c:\\windows\\inf\\oem\d+\.inf$")

# A test package whose AddReg writes what Windows itself writes into the
# driver key and Wine does not: the normalised DriverVersion and the
# component id. Windows-4 style, one model for either program, no files to
# copy.
ADDREG_INF = "\r\n".join([
    "[Version]",
    'Signature   = "$Windows NT$"',
    "Class       = Net",
    "ClassGuid   = {4d36e972-e325-11ce-bfc1-08002be10318}",
    "Provider    = %Corvane%",
    "DriverVer   = 05/07/2016,8.045.0507.2016",
    "CatalogFile = cvlwine.cat",
    "",
    "[Manufacturer]",
    "%Corvane% = Corvane, NTamd64, NTx86",
    "",
    "[Corvane.NTamd64]",
    r"%CvlB702.DeviceDesc% = CvlB702, PCI\VEN_1F3A&DEV_B702&CC_0200",
    "",
    "[Corvane.NTx86]",
    r"%CvlB702.DeviceDesc% = CvlB702, PCI\VEN_1F3A&DEV_B702&CC_0200",
    "",
    "[CvlB702]",
    "Characteristics = 0x84",
    "BusType         = 5",
    "AddReg          = CvlB702.reg",
    "",
    "[CvlB702.reg]",
    'HKR,, DriverVersion, 0, "%s"' % PACKAGE_VERSION,
    r'HKR,, ComponentId,   0, "pci\ven_1f3a&dev_b702&cc_0200"',
    "",
    "[Strings]",
    'Corvane            = "Corvane"',
    'CvlB702.DeviceDesc = "Corvane PCIe GbE Family Controller"',
    "",
]).encode("ascii")


def example_package():
    """(file name, bytes) of the example driver package."""
    files = []
    for name in sorted(os.listdir(EXAMPLE_PACKAGE)):
        if name.lower().endswith(".md"):
            continue
        with open(os.path.join(EXAMPLE_PACKAGE, name), "rb") as file:
            files.append((name, file.read()))
    return files


def addreg_package():
    # The catalog only has to exist: Wine refuses an INF whose catalog is
    # missing, and nothing here is signed.
    return [("cvlwine.inf", ADDREG_INF), ("cvlwine.cat", b"")]


def b702_adapter(driver_version):
    """A started B702 adapter. Its driver key already holds the component id
    that Windows writes when it installs the package's model, since Wine
    writes none; the install's adapter walks log it."""
    return dev.pci_adapter(
        "B702", "00011043", "06", "4&2A1F3A70&0&00E4", driver="0007", status=dev.RUNNING,
        driver_values={"ComponentId": r"pci\ven_1f3a&dev_b702&cc_0200",
                       "DriverVersion": driver_version,
                       "NetCfgInstanceId": "{8E3C1D42-6A5B-4C7E-9F21-0B7C3A5D9E14}"})


def setup_values(subkey, *names):
    return [(SETUP_STATE_KEY + "\\" + subkey, name) for name in names]


STATUS_VALUES = [(STATUS_KEY, "install"), (STATUS_KEY, "reboot"), (STATUS_KEY, "version")]


def published_as_one(outcome):
    """The outcome with a published INF's path in one spelling."""
    values = tuple((kind, r"C:\windows\inf\<published>.inf")
                   if kind == registry_file.REG_SZ and PUBLISHED_INF.match(text) else (kind, text)
                   for kind, text in (value or (None, None) for value in outcome.values))
    return outcome._replace(values=values)


class InstallMachine(DeviceMachine):
    """A prefix with the test newdev.dll, a driver package in C:\\app\\drivers
    and `adapters`; the adapters' node status is served, and a switch the
    program asks for is carried out, as Windows would."""

    def __init__(self, context, adapters, package, serve_node_status=None):
        if serve_node_status is None:
            serve_node_status = bool(adapters)
        super().__init__(context, adapters, serve_node_status=serve_node_status,
                         test_dlls=("newdev",))
        self.package = [(DRIVERS_DIR + "\\" + name, data) for name, data in package]
        for path, data in self.package:
            host = self.prefix.host_path(path)
            os.makedirs(os.path.dirname(host), exist_ok=True)
            with open(host, "wb") as file:
                file.write(data)
        self.prefix.import_registry([(dev.NODE_STATUS_KEY, {"CarryOutSwitches": 1})])
        # The adapters' "...&CC_0200" ids, spelled as the family tables spell
        # them, since Wine compares them case-sensitively.
        self.set_harness_ids([adapter.hardware_ids[-1] for adapter in adapters])
        # The last error every update of the mirror machine fails with.
        self.fail_with = None

    def set_harness_ids(self, ids):
        """The ids the test newdev.dll hands on to Wine; none fails them all
        with "no such device"."""
        self.prefix.reg_add(UPDATE_KEY, "HarnessIds", "REG_MULTI_SZ",
                            "\\0".join(ids) if ids else "")

    def set_failure(self, error):
        """Every update fails with `error`, on both machines."""
        self.fail_with = error
        self.prefix.reg_add(UPDATE_KEY, "FailWith", "REG_DWORD", "0x%X" % error)

    def update_calls(self):
        """(hardware id, INF path, flags, answer) of each update call since
        the last look."""
        calls = []
        for text in self.numbered_records(UPDATE_CALLS_KEY):
            hardware_id, inf, flags, answer = text.split("|")
            calls.append((hardware_id, inf, int(flags), answer))
        return calls

    def policies_at_updates(self):
        """The signing policies in force at each update call since the last
        look: "HKLM=<type>:<hex> HKCU=<type>:<hex>"."""
        return self.numbered_records(POLICIES_KEY)

    def install(self, args, values=()):
        """(Wine's outcome, the update calls, the simulated outcome and its
        updates or None) of one run."""
        outcome, _, _ = self.run(args, values)
        calls = self.update_calls()
        faults = [(UPDATE_CALL, self.fail_with)] if self.fail_with is not None else []
        simulated = self.compare_with_simulation(args, outcome, values, contents=self.package,
                                                 faults=faults, normalise=published_as_one)
        return outcome, calls, simulated

    def refresh_driver_values(self, adapter):
        """Takes the adapter's driver key texts as Wine left them, so the
        mirror machine holds what the next run reads."""
        keys = self.prefix.export_registry(adapter.driver_key)
        wanted = registry_file.full_key(adapter.driver_key).lower()
        for path, values in keys:
            if path.lower() == wanted:
                adapter.driver_values = {name: value for name, kind, value in values.values()
                                         if kind in (registry_file.REG_SZ,
                                                     registry_file.REG_DWORD)}


def package_args(flag, inf=EXAMPLE_INF, *more):
    return ["/i", flag, *more, "/f", "drivers\\" + inf]


def expect_published(context, wine_value, simulated, what):
    """Wine's published name is the INF's own; the simulated machine's is
    oemNN.inf, as on Windows."""
    context.expect(wine_value is not None and PUBLISHED_INF.match(wine_value[1]),
                   "%s is in Wine's INF folder: %r" % (what, wine_value))
    if wine_value:
        name = wine_value[1].rpartition("\\")[2]
        context.expect(os.path.exists(context.prefix.host_path(r"C:\windows\inf" + "\\" + name)),
                       "%s %s is in the driver store" % (what, name))
    if simulated:
        value = simulated[0].values[1]
        context.expect(value is not None and OEM_INF.match(value[1]),
                       "the simulated machine publishes %s as oemNN.inf: %r" % (what, value))


def install_example_package(context):
    """The example package onto a B702 adapter that runs an older driver: one
    update goes through Wine, the other six ids of the family find no
    device. The update switches the adapter off until the install is over."""
    adapter = b702_adapter("8.44.101.2015")
    machine = InstallMachine(context, [adapter], example_package())
    values = setup_values("VISTA_B701", "SourcePath", "InfName") + STATUS_VALUES
    outcome, calls, simulated = machine.install(package_args("/vistab701"), values)
    context.expect_equal(outcome.exit_code, 0, "exit code")
    context.expect_equal(outcome.values[0], (registry_file.REG_SZ, DRIVERS_DIR), "SourcePath")
    expect_published(context, outcome.values[1], simulated, EXAMPLE_INF)
    context.expect_equal(outcome.values[2:],
                         ((registry_file.REG_SZ, "success"), (registry_file.REG_SZ, "no"),
                          (registry_file.REG_SZ, PACKAGE_VERSION)), "the status key")
    inf_path = DRIVERS_DIR + "\\" + EXAMPLE_INF
    context.expect_equal(calls, [(hardware_id, inf_path, INSTALLFLAG_FORCE,
                                  "updated" if hardware_id == B702_ID else "no such device")
                                 for hardware_id in VISTA_B701_IDS], "the update calls")
    lines = log_lines(outcome)
    for line in ["Curr : = '8.44.101.2015'", "New : = '%s'" % PACKAGE_VERSION,
                 "Driver is required to install", "Copy INF success ...",
                 "Driver installed successfully...", "Enable updated adapters..."]:
        context.expect(line in lines, "%r in the log" % line)
    context.expect_equal(lines.count("Found no devices, preinstalll driver ..."), 6,
                         "ids without a device")
    context.expect_equal(list(outcome.switches), [("disable", adapter.instance_id),
                                                  ("enable", adapter.instance_id)],
                         "the adapter switched off after its update and on at the end")
    if simulated:
        context.expect_equal(simulated[1], [(adapter.instance_id, inf_path)],
                             "the simulated machine's updates")


def reinstall_of_current_driver(context):
    """A package whose AddReg writes the driver version: once installed, the
    same install finds the adapter current and ends with 12, after the INF
    copy, without an update."""
    adapter = b702_adapter("8.44.101.2015")
    machine = InstallMachine(context, [adapter], addreg_package())
    args = package_args("/vistab701", "cvlwine.inf")
    first, calls, _ = machine.install(args)
    context.expect_equal(first.exit_code, 0, "the first install's exit code")
    context.expect_equal([answer for _, _, _, answer in calls].count("updated"), 1,
                         "the first install's updates")
    machine.refresh_driver_values(adapter)
    context.expect_equal(adapter.driver_values.get("DriverVersion"), PACKAGE_VERSION,
                         "DriverVersion written by the INF")
    values = setup_values("VISTA_B701", "InfName") + STATUS_VALUES[:1]
    machine.prefix.reg_delete(STATUS_KEY)
    second, calls, _ = machine.install(args, values)
    context.expect_equal(second.exit_code, 12, "the second install's exit code")
    context.expect_equal(calls, [], "the second install's updates")
    context.expect_equal(second.values[1], None, "no status key after 12")
    context.expect_equal(log_lines(second)[-4:],
                         ["Copy INF success ...", "Curr : = '%s'" % PACKAGE_VERSION,
                          "New : = '%s'" % PACKAGE_VERSION, "Exit code: = 12"],
                         "the end of the log")


def keep_newer_driver(context):
    """"/KeepNewDrv": the adapter runs a driver newer than the package's, so
    nothing is installed and the install ends with 12."""
    adapter = b702_adapter("8.46.301.2017")
    machine = InstallMachine(context, [adapter], example_package())
    values = setup_values("VISTA_B701", "SourcePath", "InfName") + STATUS_VALUES[:1]
    outcome, calls, _ = machine.install(package_args("/vistab701", EXAMPLE_INF, "/KeepNewDrv"),
                                        values)
    context.expect_equal(outcome.exit_code, 12, "exit code")
    context.expect_equal(calls, [], "update calls")
    context.expect_equal(log_lines(outcome)[-4:],
                         ["Curr : = '8.46.301.2017'", "New : = '%s'" % PACKAGE_VERSION,
                          "Driver is not required to install", "Exit code: = 12"],
                         "the end of the log")
    context.expect_equal(outcome.values[2], None, "no status key")


def no_adapter(context):
    """No adapter of the family and no "/ncfi": the INF is copied and named,
    nothing is updated, no status key is written, and the install ends
    with 0."""
    machine = InstallMachine(context, [], example_package())
    values = setup_values("VISTA_B701", "SourcePath", "InfName") + STATUS_VALUES[:1]
    outcome, calls, simulated = machine.install(package_args("/vistab701"), values)
    context.expect_equal(outcome.exit_code, 0, "exit code")
    context.expect_equal(calls, [], "update calls")
    expect_published(context, outcome.values[1], simulated, EXAMPLE_INF)
    context.expect_equal(outcome.values[2], None, "no status key")
    context.expect(not any(line.startswith("Installing ") for line in log_lines(outcome)),
                   "no update logged")


def no_adapter_with_ncfi(context):
    """"/ncfi": every id of the family is tried, each answered "no such
    device", and the status key is written."""
    machine = InstallMachine(context, [], example_package())
    values = STATUS_VALUES
    outcome, calls, _ = machine.install(package_args("/vistab701", EXAMPLE_INF, "/ncfi"), values)
    context.expect_equal(outcome.exit_code, 0, "exit code")
    context.expect_equal([(hardware_id, answer) for hardware_id, _, _, answer in calls],
                         [(hardware_id, "no such device") for hardware_id in VISTA_B701_IDS],
                         "update calls")
    context.expect_equal(outcome.values[2], (registry_file.REG_SZ, PACKAGE_VERSION),
                         "the status key's version")
    context.expect_equal(log_lines(outcome).count("Found no devices, preinstalll driver ..."),
                         len(VISTA_B701_IDS), "ids without a device")


# The last errors after which the install has left nothing undone: no device
# carries the id, or a newer driver is in place.
NOTHING_UNDONE = (0, ERROR_NO_SUCH_DEVINST)
ERROR_IN_WOW64 = 0xE0000235
UPDATE_FAILED = 13


def update_failure_scenario(error, lines):
    def run(context):
        """Every update fails with the same last error; each id logs it and
        every id is tried. "No such device" and "newer driver" end with 0
        and the status key; every other error ends with 13 and leaves the
        status key unwritten."""
        machine = InstallMachine(context, [], example_package())
        machine.set_failure(error)
        outcome, calls, _ = machine.install(
            package_args("/vistab701", EXAMPLE_INF, "/ncfi"), STATUS_VALUES[:1])
        failed = error not in NOTHING_UNDONE
        context.expect_equal(outcome.exit_code, UPDATE_FAILED if failed else 0, "exit code")
        context.expect_equal(len(calls), len(VISTA_B701_IDS), "update calls")
        logged = log_lines(outcome)
        for index, hardware_id in enumerate(VISTA_B701_IDS):
            at = logged.index("Installing  = '%s'" % hardware_id)
            context.expect_equal(logged[at + 1:at + 1 + len(lines)], lines,
                                 "the lines after %s" % hardware_id)
        context.expect_equal(outcome.values[0],
                             None if failed else (registry_file.REG_SZ, "success"),
                             "the status key")
    return run


def wow64_update_of_present_adapter(context):
    """The 32-bit program on 64-bit Windows: the update of a present B702
    adapter fails with ERROR_IN_WOW64. The install tries every id, keeps
    the INF in the driver store, switches nothing and ends with 13 without
    writing the status key."""
    adapter = b702_adapter("8.44.101.2015")
    machine = InstallMachine(context, [adapter], example_package())
    machine.set_failure(ERROR_IN_WOW64)
    values = setup_values("VISTA_B701", "SourcePath", "InfName") + STATUS_VALUES
    outcome, calls, simulated = machine.install(package_args("/vistab701"), values)
    context.expect_equal(outcome.exit_code, UPDATE_FAILED, "exit code")
    expect_published(context, outcome.values[1], simulated, EXAMPLE_INF)
    context.expect_equal(outcome.values[2:], (None, None, None), "the status key")
    context.expect_equal([hardware_id for hardware_id, _, _, _ in calls], VISTA_B701_IDS,
                         "every id tried")
    lines = log_lines(outcome)
    at = lines.index("Installing  = '%s'" % B702_ID)
    context.expect_equal(lines[at + 1], "ERROR_IN_WOW64", "the B702's line")
    context.expect_equal(lines[-1], "Exit code: = %d" % UPDATE_FAILED, "the last line")
    context.expect_equal(list(outcome.switches), [], "no adapter switched")
    if simulated:
        context.expect_equal(simulated[0].exit_code, UPDATE_FAILED,
                             "the simulated machine's exit code")


def record_version(context):
    """"/q" reads the package's version and writes it as "NewDrvVer" in
    either flow; it copies nothing, registers no source and updates
    nothing. Every run logs and registers the program's path."""
    machine = InstallMachine(context, [], example_package())
    for flag, subkey in [("/vistab701", "VISTA_B701"), ("/b702", "PCIE")]:
        args = ["/q", flag, "/f", "drivers\\" + EXAMPLE_INF]
        values = setup_values(subkey, "NewDrvVer", "SourcePath", "InfName")
        outcome, calls, _ = machine.install(args, values)
        what = " ".join(args)
        context.expect_equal(outcome.exit_code, 0, what)
        context.expect_equal(outcome.values,
                             ((registry_file.REG_SZ, PACKAGE_VERSION), None, None), what)
        context.expect_equal(calls, [], "update calls of " + what)
        context.expect_equal(log_lines(outcome),
                             ["The file path...", DRIVERS_DIR,
                              DRIVERS_DIR + "\\" + EXAMPLE_INF, "Exit code: = 0"],
                             "the log of " + what)
        compat = machine.prefix.reg_query(
            r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags"
            r"\Compatibility Assistant\Persisted", APP_DIR + r"\cvlsetup.exe")
        context.expect_equal(compat, (registry_file.REG_DWORD, "0x1"),
                             "the compatibility value after " + what)


def legacy_card_found(context):
    """The legacy flow updates without a requirement check and records
    whether an update went through as "CardFound": first with every update
    answered "no such device", then with the B702 adapter's id handed on to
    Wine."""
    adapter = b702_adapter("8.44.101.2015")
    machine = InstallMachine(context, [adapter], example_package())
    args = package_args("/b702")
    values = setup_values("PCIE", "CardFound", "SourcePath") + STATUS_VALUES[2:]
    # The adapter's update is answered as if its hardware had gone: the test
    # newdev.dll hands no id on, and the mirror machine, where the adapter
    # stays present, fails its updates with the same error.
    machine.set_harness_ids([])
    machine.fail_with = ERROR_NO_SUCH_DEVINST
    outcome, calls, _ = machine.install(args, values)
    context.expect_equal((outcome.exit_code, outcome.values[0]),
                         (0, (registry_file.REG_SZ, "FALSE")), "without a device")
    context.expect_equal(len(calls), len(PCIE_IDS), "update calls without a device")
    context.expect_equal(list(outcome.switches), [], "switches without an update")

    machine.set_harness_ids([B702_ID])
    machine.fail_with = None
    outcome, calls, _ = machine.install(args, values)
    context.expect_equal(outcome.exit_code, 0, "exit code")
    context.expect_equal(outcome.values,
                         ((registry_file.REG_SZ, "TRUE"), (registry_file.REG_SZ, DRIVERS_DIR),
                          (registry_file.REG_SZ, PACKAGE_VERSION)),
                         "CardFound, SourcePath and the status key's version")
    context.expect_equal([hardware_id for hardware_id, _, _, answer in calls
                          if answer == "updated"], [B702_ID], "updated ids")
    context.expect("Apply B702 driver..." in log_lines(outcome), "the legacy flow's line")


def missing_inf(context):
    """A package INF that is not there ends either flow with 9 before
    anything is written."""
    machine = InstallMachine(context, [], example_package())
    # (arguments, subkey, the folder and the INF path the log names); a
    # name without a folder leaves the program's folder with its backslash.
    runs = [(package_args("/vistab701", "missing.inf"), "VISTA_B701", DRIVERS_DIR,
             DRIVERS_DIR + r"\missing.inf"),
            (["/i", "/b702"], "PCIE", APP_DIR + "\\", APP_DIR + r"\Netcvle.inf")]
    for args, subkey, source, inf in runs:
        outcome, calls, _ = machine.install(args, setup_values(subkey, "SourcePath"))
        what = " ".join(args)
        context.expect_equal(outcome.exit_code, 9, what)
        context.expect_equal(outcome.values, (None,), "SourcePath after " + what)
        context.expect_equal(log_lines(outcome),
                             ["Starting Install...", "The file path...", source, inf,
                              "Exit code: = 9"], "the log of " + what)
        context.expect_equal(calls, [], "update calls of " + what)


def all_scenarios():
    scenarios = [
        ("install of the example package", install_example_package),
        ("install of the current driver ends with 12", reinstall_of_current_driver),
        ("install keeping a newer driver ends with 12", keep_newer_driver),
        ("install without an adapter", no_adapter),
        ("install without an adapter with /ncfi", no_adapter_with_ncfi),
        ("install with ERROR_IN_WOW64 for a present adapter ends with 13",
         wow64_update_of_present_adapter),
    ]
    scenarios += [("install update failing with 0x%X" % error,
                   update_failure_scenario(error, lines)) for error, lines in UPDATE_FAILURES]
    scenarios += [
        ("record version", record_version),
        ("legacy install CardFound", legacy_card_found),
        ("install with a missing INF", missing_inf),
    ]
    return scenarios
