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
from scenarios import APP_DIR, EXE

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
    driver_file = "cvle62x64.sys" if context.bits == 64 else "cvle62x86.sys"
    for name in ("netcvl.inf", "cvlnet.cat", driver_file):
        target = prefix.host_path(APP_DIR + r"\drivers\win7")
        os.makedirs(target, exist_ok=True)
        shutil.copy(os.path.join(DRIVER_PACKAGE, name), target)

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
        captured = prefix.wine(CAPTURE_EXE, windows_path_of_host(image), "/package",
                               cwd=prefix.host_path(APP_DIR), native_dlls=("cfgmgr32",))
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


def all_scenarios():
    return [("capture loop: capture a prefix, replay on the capture and under Wine",
             capture_and_replay)]
