"""The device scenarios: cvlsetup.exe against network adapters entered in the
prefix's registry, listed by Wine's real SetupAPI. Wine's node status is
always 0 and it keeps no class-install parameters; the test cfgmgr32.dll
reports the status each scenario chooses, and records each class-install
request's device and record, which Wine does not carry out. Where the host
runner is given, every run is repeated on a machine image that mirrors the
prefix's devices, and the outcomes must be equal."""

import collections
import os
import re
import shutil

import devices as dev
import registry_file
from scenarios import APP_DIR, EXE

RECORD_NAME = "class-install-params.txt"
# The test cfgmgr32.dll's record of re-enumerations: REG_DWORD flags each.
REENUMERATIONS_KEY = r"HKLM\Software\CvlWineTest\Reenumerations"
MARKER_NAME = "Completed.txt"
SETUP_STATE_KEY = r"HKLM\Software\CVLSetup"
WINE_DEBUG_KEY = r"HKCU\Software\Wine\Debug"
DIF_PROPERTYCHANGE = 0x12
DICS_FLAG_CONFIGSPECIFIC = 2
STATE_CHANGES = {1: "enable", 2: "disable"}
PROPCHANGE_RECORD_SIZE = 20  # SP_PROPCHANGE_PARAMS of either program

# What a run leaves: the exit code, the install log, the adapters switched
# (("disable", instance id) in order), the registry values asked for
# ((type, value) or None each) and the "Completed.txt" marker.
DeviceOutcome = collections.namedtuple("DeviceOutcome", "exit_code log switches values marker")

RECORD_LINE = re.compile(r"^(\S+) function=0x([0-9a-f]+) size=(\d+)"
                         r"(?: state=(\d+) scope=(\d+) profile=(\d+))?$")
RELAY_CALL = re.compile(r"Call setupapi\.(SetupDiSetClassInstallParamsW|SetupDiCallClassInstaller)"
                        r"\(([0-9a-f,]*)\)")


def parse_records(text):
    """The recorded requests: dicts of instance, function, size, state,
    scope and profile (None where the record was not a property change)."""
    records = []
    for line in text.splitlines():
        match = RECORD_LINE.match(line.strip())
        if not match:
            raise ValueError("unreadable request record: %r" % line)
        numbers = [int(group) if group is not None else None for group in match.groups()[3:]]
        records.append(dict(instance=match.group(1).upper(), function=int(match.group(2), 16),
                            size=int(match.group(3)), state=numbers[0], scope=numbers[1],
                            profile=numbers[2]))
    return records


def relay_calls(trace):
    """(function, arguments) of the class-install calls in a relay trace."""
    return [(name, [int(argument, 16) for argument in arguments.split(",")])
            for name, arguments in RELAY_CALL.findall(trace)]


def wine_value(prefix, key, name):
    found = prefix.reg_query(key, name)
    if found is None:
        return None
    value_type, text = found
    if value_type == registry_file.REG_DWORD:
        return value_type, int(text, 16)
    if value_type == registry_file.REG_BINARY:
        return value_type, bytes.fromhex(text)
    return value_type, text


class DeviceMachine:
    """A prefix holding `adapters`, served with their node status by the test
    cfgmgr32.dll or not, and the simulated machine that mirrors it."""

    def __init__(self, context, adapters, serve_node_status=True, test_dlls=()):
        self.context = context
        self.prefix = context.prefix
        self.adapters = adapters
        self.served = serve_node_status
        # Further test DLLs (names in context.test_dlls), in the system folder.
        self.test_dlls = tuple(test_dlls)
        # Names Wine is told to take as Windows does, from wherever Windows
        # would look, although no test DLL of the harness stands behind them.
        self.searched_dlls = ()
        self._enum_export = None
        # Keys planted besides the adapters, for the mirror machine too.
        self.planted_keys = []
        self.prefix.import_registry(dev.prefix_keys(adapters) + [
            # The relay trace, when asked for, shows only these two calls.
            (WINE_DEBUG_KEY, {"RelayInclude": "setupapi.SetupDiSetClassInstallParamsW;"
                                              "setupapi.SetupDiCallClassInstaller"})])
        for name in (("cfgmgr32",) if serve_node_status else ()) + self.test_dlls:
            self.prefix.replace_system_dll(context.test_dlls[name])

    def plant(self, keys):
        """Enters (key, {name: value}) pairs on both machines."""
        self.prefix.import_registry(keys)
        self.planted_keys += keys

    def numbered_records(self, key):
        """The values "0001", "0002", ... a test DLL wrote under `key`, in
        order, and the key deleted for the next run."""
        keys = self.prefix.export_registry(key, missing_ok=True)
        if keys:
            self.prefix.reg_delete(key)
        return [value for _, values in keys for _, (_, _, value) in sorted(values.items())]

    def reenumerations(self):
        """The flags of each re-enumeration since the last look."""
        return self.numbered_records(REENUMERATIONS_KEY)

    def set_status(self, adapter, status):
        adapter.status = status
        self.prefix.import_registry([(dev.NODE_STATUS_KEY, {adapter.instance_id: status})])

    def app_file(self, name):
        return os.path.join(self.prefix.host_path(APP_DIR), name)

    def _take_file(self, name):
        """A file the run left in C:\\app, removed for the next run."""
        return self.context.take_file(APP_DIR + "\\" + name)

    def run(self, args, values=(), relay=False):
        """(outcome, the recorded requests, the relay trace's class-install
        calls) of one run; `values` are (key, name) pairs to read back."""
        result = self.prefix.wine(EXE, *args, cwd=self.prefix.host_path(APP_DIR),
                                  native_dlls=(("cfgmgr32",) if self.served else ()) +
                                  self.test_dlls + self.searched_dlls,
                                  debug="+relay" if relay else None)
        log = self.context.take_log(APP_DIR)
        records = parse_records((self._take_file(RECORD_NAME) or b"").decode("ascii"))
        switches = tuple((STATE_CHANGES.get(r["state"], "state %s" % r["state"]), r["instance"])
                         for r in records)
        outcome = DeviceOutcome(result.returncode, log, switches,
                                tuple(wine_value(self.prefix, key, name) for key, name in values),
                                self._take_file(MARKER_NAME))
        calls = relay_calls(result.stderr.decode(errors="replace")) if relay else None
        return outcome, records, calls

    def compare_with_simulation(self, args, wine, values=(), contents=(), faults=(),
                                normalise=None):
        """Runs `args` on the mirror machine, holding the files `contents`
        ((C: path, bytes)) and failing the calls `faults`, and expects its
        outcome to equal Wine's once both went through `normalise`. Returns
        the simulated outcome, the updates the machine made and how often it
        re-enumerated the device tree, or None without a simulation."""
        simulation = self.context.simulation
        if not simulation:
            return None
        if self._enum_export is None:
            self._enum_export = self.prefix.export_registry(dev.ENUM_KEY)
        rows, registry = dev.machine_image(self._enum_export, self.adapters, self.served)
        code, image = simulation.run(args, EXE, APP_DIR, devices=rows,
                                     registry=registry + self.planted_keys,
                                     contents=contents, faults=faults)
        try:
            simulated = DeviceOutcome(code & 0xFF, image.file_bytes(self.context.log_path(APP_DIR)),
                                      tuple(image.timeline),
                                      tuple(image.value(key, name) for key, name in values),
                                      image.file_bytes(APP_DIR + "\\" + MARKER_NAME))
            updates = list(image.updates)
            reenumerations = image.reenumerations
        finally:
            image.close()
        normalise = normalise or (lambda outcome: outcome)
        self.context.expect_equal(normalise(simulated), normalise(wine),
                                  "the simulated machine against Wine for %s" % " ".join(args))
        return simulated, updates, reenumerations

    def run_and_compare(self, args, values=(), relay=False):
        outcome, records, calls = self.run(args, values, relay)
        self.compare_with_simulation(args, outcome, values)
        return outcome, records, calls


def log_lines(outcome):
    return (outcome.log or b"").decode("ascii", errors="replace").splitlines()


# The adapters of the switching and parameter scenarios. Instance ids are
# upper case, as Wine reports them.
def running_b702():
    return dev.pci_adapter(
        "B702", "00011043", "06", "4&2A1F3A70&0&00E4", driver="0007", status=dev.RUNNING,
        driver_values={"ComponentId": r"pci\ven_1f3a&dev_b702&subsys_00011043",
                       "DriverVersion": "8.45.507.2016", "InfPath": "oem3.inf",
                       "NetCfgInstanceId": "{8E3C1D42-6A5B-4C7E-9F21-0B7C3A5D9E14}"})


def switched_off_b702():
    return dev.pci_adapter(
        "B702", "00021043", "06", "4&2A1F3A70&0&00E5", driver="0009", status=dev.SWITCHED_OFF,
        driver_values={"ComponentId": r"pci\ven_1f3a&dev_b702&subsys_00021043",
                       "DriverVersion": "8.45.507.2016", "InfPath": "oem3.inf",
                       "NetCfgInstanceId": "{41D7F0A2-3C55-4E8B-A1B9-6F0E2D4C7A83}",
                       "FlowControl": "0", "MaxInterrupts": 0x10})


def running_b703():
    return dev.pci_adapter(
        "B703", "00031043", "01", "4&2A1F3A70&0&00E6", driver="0008", status=dev.RUNNING,
        driver_values={"ComponentId": r"pci\ven_1f3a&dev_b703&subsys_00031043",
                       "DriverVersion": "8.45.507.2016",
                       "NetCfgInstanceId": "{C0A5E7D1-92B4-4F3E-8D6A-1B2C3D4E5F60}"})


def hidden_b705():
    return dev.pci_adapter(
        "B705", "00051043", "02", "4&2A1F3A70&0&00E7", driver="0010",
        status=dev.RUNNING | dev.DN_NO_SHOW_IN_DM,
        driver_values={"ComponentId": r"pci\ven_1f3a&dev_b705&subsys_00051043",
                       "DriverVersion": "8.45.507.2016"})


# "/qdev": (arguments, exit code). Only the hardware-id walk over every
# device Wine lists decides; stage 1 matches nothing without check ids.
DEVICE_QUERIES = [
    (["/qdev", "1f3a", "b702", "6"], 0),
    (["/qdev", "1F3A", "B702", "06"], 0),
    (["/qdev", "1f3a", "b702", "07"], 11),
    (["/qdev", "1f3a", "b701", "06"], 11),
]


def device_query(context):
    """Wine serves the hardware-id lists of every device it knows, its own
    included. It ignores the present filter, so a device whose hardware is
    gone is still found here; the simulated machine covers that."""
    machine = DeviceMachine(context, [running_b702()], serve_node_status=False)
    for args, code in DEVICE_QUERIES:
        outcome, _, _ = machine.run_and_compare(args)
        context.expect_equal(outcome.exit_code, code, " ".join(args))
        context.expect_equal("EQUAL" in log_lines(outcome), code == 0,
                             "a matching revision logged for " + " ".join(args))
        context.expect(r"pci\ven_1f3a&dev_b702&subsys_00011043&rev_06" in log_lines(outcome),
                       "every hardware id logged for " + " ".join(args))


GENERIC_CHECK = ["/chkvid", "1f3a", "/chkpid", "b701", "/chksvid", "0000", "/chkssid", "0000"]
EXACT_CHECK = ["/chkvid", "1f3a", "/chkpid", "b702", "/chksvid", "1043", "/chkssid", "0001"]
OTHER_BOARD_CHECK = ["/chkvid", "1f3a", "/chkpid", "b702", "/chksvid", "1043", "/chkssid", "0002"]

# The presence check on one B702 adapter: (node status, None for Wine's own
# 0; family switch; check ids; the family subkey; the answer).
PRESENCE_RUNS = [
    (dev.RUNNING, "/vistab701", GENERIC_CHECK, "VISTA_B701", "yes"),
    (dev.SWITCHED_OFF, "/vistab701", GENERIC_CHECK, "VISTA_B701", "yes"),
    (dev.RUNNING | dev.DN_NO_SHOW_IN_DM, "/vistab701", GENERIC_CHECK, "VISTA_B701", "no"),
    (dev.DN_STARTED, "/vistab701", GENERIC_CHECK, "VISTA_B701", "no"),
    (None, "/vistab701", GENERIC_CHECK, "VISTA_B701", "no"),
    (dev.RUNNING, "/vistab703", EXACT_CHECK, "VISTA_B703", "yes"),
    (dev.RUNNING, "/vistab760", OTHER_BOARD_CHECK, "VISTA_B760", "no"),
]


def presence_check(context):
    """Wine serves the network class list, the driver key through the
    instance's Driver value and the real registry for "NicExist"; the test
    cfgmgr32.dll serves the node status. Without it (status 0) stage 1 finds
    nothing and only a B707/B709 device or an OEM board would answer yes."""
    adapter = running_b702()
    machine = DeviceMachine(context, [adapter])
    for status, family, check, subkey, answer in PRESENCE_RUNS:
        machine.served = status is not None
        machine.set_status(adapter, status or 0)
        args = ["/chknicexist", family] + check
        key = SETUP_STATE_KEY + "\\" + subkey
        outcome, _, _ = machine.run_and_compare(args, values=[(key, "NicExist")])
        what = "%s with node status %s" % (" ".join(args), hex(status) if status else "from Wine")
        context.expect_equal(outcome.values, ((registry_file.REG_SZ, answer),), what)
        context.expect(("bNicExist = TRUE" if answer == "yes" else "bNicExist = FALSE")
                       in log_lines(outcome), "the log's answer for " + what)
        # The next run must write its own answer.
        machine.prefix.reg_delete(key)


def presence_of_driverless_b707(context):
    """Stage 2 under Wine: a B707 device without a driver key answers yes
    whatever ids were asked for. Wine lists it whether its hardware is there
    or not; that a device gone from the machine answers no only the simulated
    machine shows."""
    b707 = dev.pci_adapter("B707", "00071043", "01", "4&2A1F3A70&0&00E8")
    machine = DeviceMachine(context, [b707], serve_node_status=False)
    key = SETUP_STATE_KEY + r"\VISTA_B701"
    outcome, _, _ = machine.run_and_compare(["/chknicexist", "/vistab701"] + OTHER_BOARD_CHECK,
                                            values=[(key, "NicExist")])
    context.expect_equal(outcome.values, ((registry_file.REG_SZ, "yes"),), "NicExist")
    # Every id of the matching device is still logged, each with its match,
    # and no device after it.
    context.expect_equal(log_lines(outcome)[-4:],
                         [r"pci\ven_1f3a&dev_b707&cc_0200", "EQUAL", "bNicExist = TRUE",
                          "Exit code: = 0"], "the end of the log")


def expect_property_changes(context, records, what):
    for record in records:
        context.expect_equal((record["function"], record["size"], record["scope"],
                              record["profile"]),
                             (DIF_PROPERTYCHANGE, PROPCHANGE_RECORD_SIZE,
                              DICS_FLAG_CONFIGSPECIFIC, 0),
                             "request record (function, size, scope, profile) of " + what)


# Switching with the test cfgmgr32.dll: (arguments, the requests made, the
# lines the log must hold). The running B702 is started, the second B702
# switched off, the B703 started and the B705 hidden. Each run touches an
# adapter at most once: Wine does not carry a switch out, so a second request
# on the same adapter would differ from the simulated machine's.
def switching_runs(running, switched_off, b703):
    return [
        (["/dnicdrv", "/b702"], [("disable", running.instance_id)],
         ["ComponentId = 'pci\\ven_1f3a&dev_b702&subsys_00011043'", "Disable Pcie Nic..."]),
        (["/enicdrv", "/b702"], [("enable", switched_off.instance_id)],
         ["ComponentId = 'pci\\ven_1f3a&dev_b702&subsys_00021043'", "Disable Pcie Nic..."]),
        (["/dnicdrv", "/b701"], [("disable", b703.instance_id)], ["Disable CVLB701 ..."]),
        (["/enicdrv", "/b701"], [], ["Disable CVLB701 ..."]),
        # The disable half passes over the switched-off adapter; the id
        # matches whatever the case of its letters.
        (["/denicdrv", "/nicid", switched_off.driver_values["NetCfgInstanceId"]],
         [("enable", switched_off.instance_id)], ["Found!!!"]),
    ]


def switching_adapters(context):
    """Wine serves the network class list and the driver keys; the test
    cfgmgr32.dll serves started, switched-off and hidden nodes and records
    each request, and the relay trace shows that the class installer is then
    called with DIF_PROPERTYCHANGE. Wine switches nothing."""
    running, switched_off, b703 = running_b702(), switched_off_b702(), running_b703()
    machine = DeviceMachine(context, [running, switched_off, b703, hidden_b705()])
    outcome = None
    for args, switches, lines in switching_runs(running, switched_off, b703):
        what = " ".join(args)
        outcome, records, calls = machine.run_and_compare(args, relay=True)
        context.expect_equal(list(outcome.switches), switches, "requests of " + what)
        expect_property_changes(context, records, what)
        context.expect_equal([(name, arguments[0] if name == "SetupDiCallClassInstaller"
                               else arguments[3]) for name, arguments in calls],
                             [("SetupDiSetClassInstallParamsW", PROPCHANGE_RECORD_SIZE),
                              ("SetupDiCallClassInstaller", DIF_PROPERTYCHANGE)] * len(switches),
                             "class-install calls in the relay trace of " + what)
        for line in lines:
            context.expect(line in log_lines(outcome), "%r in the log of %s" % (line, what))
    context.expect_equal(outcome.marker, b"Disabled and enabled NIC", "Completed.txt")


def adapter_parameters(context):
    """"/setwolreg" through the real registry: Wine serves the hardware-id
    walk, the driver keys and the value writes. The adapters are restarted
    afterwards; the B702 is switched off, so only the switch on is asked for,
    and Wine does not carry it out."""
    b702, b703 = switched_off_b702(), running_b703()
    machine = DeviceMachine(context, [b702, b703])
    args = ["/setwolreg", "/vistab701", "/spn", "wol_setting", "/spv", "wol_mag_only",
            "/spn", "FlowControl", "/spv", "3", "/spn", "MaxInterrupts", "/spt", "4", "/spv", "ff",
            "/spn", "NoSuchValue", "/spv", "1"]
    values = [(b702.driver_key, "PnPCapabilities"), (b702.driver_key, "FlowControl"),
              (b702.driver_key, "MaxInterrupts"), (b702.driver_key, "NoSuchValue"),
              (b703.driver_key, "PnPCapabilities")]
    outcome, records, _ = machine.run_and_compare(args, values=values)
    context.expect_equal(outcome.values,
                         ((registry_file.REG_DWORD, 0x120), (registry_file.REG_SZ, "3"),
                          (registry_file.REG_DWORD, 0xFF), None, None),
                         "driver key values after " + " ".join(args))
    context.expect_equal(list(outcome.switches), [("enable", b702.instance_id)],
                         "the restart's requests")
    expect_property_changes(context, records, "the restart")
    context.expect("Driver Ver = '8.45.507.2016'" in log_lines(outcome),
                   "the adapter's driver version logged")


def all_scenarios():
    return [
        ("device query by revision", device_query),
        ("presence check", presence_check),
        ("presence of a device without a driver", presence_of_driverless_b707),
        ("switching adapters", switching_adapters),
        ("adapter parameters", adapter_parameters),
    ]
