"""The uninstall scenarios ("/u", "/uninstaller"): cvlsetup.exe removes
adapters that the harness entered in the prefix, with what an install leaves
around them: the published INF and its PNF in Wine's INF folder, the
setup-state record, the status key, the Uninstall entry, the network
connection entries and their description values, and the uninstall and
property-page DLLs in the system folder. Each run is repeated on a machine
image that mirrors the prefix, and the outcomes must be equal: exit code, log,
the adapters left, every planted file, key and value present or gone, the
program itself and the temporary folder.

Where Wine 8.0 differs from Windows, and what the scenarios do about it:

- Present filter: Wine ignores DIGCF_PRESENT and lists a device whose
  hardware is gone; Windows leaves it out of the present-device walks (the
  INF lookup and the adapter-left test) while the removal, which lists every
  device, still finds it. Every adapter here is present; the host tests cover
  absent ones.
- Installation sources: Wine's SetupRemoveFromSourceListW is not implemented
  and ends the process; Windows takes the recorded "SourcePath" off the list.
  The legacy "/u" runs with no "SourcePath", so the flow passes over the
  call; the host tests cover the list. "/uninstaller" keeps the legacy
  records and never makes the call, so its scenarios keep a "SourcePath".
- Removal: Wine's DIF_REMOVE deletes the driver key only when it has no
  subkeys; Windows deletes it whole. The harness's driver keys have none.
- Published INF: Windows names a published INF oemNN.inf, and the uninstall
  deletes only such names on the NT generations. Wine would keep the INF's
  own name, so the harness puts the INF into the INF folder itself, under the
  name Windows would give it, with its PNF.
- Temporary folder: Wine's is C:\\users\\<user>\\Temp, the mirror machine's
  C:\\windows\\Temp; both are compared as "no new file left".
- Self-deletion: under Wine the program's file goes some 65 ms after `wine`
  returns, when the second stage has run; the scenario polls for it.
- Registry order: Wine enumerates subkeys and values sorted by name, Windows
  subkeys by upper-cased name and values in the order written. The
  connection and description cleanups delete while they enumerate; what
  they delete does not depend on the order, and the names here sort alike.
"""

import collections
import os
import time

import devices as dev
import registry_file
from device_scenarios import DeviceMachine, log_lines, wine_value
from scenarios import APP_DIR, EXE

SETUP_STATE_KEY = r"HKLM\Software\CVLSetup"
STATUS_KEY = r"HKLM\Software\Corvane"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
NETWORK_KEY = (r"HKLM\System\CurrentControlSet\Control\Network"
               r"\{4d36e972-e325-11ce-bfc1-08002be10318}")
DESCRIPTIONS_KEY = NETWORK_KEY + r"\Descriptions"
INF_DIR = r"C:\windows\inf"
SYSTEM_DIR = r"C:\windows\system32"
UNINSTALL_DLLS = [SYSTEM_DIR + "\\" + name for name in ("CVNUninst32.dll", "CVNUninst64.dll")]
PROPERTY_PAGE_DLLS = [SYSTEM_DIR + "\\" + name for name in ("CvNicProp32.dll", "CvNicProp64.dll")]
# The network class key of Windows 95, 98 and Me.
LEGACY_CLASS_KEY = r"HKLM\System\CurrentControlSet\Services\Class"
# Registry trees read back after a run, once each.
READ_BACK_ROOTS = [SETUP_STATE_KEY, STATUS_KEY, UNINSTALL_KEY, NETWORK_KEY, LEGACY_CLASS_KEY]
# The description of an adapter of no family the scenarios uninstall.
FOREIGN_DESCRIPTION = "Corvane CVLB703 Fast Ethernet NIC"
SIMULATED_TEMP = r"C:\windows\Temp"  # the mirror machine's temp_dir
SELF_DELETION_WAIT = 5.0  # seconds the second stage may take under Wine

# What a run leaves: the exit code, the log, the harness's adapters still
# listed (instance ids), each planted file, key and value with whether it is
# still there, whether the program is, and whether the temporary folder
# holds a new file.
UninstallOutcome = collections.namedtuple(
    "UninstallOutcome", "exit_code log adapters planted program temp_left")

Planted = collections.namedtuple("Planted", "adapter infs connection")


def b702_adapter():
    return dev.pci_adapter(
        "B702", "00011043", "06", "4&2A1F3A70&0&00E4", driver="0007",
        driver_values={"ComponentId": r"pci\ven_1f3a&dev_b702&cc_0200",
                       "DriverVersion": "8.45.507.2016", "InfPath": "oem3.inf",
                       "NetCfgInstanceId": "{8E3C1D42-6A5B-4C7E-9F21-0B7C3A5D9E14}"})


def b703_adapter():
    return dev.pci_adapter(
        "B703", "00031043", "01", "4&2A1F3A70&0&00E6", driver="0008",
        driver_values={"ComponentId": r"pci\ven_1f3a&dev_b703&cc_0200",
                       "DriverVersion": "8.45.507.2016", "InfPath": "oem6.inf",
                       "NetCfgInstanceId": "{C0A5E7D1-92B4-4F3E-8D6A-1B2C3D4E5F60}"})


def b701_adapter():
    return dev.pci_adapter(
        "B701", "00041043", "02", "4&2A1F3A70&0&00E8", driver="0009",
        driver_values={"ComponentId": r"pci\ven_1f3a&dev_b701&cc_0200",
                       "DriverVersion": "8.45.507.2016", "InfPath": "oem7.inf",
                       "NetCfgInstanceId": "{5B1E9C07-4D2A-4F86-B3E1-7A9C0D2E4F15}"})


def b762_adapter():
    """A USB 3.0 adapter of the B762 family, with the ids a USB hub reports."""
    base = r"USB\VID_20F4&PID_0762"
    return dev.Device(
        base + r"\00E04C680001", [base + "&REV_3000", base],
        [r"USB\Class_ff&SubClass_ff&Prot_00", r"USB\Class_ff&SubClass_ff", r"USB\Class_ff"],
        driver="0011",
        driver_values={"ComponentId": r"usb\vid_20f4&pid_0762&rev_3000",
                       "DriverVersion": "10.38.117.2020", "InfPath": "oem5.inf",
                       "NetCfgInstanceId": "{2F6D8A31-E047-4B9C-8E52-9D3A6C1B7F08}"})


def adapter_plants(adapter):
    """The adapter's published INF (with its PNF) and its connection entry."""
    inf = adapter.driver_values["InfPath"]
    connection = NETWORK_KEY + "\\" + adapter.driver_values["NetCfgInstanceId"]
    return Planted(adapter, [INF_DIR + "\\" + inf, INF_DIR + "\\" + inf[:-4] + ".PNF"],
                   connection)


def present(keys, key):
    """Whether `key` or a key below it is among the parsed keys."""
    wanted = registry_file.full_key(key).lower()
    return any(path.lower() == wanted or path.lower().startswith(wanted + "\\")
               for path, _ in keys)


class UninstallMachine(DeviceMachine):
    """A prefix holding `plants` (adapters with their INF files and
    connection entries), the setup-state and status keys `records`, the
    description values `descriptions` and the DLLs `dlls`."""

    def __init__(self, context, plants, records=(), descriptions=(), dlls=()):
        adapters = [plant.adapter for plant in plants]
        super().__init__(context, adapters, serve_node_status=False)
        self.plants = plants
        self.records = list(records)
        self.descriptions = list(descriptions)
        self.files = [(path, b"planted " + path.encode("ascii"))
                      for plant in plants for path in plant.infs]
        self.files += [(path, b"MZ") for path in dlls]
        keys = list(self.records)
        keys += [(plant.connection + r"\Connection",
                  {"PnpInstanceID": plant.adapter.instance_id, "Name": "Ethernet"})
                 for plant in plants]
        if self.descriptions:
            keys.append((DESCRIPTIONS_KEY, {name: ["1"] for name in self.descriptions}))
        self.registry = keys
        self.prefix.import_registry(keys)
        for path, data in self.files:
            # A prefix made without wine32 has no C:\windows\system.
            host = self.prefix.host_path(path)
            os.makedirs(os.path.dirname(host), exist_ok=True)
            with open(host, "wb") as file:
                file.write(data)
        # The mirror machine gets the devices as they were before the run.
        self._enum_export = self.prefix.export_registry(dev.ENUM_KEY)

    def checked_items(self):
        """Every planted file, key and value, in one order."""
        items = [path for path, _ in self.files]
        items += [key for key, _ in self.records]
        items += [plant.connection for plant in self.plants]
        items += [(DESCRIPTIONS_KEY, name) for name in self.descriptions]
        return items

    def uninstall(self, args):
        """Wine's outcome of one run, compared with the mirror machine's."""
        temp = self.prefix.temporary_folders()
        before = {folder: set(os.listdir(folder)) for folder in temp}
        result = self.prefix.wine(EXE, *args, cwd=self.prefix.host_path(APP_DIR),
                                  native_dlls=self.searched_dlls)
        program = self.prefix.host_path(EXE)
        # The second stage runs from a temporary copy, deletes the program
        # once the first stage has ended, and its copy goes when it ends:
        # wait only while such a copy is there.
        deadline = time.monotonic() + SELF_DELETION_WAIT
        while self._new_temp_files(before) and time.monotonic() < deadline:
            time.sleep(0.02)
        log = self.context.take_log(APP_DIR)
        keys = []
        for root in READ_BACK_ROOTS:
            keys += self.prefix.export_registry(root, missing_ok=True)
        enum = registry_file.full_key(dev.ENUM_KEY).upper() + "\\"
        listed = {path.upper() for path, _ in self.prefix.export_registry(dev.ENUM_KEY)}
        adapters = tuple(plant.adapter.instance_id for plant in self.plants
                         if enum + plant.adapter.instance_id.upper() in listed)
        outcome = UninstallOutcome(result.returncode, log, adapters,
                                   self._planted_state(
                                       keys, lambda path: os.path.exists(
                                           self.prefix.host_path(path))),
                                   os.path.exists(program), bool(self._new_temp_files(before)))
        self._compare(args, outcome)
        return outcome

    def driver_key_left(self, plant):
        """Whether Wine kept the adapter's driver key."""
        return wine_value(self.prefix, plant.adapter.driver_key, "ComponentId") is not None

    def _planted_state(self, keys, file_exists):
        state = []
        for item in self.checked_items():
            if isinstance(item, tuple):
                state.append((item, registry_file.find_value(keys, *item) is not None))
            elif item.startswith("HK"):
                state.append((item, present(keys, item)))
            else:
                state.append((item, file_exists(item)))
        return tuple(state)

    @staticmethod
    def _new_temp_files(before):
        return [name for folder, names in before.items()
                for name in set(os.listdir(folder)) - names]

    def _compare(self, args, wine):
        simulation = self.context.simulation
        if not simulation:
            return
        rows, numbers = dev.machine_image(self._enum_export, self.adapters, False)
        code, image = simulation.run(args, EXE, APP_DIR, devices=rows,
                                     registry=numbers + self.registry, contents=self.files)
        try:
            keys = image.registry_keys()
            left = set(image.device_ids())
            simulated = UninstallOutcome(
                code & 0xFF, image.file_bytes(self.context.log_path(APP_DIR)),
                tuple(plant.adapter.instance_id for plant in self.plants
                      if plant.adapter.instance_id.upper() in left),
                self._planted_state(keys, lambda path: image.file_bytes(path) is not None),
                image.file_bytes(EXE) is not None,
                bool(image.listing(SIMULATED_TEMP)))
        finally:
            image.close()
        self.context.expect_equal(simulated, wine,
                                  "the simulated machine against Wine for " + " ".join(args))


def expect_planted(context, outcome, gone, what):
    """Every planted item in `gone` went, every other one stayed."""
    for item, there in outcome.planted:
        context.expect_equal(there, item not in gone,
                             "%r is %s after %s" % (item, "gone" if item in gone else "kept",
                                                    what))


def install_records(subkey, status, uninstall_entry, source_path):
    """What an install of the family leaves in the registry: the setup-state
    record, the status key and, from the uninstaller's install, its Uninstall
    entry. "SourcePath" only where the run never reads it (see above)."""
    setup_state = {"InfName": INF_DIR + r"\oem3.inf", "NewDrvVer": "8.45.507.2016"}
    if source_path:
        setup_state["SourcePath"] = APP_DIR + r"\drivers"
    records = [(SETUP_STATE_KEY + "\\" + subkey, setup_state),
               (STATUS_KEY + "\\" + status, {"install": "success", "reboot": "no",
                                             "version": "8.45.507.2016"})]
    if uninstall_entry:
        records.append((UNINSTALL_KEY + "\\" + uninstall_entry,
                        {"DisplayName": "Corvane Ethernet Controller Driver"}))
    return records


def numbered(description):
    """The description and the one Windows gives a second such adapter."""
    return [description, description + " #2"]


# A family's switch, setup-state subkey, status key, Uninstall entry and the
# descriptions of the adapter the runs remove.
Family = collections.namedtuple("Family", "switch subkey status entry descriptions")
VISTA_B701 = Family("/vistab701", "VISTA_B701", "Network", "CVNUninstVista01",
                    numbered("Corvane CVLB702 Gigabit Ethernet Controller"))
PCIE = Family("/b702", "PCIE", "Network", "CVNUninstXPPCIE",
              numbered("Corvane CVLB702 PCIe GbE Family Controller"))
VISTA_B762 = Family("/vistab762", "VISTA_B762", "USBGBENetwork", None,
                    numbered("Corvane CVLB762 USB 3.0 Gigabit Ethernet Adapter"))
ALL_DLLS = UNINSTALL_DLLS + PROPERTY_PAGE_DLLS

# One run each: (name, "/u" or "/uninstaller /s", family, the adapters
# planted, the first being the one the run removes, the DLLs it deletes,
# whether the program deletes itself).
UninstallRun = collections.namedtuple("UninstallRun",
                                      "name action family adapters dlls_deleted self_deleted")
UNINSTALL = ["/u"]
UNINSTALLER = ["/uninstaller", "/s"]

UNINSTALL_RUNS = [
    # The PCI branch of the per-family flow: both DLL pairs go once no
    # adapter of the two per-family PCI families is left.
    UninstallRun("uninstall of a per-family adapter", UNINSTALL, VISTA_B701, [b702_adapter],
                 ALL_DLLS, False),
    UninstallRun("uninstall of a per-family adapter with a B703 left", UNINSTALL, VISTA_B701,
                 [b702_adapter, b703_adapter], [], False),
    # The legacy flow. Windows would take the recorded "SourcePath" off the
    # installation sources here; Wine ends the process in that call, so the
    # record holds none (the host tests cover the list).
    UninstallRun("legacy uninstall", UNINSTALL, PCIE, [b702_adapter], ALL_DLLS, False),
    # The B701 belongs to the legacy PCI family, which the adapter-left test
    # asks about too.
    UninstallRun("legacy uninstall with a B701 left", UNINSTALL, PCIE,
                 [b702_adapter, b701_adapter], [], False),
    # The USB branches: the property-page DLLs always go, the uninstall DLLs
    # never, whatever adapter is left.
    UninstallRun("uninstall of a USB adapter", UNINSTALL, VISTA_B762, [b762_adapter],
                 PROPERTY_PAGE_DLLS, False),
    UninstallRun("uninstall of a USB adapter with a B702 left", UNINSTALL, VISTA_B762,
                 [b762_adapter, b702_adapter], PROPERTY_PAGE_DLLS, False),
    # The self-deletion: Windows' temporary folder is the user's %TEMP%,
    # Wine's C:\users\<user>\Temp; under Wine the program's file goes some
    # 65 ms after the first stage has ended.
    UninstallRun("uninstaller deletes itself when no adapter is left", UNINSTALLER, VISTA_B701,
                 [b702_adapter], ALL_DLLS, True),
    UninstallRun("uninstaller keeps itself while an adapter is left", UNINSTALLER, VISTA_B701,
                 [b702_adapter, b703_adapter], [], False),
    # The legacy uninstaller keeps the legacy records, "SourcePath" too, and
    # never takes it off the list: Wine runs the whole flow.
    UninstallRun("legacy uninstaller deletes itself when no adapter is left", UNINSTALLER, PCIE,
                 [b702_adapter], ALL_DLLS, True),
]


def uninstall_scenario(run):
    def scenario(context):
        plants = [adapter_plants(make()) for make in run.adapters]
        uninstaller = run.action == UNINSTALLER
        keeps_legacy_records = uninstaller and run.family is PCIE
        setup_state, status, *entry = install_records(run.family.subkey, run.family.status,
                                                      run.family.entry, keeps_legacy_records)
        machine = UninstallMachine(context, plants, [setup_state, status] + entry,
                                   run.family.descriptions + [FOREIGN_DESCRIPTION], ALL_DLLS)
        args = run.action + [run.family.switch]
        what = " ".join(args)
        outcome = machine.uninstall(args)
        context.expect_equal(outcome.exit_code, 0, "exit code of " + what)
        removed = plants[0]
        context.expect_equal(outcome.adapters,
                             tuple(plant.adapter.instance_id for plant in plants[1:]),
                             "the adapters left")
        context.expect(not machine.driver_key_left(removed), "the removed adapter's driver key")
        gone = set(removed.infs) | {removed.connection, status[0]} | set(run.dlls_deleted)
        gone |= {(DESCRIPTIONS_KEY, name) for name in run.family.descriptions}
        if not keeps_legacy_records:
            gone.add(setup_state[0])
        if uninstaller:
            gone |= {key for key, _ in entry}
        expect_planted(context, outcome, gone, what)
        context.expect_equal((outcome.program, outcome.temp_left), (not run.self_deleted, False),
                             "(the program there, a temporary copy left)")
        if uninstaller:
            context.expect_equal(outcome.log, None, "the uninstaller's log")
        else:
            lines = log_lines(outcome)
            for line in ["Starting Uninstall...",
                         "InfPath = '%s'" % removed.adapter.driver_values["InfPath"],
                         "Exit code: = 0"]:
                context.expect(line in lines, "%r in the log of %s" % (line, what))
    return scenario


def all_scenarios():
    return [(run.name, uninstall_scenario(run)) for run in UNINSTALL_RUNS]
