"""The capture loop: cvlcapture.exe writes a machine image of a prefix that
holds Corvane adapters, their driver keys, published INF files and setup
state; the host runner replays a cvlsetup command line against that image,
and the same command line runs under Wine on the prefix. Both must end with
the same exit code, log and device switches, and make the same registry and
file changes outside the device tree. The capture itself must leave the
prefix exactly as it was.

The node status comes from the test cfgmgr32.dll for both the capture and
cvlsetup, as in the device scenarios: Wine's own reports 0 for every node."""

import hashlib
import json
import os
import re
import shutil
import subprocess
import tempfile

import devices as dev
import registry_file
from device_scenarios import DeviceMachine, SETUP_STATE_KEY, log_lines, running_b702
from scenarios import APP_DIR, EXE, NET_CLASS_GUID

CAPTURE_EXE = APP_DIR + r"\cvlcapture.exe"
REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DRIVER_PACKAGE = os.path.join(REPO, "examples", "driver-package")
PACKAGE_INF = r"drivers\win7\netcvl.inf"
PUBLISHED_INF = r"C:\windows\inf\oem3.inf"
# What a capture must not change: the registry cvlsetup works on, and every
# file of C:.
WATCHED_KEYS = [r"HKLM\System\CurrentControlSet", r"HKLM\Software", r"HKCU\Software"]
# What a replay and a Wine run must change alike: cvlsetup's state, the
# maker's settings, the Uninstall entries and the compatibility mark, and the
# INF files of the driver store. Left out: the device tree, since under Wine
# the test cfgmgr32.dll and newdev.dll record the switches and driver
# updates instead of making them; and the installation-source list, which
# Wine's SetupAddToSourceListW leaves alone (see install_scenarios).
COMPARED_KEYS = [
    r"HKLM\Software\CVLSetup", r"HKLM\Software\Corvane",
    r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall",
    r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Compatibility Assistant",
]
HIVES = {"hkey_local_machine": "hklm", "hkey_current_user": "hkcu"}
# Wine publishes an INF under its own name, Windows and the simulated
# machine as oemNN.inf: a value naming a file of the INF folder is compared
# as such, and the folder's files by their contents.
PUBLISHED_PATH = re.compile(r"^[a-z]:\\windows\\inf\\[^\\]+\.inf$", re.IGNORECASE)


def windows_path_of_host(path):
    """Wine's Z: drive is the host's root folder."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def drive_c_digest(prefix):
    """{path: SHA-256} of every file of C:, links left as links."""
    root = prefix.host_path("C:\\")
    digests = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.islink(path):
                digests[os.path.relpath(path, root)] = "link " + os.readlink(path)
                continue
            with open(path, "rb") as file:
                digests[os.path.relpath(path, root)] = hashlib.sha256(file.read()).hexdigest()
    return digests


def registry_state(prefix):
    """{key folded: {value name: (name, type, value)}} of the watched keys.
    Wine's SetupAPI writes a listed device's ClassGUID back in upper case
    whenever a program lists the devices (cvlsetup's own listing does it
    too; Windows writes nothing), so that value is compared without case."""
    state = {}
    for root in WATCHED_KEYS:
        for key, values in prefix.export_registry(root):
            if "classguid" in values:
                name, value_type, text = values["classguid"]
                values = dict(values, classguid=(name, value_type, text.lower()))
            state[key.lower()] = values
    return state


def registry_differences(before, after):
    """Readable lines for what differs, at most a few."""
    lines = ["+ key " + key for key in sorted(set(after) - set(before))]
    lines += ["- key " + key for key in sorted(set(before) - set(after))]
    for key in sorted(set(before) & set(after)):
        if before[key] != after[key]:
            names = set(before[key]) | set(after[key])
            lines += ["~ %s\\%s: %r -> %r" % (key, name, before[key].get(name),
                                              after[key].get(name))
                      for name in sorted(names) if before[key].get(name) != after[key].get(name)]
    return lines[:12]


def short_key(key):
    """A key folded, with its hive as HKLM or HKCU."""
    hive, _, rest = key.lower().partition("\\")
    return HIVES.get(hive, hive) + ("\\" + rest if rest else "")


def value_state(keys):
    """{key\\name folded: (type, value)} of the compared keys' values in
    parsed registry keys."""
    roots = [short_key(root) for root in COMPARED_KEYS]
    state = {}
    for key, values in keys:
        folded = short_key(key)
        if any(folded == root or folded.startswith(root + "\\") for root in roots):
            for name, (_, value_type, value) in values.items():
                if isinstance(value, str) and PUBLISHED_PATH.match(value):
                    value = "an INF of the driver store"
                state[folded + "\\" + name] = (value_type, value)
    return state


def wine_value_state(prefix):
    """The compared values of the prefix in the view the program writes (the
    64-bit one in a 64-bit prefix); a missing key holds nothing."""
    keys = []
    for root in COMPARED_KEYS:
        keys += prefix.export_registry(root, missing_ok=True)
    return value_state(keys)


def image_value_state(image):
    with open(os.path.join(image, "registry.reg"), "rb") as file:
        return value_state(registry_file.parse(registry_file.decode(file.read())))


def published_infs(folder):
    """{SHA-256: "INF"} of the .inf files of an INF folder, by contents
    since the names differ (see PUBLISHED_PATH). The .PNF files are left
    out: Wine's SetupCopyOEMInf writes none."""
    infs = {}
    if os.path.isdir(folder):
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            if name.lower().endswith(".inf") and os.path.isfile(path):
                with open(path, "rb") as file:
                    infs[hashlib.sha256(file.read()).hexdigest()] = "INF"
    return infs


def image_inf_folder(image):
    """The image's INF folder, whatever case the capture gave its names."""
    folder = os.path.join(image, "drive_c")
    for name in ("windows", "inf"):
        entries = os.listdir(folder) if os.path.isdir(folder) else []
        folder = os.path.join(folder, next((e for e in entries if e.lower() == name), name))
    return folder


def changes(before, after, other_before):
    """{item: what it became, None when it went} of what differs from
    `before` to `after`, leaving out what the other side already held at its
    start (a value an earlier Wine run on the prefix wrote, such as the
    compatibility mark, is no change there but is one in a replay that
    starts from the capture)."""
    changed = {}
    for item in set(before) | set(after):
        now = after.get(item)
        if before.get(item) != now and other_before.get(item) != now:
            changed[item] = now
    return changed


def publish_inf(prefix):
    """A published INF with its precompiled form, as the driver store keeps
    them; the adapter's driver key names it."""
    inf = prefix.host_path(PUBLISHED_INF)
    with open(inf, "w", newline="\r\n") as file:
        file.write("[Version]\nSignature=\"$Windows NT$\"\nClass=Net\n"
                   "ClassGUID={4d36e972-e325-11ce-bfc1-08002be10318}\n"
                   "DriverVer=05/07/2016,8.045.0507.2016\n")
    with open(inf[:-4] + ".PNF", "wb") as file:
        file.write(b"PNF\x01\x02")


def place_driver_package(prefix, driver_files=("cvle62x64.sys", "cvle62x86.sys")):
    """The Windows 7 driver package beside the program, where /package
    captures it from."""
    target = prefix.host_path(APP_DIR + r"\drivers\win7")
    os.makedirs(target, exist_ok=True)
    for name in ("netcvl.inf", "cvlnet.cat", *driver_files):
        shutil.copy(os.path.join(DRIVER_PACKAGE, name), target)


def capture_with_package(prefix, image):
    """cvlcapture.exe's run into the host folder `image`, with the package."""
    return prefix.wine(CAPTURE_EXE, windows_path_of_host(image), "/package",
                       cwd=prefix.host_path(APP_DIR), native_dlls=("cfgmgr32",))


def replay(context, image, args, saved):
    """(exit code, log lines, device switches) of the host runner's run of
    `args` against the captured image; the changed machine goes to `saved`."""
    result = subprocess.run([context.simulation.runner, "--machine", image, "--save", saved,
                             "--report", "json", "--", *args], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=60)
    if result.returncode >= 64:
        raise RuntimeError("cvlsetup-host ended with %d: %s" % (
            result.returncode, result.stderr.decode(errors="replace")))
    report = json.loads(result.stdout)
    switches = []
    for line in report["timeline"]:
        change, _, subject = line.partition(" ")
        if change in ("disable", "enable"):
            switches.append((change, subject.upper()))
    lines = report["installLog"]["lines"] if report["installLog"] else []
    return report["exitCode"] & 0xFF, lines, tuple(switches)


def capture_and_replay(context):
    """A prefix with a running B702 adapter, its published INF, the family's
    setup state and the driver package beside the program is captured;
    recording the presence answer, switching the family's adapters off and
    on, recording the package version, the install and the uninstall then run
    alike on the capture and under Wine."""
    if not context.simulation:
        context.notes.append("no host runner given: only the capture's read-only check ran")
    prefix = context.prefix
    machine = DeviceMachine(context, [running_b702()])
    publish_inf(prefix)
    prefix.import_registry([(SETUP_STATE_KEY + r"\VISTA_B701", {"InfName": PUBLISHED_INF})])
    # The driver package beside the program, captured with /package.
    place_driver_package(prefix, ("cvle62x64.sys" if context.bits == 64 else "cvle62x86.sys",))

    files_before = drive_c_digest(prefix)
    registry_before = registry_state(prefix)
    with tempfile.TemporaryDirectory(prefix="cvl-capture-") as work:
        image = os.path.join(work, "image")
        # A wrong command line or a folder that holds something ends with 2
        # and writes nothing.
        for args in ([], [APP_DIR], [windows_path_of_host(image), "/bogus"]):
            refused = prefix.wine(CAPTURE_EXE, *args, cwd=prefix.host_path(APP_DIR))
            context.expect_equal(refused.returncode, 2, "cvlcapture %s" % " ".join(args))
            context.expect("usage: cvlcapture.exe" in refused.stderr.decode(errors="replace")
                           or args == [APP_DIR], "the usage text for %r" % args)
        context.expect(not os.path.exists(image), "a refused capture wrote nothing")
        captured = capture_with_package(prefix, image)
        context.expect(captured.returncode in (0, 1), "cvlcapture ended with %d: %s" % (
            captured.returncode, captured.stderr.decode(errors="replace")[-2000:]))
        context.expect_equal(registry_differences(registry_before, registry_state(prefix)), [],
                             "the prefix's registry after the capture")
        context.expect_equal(drive_c_digest(prefix), files_before,
                             "the prefix's files after the capture")
        context.expect(os.path.isfile(os.path.join(image, "machine.txt")),
                       "the capture finished its image")
        if captured.returncode == 1:
            context.notes.append("items left out: " + " / ".join(
                line for line in captured.stderr.decode(errors="replace").splitlines()
                if line.startswith("cvlcapture:"))[:400])
        if not context.simulation or context.failures:
            return
        # Each replay starts from the capture, while the Wine runs follow one
        # another on the prefix; no run reads what an earlier one left
        # (NicExist, NewDrvVer), and Wine switches no adapter (it only
        # records the request). So a run that looks at an adapter again
        # after switching it (a restart, or the per-family walk that checks
        # its work) is left to the host tests. The install and the uninstall
        # come last: they change what the others read.
        captured_values = image_value_state(image)
        captured_infs = published_infs(image_inf_folder(image))
        wine_infs = prefix.host_path(r"C:\windows\inf")
        for number, args in enumerate((
                ["/chknicexist", "/vistab701"], ["/dnicdrv", "/b702"], ["/enicdrv", "/b702"],
                ["/q", "/vistab701", "/f", PACKAGE_INF], ["/i", "/vistab701", "/f", PACKAGE_INF],
                ["/u", "/vistab701", "/s"])):
            values_before, infs_before = wine_value_state(prefix), published_infs(wine_infs)
            wine, _, _ = machine.run(args)
            values_after, infs_after = wine_value_state(prefix), published_infs(wine_infs)
            saved = os.path.join(work, "after-%d" % number)
            simulated = replay(context, image, args, saved)
            what = " ".join(args)
            context.expect_equal(simulated, (wine.exit_code, log_lines(wine), wine.switches),
                                 "the capture's replay against Wine for " + what)
            wine_values = changes(values_before, values_after, captured_values)
            wine_files = changes(infs_before, infs_after, captured_infs)
            context.notes.append(
                "%s: exit code %d, %d log lines, %d switches, %d values and %d INF files changed"
                % (what, wine.exit_code, len(log_lines(wine)), len(wine.switches),
                   len(wine_values), len(wine_files)))
            context.expect_equal(
                changes(captured_values, image_value_state(saved), values_before), wine_values,
                "the registry changes of the replay and of Wine for " + what)
            context.expect_equal(
                changes(captured_infs, published_infs(image_inf_folder(saved)), infs_before),
                wine_files, "the INF files the replay and Wine change for " + what)


# What Windows writes into the instance key of a device it has found but
# installed no driver for (the adapter of a first install). The kernel's
# plug-and-play manager writes what the bus driver reports when it
# enumerates the device: the hardware and compatible ids, the bus's
# description of the device and of where it sits, its capabilities and
# ConfigFlags; the setup that then finds no driver marks the install as
# failed (CONFIGFLAG_FAILEDINSTALL). ClassGUID, Class, Driver and Service
# are written by SetupAPI when it installs a driver: the class of the
# driver's INF. An install that selected a driver and then stopped leaves a
# ClassGUID without a Class; before any driver was tried there is neither.
CONFIGFLAG_FAILEDINSTALL = 0x40
DN_HAS_PROBLEM = 0x400
BARE_INSTALL = ["/i", "/vistab701", "/f", PACKAGE_INF]


def bare_adapter_keys(instance_id, class_guid):
    adapter = dev.pci_adapter("B702", "00011043", "06", instance_id.rpartition("\\")[2])
    values = {"HardwareID": adapter.hardware_ids, "CompatibleIDs": adapter.compatible_ids,
              "DeviceDesc": "PCI Ethernet Controller",
              "LocationInformation": "PCI bus 3, device 0, function 0",
              "Capabilities": 0, "ConfigFlags": CONFIGFLAG_FAILEDINSTALL}
    if class_guid:
        values["ClassGUID"] = class_guid
    return adapter.instance_id, values


def device_rows(image):
    """{instance id upper case: its fields} of an image's device rows."""
    rows = {}
    with open(os.path.join(image, "machine.txt"), encoding="utf-8") as machine:
        for line in machine:
            key, _, row = line.partition("=")
            if key.strip() == "device":
                fields = [field.strip() for field in row.split(" | ")]
                rows[fields[0].upper()] = fields[1:]
    return rows


def adapters_without_a_driver(context):
    """A first install as a technician finds it: two present B702 adapters
    that have no driver yet, one whose key holds a ClassGUID but no Class,
    one with neither. The capture keeps the first as a present device whose
    row says its Class value is missing, and a replayed install of the
    driver package updates it, as the install on the machine would, instead
    of finding no device for its id.

    Wine's SetupAPI lists only devices whose key holds a ClassGUID, so the
    second adapter is not present under Wine and has no row: its keys are
    captured as they are (the host tests capture it as present, as Windows
    lists it). Wine also writes the ClassGUID and Class of every device it
    lists into its key; the capture reads the class values before it asks
    for the list, so the row holds what the key held."""
    prefix = context.prefix
    with_guid, with_guid_values = bare_adapter_keys("4&2A1F3A70&0&00E8", NET_CLASS_GUID)
    bare, bare_values = bare_adapter_keys("4&2A1F3A70&0&00EC", None)
    prefix.import_registry([
        (dev.ENUM_KEY + "\\" + with_guid, with_guid_values),
        (dev.ENUM_KEY + "\\" + bare, bare_values),
        (dev.NODE_STATUS_KEY, {with_guid: DN_HAS_PROBLEM | dev.DN_NT_ENUMERATOR,
                               bare: DN_HAS_PROBLEM | dev.DN_NT_ENUMERATOR})])
    prefix.replace_system_dll(context.test_dlls["cfgmgr32"])
    place_driver_package(prefix)

    with tempfile.TemporaryDirectory(prefix="cvl-capture-") as work:
        image = os.path.join(work, "image")
        captured = capture_with_package(prefix, image)
        notes = captured.stderr.decode(errors="replace")
        context.expect_equal(captured.returncode, 0, "cvlcapture's exit code (%s)" % notes[-600:])
        if not os.path.isfile(os.path.join(image, "machine.txt")):
            context.failures.append("the capture wrote no machine.txt")
            return
        rows = device_rows(image)
        hardware = "hardware=" + ",".join(with_guid_values["HardwareID"])
        compatible = "compatible=" + ",".join(with_guid_values["CompatibleIDs"])
        context.expect_equal(rows.get(with_guid.upper()),
                             ["class=(no value) " + NET_CLASS_GUID, "state=stopped", hardware,
                              compatible], "the row of the adapter with a ClassGUID only")
        context.expect(bare.upper() not in rows, "no row for the adapter Wine does not list")
        image_keys = registry_file.parse(registry_file.decode(
            open(os.path.join(image, "registry.reg"), "rb").read()))
        for instance, values in ((with_guid, with_guid_values), (bare, bare_values)):
            key = dev.ENUM_KEY + "\\" + instance
            context.expect_equal(registry_file.find_value(image_keys, key, "Class"), None,
                                 "a Class value captured for " + instance)
            context.expect_equal(registry_file.find_value(image_keys, key, "ConfigFlags"),
                                 (registry_file.REG_DWORD, CONFIGFLAG_FAILEDINSTALL),
                                 "the ConfigFlags captured for " + instance)
        written = prefix.reg_query(dev.ENUM_KEY + "\\" + with_guid, "Class")
        context.notes.append("row: %s; the key's Class after Wine listed it: %s" % (
            (rows.get(with_guid.upper()) or ["none"])[0], written[1] if written else "none"))
        if not context.simulation:
            context.notes.append("no host runner given: the replayed install did not run")
            return
        result = subprocess.run([context.simulation.runner, "--machine", image, "--save",
                                 os.path.join(work, "saved"), "--report", "json", "--",
                                 *BARE_INSTALL], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=60)
        if result.returncode >= 64:
            context.failures.append("cvlsetup-host ended with %d: %s" % (
                result.returncode, result.stderr.decode(errors="replace")))
            return
        report = json.loads(result.stdout)
        lines = report["installLog"]["lines"] if report["installLog"] else []
        updates = [line.split(" ")[1] for line in report["timeline"] if line.startswith("update ")]
        context.expect_equal(report["exitCode"], 0, "the replayed install's exit code")
        context.expect_equal([update.upper() for update in updates], [with_guid.upper()],
                             "the adapters the replayed install updates")
        # Seven ids in the family's list, one of them the adapter's.
        context.expect_equal(lines.count("Found no devices, preinstalll driver ..."), 6,
                             "ids the replayed install finds no device for")
        context.expect("Driver installed successfully..." in lines,
                       "the replayed install installs the driver: %r" % lines)
        saved = device_rows(os.path.join(work, "saved")).get(with_guid.upper(), [])
        context.expect(any(field.startswith("class=Net") for field in saved) and
                       any(field.startswith("driver=") for field in saved),
                       "the adapter's class and driver after the replay: %r" % saved)
        context.notes.append("replayed %s: exit code %d, updated %s" % (
            " ".join(BARE_INSTALL), report["exitCode"], ", ".join(updates)))


def all_scenarios():
    return [("capture loop: capture a prefix, replay on the capture and under Wine",
             capture_and_replay),
            ("capture of adapters without a driver, and the replayed install updates them",
             adapters_without_a_driver)]
