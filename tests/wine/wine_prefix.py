"""Wine prefixes for the end-to-end tests: one template per session, one
fresh copy per scenario, and the few ways a scenario talks to Wine."""

import functools
import glob
import os
import shutil
import subprocess
import tempfile

import registry_file

NET_CLASS_KEY = (r"HKLM\System\CurrentControlSet\Control\Class"
                 r"\{4d36e972-e325-11ce-bfc1-08002be10318}")
AEDEBUG_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"
WINE_DRIVERS_KEY = r"HKCU\Software\Wine\Drivers"
# Its "Version" names the Windows version Wine reports to every program.
WINE_VERSION_KEY = r"HKCU\Software\Wine"
# The loader of 32-bit programs, from Debian's wine32, and of 64-bit ones,
# from wine64.
WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"
# The one probe of whether this machine's kernel runs 32-bit programs.
PROBE_32_BIT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                            "can-run-32-bit.sh")

# A wine call that does not end within this time has hung.
CALL_TIMEOUT = 120


class WineError(Exception):
    pass


def drive_c_path(root, windows_path):
    """The Linux path of a path on drive C: of a prefix or machine image."""
    drive, _, rest = windows_path.partition(":")
    if drive.upper() != "C":
        raise ValueError("only drive C: is mapped: " + windows_path)
    return os.path.join(root, "drive_c", *[part for part in rest.split("\\") if part])


@functools.lru_cache(maxsize=None)
def thirty_two_bit_programs_run():
    """(whether this machine runs 32-bit programs, the probe's line)."""
    probe = subprocess.run([PROBE_32_BIT], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=60)
    return probe.returncode == 0, probe.stdout.decode(errors="replace").strip()


def wine_command():
    """How a Windows program is started. Where 32-bit programs cannot run,
    Debian's `wine` wrapper must be passed by once wine32 is installed: it
    starts the 32-bit loader for every program. The 64-bit loader runs the
    64-bit programs and Wine's own tools directly."""
    if thirty_two_bit_programs_run()[0]:
        return ["wine"]
    return [WINE64_LOADER]


def wine_environment(prefix, trace, arch):
    env = dict(os.environ)
    if not thirty_two_bit_programs_run()[0]:
        # Programs started by Wine itself (services, wineboot's children) go
        # through the same loader.
        env["WINELOADER"] = WINE64_LOADER
    # Without a display a message box returns at once instead of waiting.
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env["WINEPREFIX"] = prefix
    env["WINEDEBUG"] = trace or "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    env["WINEARCH"] = arch
    return env


class Prefix:
    """One Wine prefix and its running server. `arch` is "win64" or
    "win32"."""

    def __init__(self, root, trace=None, arch="win64"):
        self.root = root
        self.arch = arch
        self.env = wine_environment(root, trace, arch)

    def host_path(self, windows_path):
        return drive_c_path(self.root, windows_path)

    def run(self, args, cwd=None, timeout=CALL_TIMEOUT, debug=None, native_dlls=(), env=None):
        """`debug` replaces WINEDEBUG for this call; `native_dlls` are the
        DLLs the system folder holds in place of Wine's own (see
        replace_system_dll), taken as Windows takes them; `env` holds
        further environment variables for this call."""
        env = dict(self.env, **(env or {}))
        if debug:
            env = dict(env, WINEDEBUG=debug)
        if native_dlls:
            overrides = ";".join([env["WINEDLLOVERRIDES"]] +
                                 ["%s=n,b" % name for name in native_dlls])
            env = dict(env, WINEDLLOVERRIDES=overrides)
        # Output goes to files, not pipes: the services a call starts inherit
        # its output handles, and a pipe would then not end with the call.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            try:
                process = subprocess.run(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                         stdout=out, stderr=err, timeout=timeout)
            except subprocess.TimeoutExpired as error:
                self.stop()
                raise WineError("timed out: " + " ".join(args)) from error
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, process.returncode, out.read(), err.read())

    def temporary_folders(self):
        """The host paths of the users' temporary folders (GetTempPathW)."""
        return glob.glob(os.path.join(self.root, "drive_c", "users", "*", "Temp"))

    def system_folder(self):
        """The host path of the system folder of the prefix's own
        architecture, the one its programs load system DLLs from."""
        return self.host_path(r"C:\windows\system32")

    def replace_system_dll(self, source, name=None):
        """Puts a DLL into the system folder in place of Wine's file of that
        name. The file there is a hard link shared with the template: it is
        unlinked first, never written through."""
        target = os.path.join(self.system_folder(), name or os.path.basename(source))
        if os.path.lexists(target):
            os.remove(target)
        shutil.copy(source, target)

    def wine(self, *args, cwd=None, debug=None, native_dlls=(), env=None):
        return self.run([*wine_command(), *args], cwd=cwd, debug=debug, native_dlls=native_dlls,
                        env=env)

    def checked_wine(self, *args, cwd=None):
        result = self.wine(*args, cwd=cwd)
        if result.returncode != 0:
            raise WineError("wine %s ended with %d: %s" % (
                " ".join(args), result.returncode, result.stderr.decode(errors="replace")))
        return result

    def reg(self, *args, checked=False):
        """Wine's reg.exe on the registry the program sees. With wine32
        installed, `wine reg` (and `wine regedit`) is the 32-bit tool, which
        reads and writes the 32-bit view of HKLM\\Software (Wow6432Node) in
        a 64-bit prefix; the 64-bit program uses the 64-bit view."""
        view = ["/reg:64"] if self.arch == "win64" else []
        call = self.checked_wine if checked else self.wine
        return call("reg", *args, *view)

    def reg_add(self, key, name, reg_type, data):
        self.reg("add", key, "/v", name, "/t", reg_type, "/d", data, "/f", checked=True)

    def reg_delete(self, key):
        self.reg("delete", key, "/f", checked=True)

    def import_registry(self, keys):
        """Loads (key, {name: value}) pairs with one reg import call."""
        windows_path = r"C:\cvl-import.reg"
        host = self.host_path(windows_path)
        with open(host, "wb") as file:
            file.write(registry_file.encode(registry_file.registry_text(keys)))
        try:
            self.reg("import", windows_path, checked=True)
        finally:
            os.remove(host)

    def export_registry(self, key, missing_ok=False):
        """The keys and values below `key`, parsed, in the registry's order;
        with `missing_ok`, none when `key` is not there."""
        windows_path = r"C:\cvl-export.reg"
        host = self.host_path(windows_path)
        # On a busy machine an export of a key that is there has been seen
        # to fail once: it is tried again, and a key that is there but cannot
        # be read is an error, never an empty key.
        for _ in range(3):
            exported = self.reg("export", key, windows_path, "/y")
            try:
                if exported.returncode == 0 and os.path.exists(host):
                    with open(host, "rb") as file:
                        return registry_file.parse(registry_file.decode(file.read()))
            finally:
                if os.path.exists(host):
                    os.remove(host)
            if missing_ok and self.reg("query", key).returncode != 0:
                return []
        raise WineError("reg export %s failed: %s" % (
            key, exported.stderr.decode(errors="replace")))

    def reg_query(self, key, name):
        """(type, data text) of a value, or None when it is not there."""
        result = self.reg("query", key, "/v", name)
        if result.returncode != 0:
            return None
        for line in result.stdout.decode(errors="replace").splitlines():
            if not line.startswith("    "):
                continue
            fields = line.strip().split("    ")
            if len(fields) >= 2 and fields[0].lower() == name.lower():
                return fields[1], (fields[2] if len(fields) > 2 else "")
        return None

    def start_server(self):
        # A persistent server keeps the calls of one scenario quick; the
        # warm-up call keeps the first piped call from hanging on services
        # that inherit its output.
        self.run(["wineserver", "-p"])
        self.wine("cmd", "/c", "exit", "0")

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)


def why_no_32_bit_programs():
    """Why Wine cannot run the 32-bit program here, or None when it can."""
    runs, line = thirty_two_bit_programs_run()
    if not runs:
        return line
    if not os.path.isfile(WINE32_LOADER):
        return "wine32 is not installed (scripts/install-deps.sh installs it)"
    return None


def wine_available():
    """Whether the Wine programs the harness starts are here."""
    loader = wine_command()[0]
    return bool(shutil.which(loader)) and bool(shutil.which("wineserver"))


def build_template(root, trace=None, arch="win64"):
    """A booted prefix of `arch` with what every scenario expects of the
    machine. A prefix left at `root` by an earlier suite run is used again
    when it still starts programs, and made anew otherwise: a 64-bit prefix
    made before wine32 was installed no longer loads kernel32.dll."""
    template = Prefix(root, trace, arch)
    if os.path.isdir(root):
        problem = template_problem(template)
        if problem is None:
            return template
        print("template prefix %s is stale (%s): making it anew" % (root, problem))
        remove_prefix(template)
    # The `wineboot` script starts the `wine` wrapper: go through the loader.
    booted = template.run([*wine_command(), "wineboot.exe", "-i"], timeout=300)
    if booted.returncode != 0:
        raise WineError("wineboot failed: " + booted.stderr.decode(errors="replace"))
    # The network class is listed by name only once its key names it.
    template.reg_add(NET_CLASS_KEY, "Class", "REG_SZ", "Net")
    # No crash dialogs, and no graphics driver for message boxes to wait on.
    template.reg_add(AEDEBUG_KEY, "Debugger", "REG_SZ", "")
    template.reg_add(WINE_DRIVERS_KEY, "Graphics", "REG_SZ", "none")
    problem = template_problem(template)
    if problem is not None:
        raise WineError("the new %s prefix does not start programs: %s" % (arch, problem))
    return template


def template_problem(template):
    """Why a prefix cannot serve as a template, or None when it can: it must
    be of the expected architecture, start a program, and hold the network
    class name the scenarios rely on. Leaves the prefix's server stopped."""
    try:
        wrong_arch = (template.arch == "win32") != (
            not os.path.isdir(os.path.join(template.root, "drive_c", "windows", "syswow64")))
        if wrong_arch:
            return "not a %s prefix" % template.arch
        started = template.wine("cmd", "/c", "exit", "7")
        if started.returncode != 7:
            return "a program ended with %d: %s" % (
                started.returncode, started.stderr.decode(errors="replace").strip()[-300:])
        if template.reg_query(NET_CLASS_KEY, "Class") != ("REG_SZ", "Net"):
            return "the network class key has no name"
        return None
    except WineError as error:
        return str(error)
    finally:
        template.stop()


# Wine's own program files in a prefix: most of its size (some 1.2 GB of a
# 64-bit prefix with wine32). No scenario writes into them, so the copies
# share them with the template through hard links.
SHARED_FOLDERS = [os.path.join("drive_c", "windows", name)
                  for name in ("system32", "syswow64", "winsxs")]


def copy_prefix(template, root, trace=None):
    """A copy of the template. Everything but Wine's own program files is
    copied: a shared file written in place (the registry files, a file a
    scenario plants over) would change the template too."""
    shutil.rmtree(root, ignore_errors=True)  # a failure kept by an earlier suite run
    subprocess.run(["cp", "-al", template.root, root], check=True)
    for folder, subfolders, names in os.walk(root):
        relative = os.path.relpath(folder, root)
        subfolders[:] = [name for name in subfolders
                         if os.path.join(relative, name) not in SHARED_FOLDERS]
        for name in names:
            path = os.path.join(folder, name)
            if os.path.islink(path):
                continue
            own = path + ".cvl-copy"
            shutil.copy2(path, own)
            os.replace(own, path)
    prefix = Prefix(root, trace, template.arch)
    prefix.start_server()
    return prefix


def remove_prefix(prefix):
    prefix.stop()
    shutil.rmtree(prefix.root, ignore_errors=True)
