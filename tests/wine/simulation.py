"""The simulated side of a scenario: the same command line run by the host
runner against a machine image made to match the Wine prefix, so that the two
worlds can be compared where both can run it."""

import os
import re
import subprocess
import tempfile

import registry_file
from wine_prefix import NET_CLASS_KEY, drive_c_path

# Exit statuses of the runner itself (a wrong command line, a bad image, a
# machine that could not be read back or saved); cvlsetup's own codes are
# all smaller.
RUNNER_FAILURES = {64, 65, 70, 73}

DRIVER_TEXT = re.compile(r'(\S+?)="((?:[^"]|"")*)"')


class Simulation:
    """Runs cvlsetup-host on a fresh image a run, on a machine that reports
    `version` (a machine image's version line)."""

    def __init__(self, runner, version):
        self.runner = runner
        self.version = version

    def run(self, args, program, current_dir, files=(), tools=(), devices=(), registry=(),
            contents=(), faults=()):
        """Runs `args` with the program at `program` (a C: path) and the files
        named (C: paths) present; `tools` are (C: path, exit code) pairs of
        programs the run may start, `devices` the device rows of machine.txt
        and `registry` (key, {name: value}) pairs the machine holds besides.
        `contents` are (C: path, bytes) of files whose content matters, and
        `faults` (platform call, last error) pairs of calls that always fail.
        Returns (exit code, the saved image's folder object); the caller
        reads the image before the folder goes."""
        work = tempfile.TemporaryDirectory(prefix="cvl-sim-")
        image = os.path.join(work.name, "image")
        for path in [program, *files, *(tool for tool, _ in tools)]:
            host = drive_c_path(image, path)
            os.makedirs(os.path.dirname(host), exist_ok=True)
            with open(host, "wb") as file:
                file.write(b"MZ")
        for path, data in contents:
            host = drive_c_path(image, path)
            os.makedirs(os.path.dirname(host), exist_ok=True)
            with open(host, "wb") as file:
                file.write(data)
        settings = [
            "version = " + self.version,
            "windows_dir = C:\\windows",
            "temp_dir = C:\\windows\\Temp\\",
            "current_dir = " + current_dir,
            "program = " + program,
        ] + ["tool_exit_code = %s %d" % (tool, code) for tool, code in tools]
        settings += ["device = " + row for row in devices]
        settings += ["fault = %s 0x%X" % (call, error) for call, error in faults]
        with open(os.path.join(image, "machine.txt"), "w") as machine:
            machine.write("\n".join(settings) + "\n")
        with open(os.path.join(image, "registry.reg"), "w") as file:
            file.write(registry_file.registry_text([(r"HKCU\Software", {})] + list(registry)))
        saved = os.path.join(work.name, "saved")
        result = subprocess.run([self.runner, "--machine", image, "--save", saved, "--", *args],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        if result.returncode in RUNNER_FAILURES or not os.path.isdir(saved):
            raise RuntimeError("cvlsetup-host ended with %d and saved no machine: %s" % (
                result.returncode, result.stderr.decode(errors="replace")))
        return result.returncode, SavedImage(work, saved, result.stdout.decode(errors="replace"))


class SavedImage:
    def __init__(self, work, root, report):
        self._work = work
        self.root = root
        # What happened to devices, in order: ("disable", instance id). The
        # waits and re-enumerations of the timeline are left out, and the
        # driver updates are kept apart, as (instance id, INF path): under
        # Wine the test DLLs record switches and updates in different places.
        self.timeline = []
        self.updates = []
        # How many times the device tree was re-enumerated.
        self.reenumerations = 0
        section = None
        for line in report.splitlines():
            if not line.startswith(" "):
                section = line.rstrip(":")
            elif section == "Timeline" and line.strip():
                change, _, subject = line.strip().partition(" ")
                if change == "update":
                    instance, _, inf = subject.partition(" ")
                    self.updates.append((instance.upper(), inf))
                elif change == "reenumerate":
                    self.reenumerations += 1
                elif change != "sleep":
                    self.timeline.append((change, subject.upper()))

    def _host_path(self, path):
        """The host path of a C: path, its names matched as Windows matches
        them, whatever their case: a folder the run made may be spelled
        otherwise than the scenario asks for it. None when a part is
        missing."""
        host = os.path.join(self.root, "drive_c")
        for part in drive_c_path("", path).split(os.sep)[1:]:
            if not os.path.isdir(host):
                return None
            names = {name.lower(): name for name in os.listdir(host)}
            if part.lower() not in names:
                return None
            host = os.path.join(host, names[part.lower()])
        return host

    def file_bytes(self, path):
        host = self._host_path(path)
        if host is None or not os.path.isfile(host):
            return None
        with open(host, "rb") as file:
            return file.read()

    def listing(self, folder):
        """The names in a folder; none when it is not there."""
        host = self._host_path(folder)
        return set(os.listdir(host)) if host and os.path.isdir(host) else set()

    def value(self, key, name):
        """(type, value) of a registry value, or None. A device's driver texts
        live in its row, everything else in registry.reg."""
        with open(os.path.join(self.root, "registry.reg"), "rb") as registry:
            keys = registry_file.parse(registry_file.decode(registry.read()))
        found = registry_file.find_value(keys, key, name)
        parent, _, driver = key.rpartition("\\")
        if found is None and parent.lower() == NET_CLASS_KEY.lower():
            found = self._driver_text(driver, name)
        return found

    def registry_keys(self):
        """The keys of registry.reg, parsed, in the file's order."""
        with open(os.path.join(self.root, "registry.reg"), "rb") as registry:
            return registry_file.parse(registry_file.decode(registry.read()))

    def device_ids(self):
        """The instance ids of the devices the machine still has, upper case."""
        with open(os.path.join(self.root, "machine.txt")) as machine:
            return [row.split(" | ")[0].strip().upper() for key, _, row in
                    (line.partition("=") for line in machine) if key.strip() == "device"]

    def dword(self, key, name):
        found = self.value(key, name)
        return found[1] if found and found[0] == registry_file.REG_DWORD else None

    def _driver_text(self, driver, name):
        with open(os.path.join(self.root, "machine.txt")) as machine:
            for line in machine:
                key, _, row = line.partition("=")
                if key.strip() != "device":
                    continue
                fields = row.split(" | ")
                part = next((f for f in fields if f.startswith("driver=" + driver)), None)
                if part is None:
                    continue
                for value_name, text in DRIVER_TEXT.findall(part):
                    if value_name.lower() == name.lower():
                        return registry_file.REG_SZ, text.replace('""', '"')
        return None

    def close(self):
        self._work.cleanup()
