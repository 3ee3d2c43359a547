#!/usr/bin/env python3
"""Runs the end-to-end scenarios of both cvlsetup.exe programs under Wine and
prints one line a scenario, skipped ones with the reason. Exits 0 when all
that could run passed, 1 when any failed, 77 when Wine is not installed or
none of the selected scenarios could run (CTest counts that as skipped)."""

import argparse
import collections
import concurrent.futures
import os
import re
import shutil
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import capture_scenarios  # noqa: E402
import device_scenarios  # noqa: E402
import generation_scenarios  # noqa: E402
import generations  # noqa: E402
import install_scenarios  # noqa: E402
import library_scenarios  # noqa: E402
import link_scenarios  # noqa: E402
import preview_scenarios  # noqa: E402
import scenarios  # noqa: E402
import simulation  # noqa: E402
import uninstall_scenarios  # noqa: E402
import wine_prefix  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


PROGRAM_NAMES = {"exe": "cvlsetup.exe", "contract_tests": "cvl_platform_contract_tests.exe",
                 "capture": "cvlcapture.exe", "preview": "cvlpreview.exe",
                 "cfgmgr32": "cfgmgr32.dll", "newdev": "newdev.dll", "planted": "planted.dll"}

# One program under test: its bits, the prefix architecture it runs in, its
# build's files by role (PROGRAM_NAMES), and why it cannot run here (None
# when it can).
Target = collections.namedtuple("Target", "bits arch files missing")

# One scenario run: a scenario on one program with Wine reporting one
# Windows generation; `chosen` when the prefix names that generation, not
# when it is Wine's own default.
Run = collections.namedtuple("Run", "name scenario target generation chosen")


def parse_arguments():
    build = os.path.join(REPO, "build-win64")
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", default=os.path.join(build, "cvlsetup.exe"))
    parser.add_argument("--contract-tests",
                        default=os.path.join(build, "cvl_platform_contract_tests.exe"),
                        help="the contract cases of the platform layer, built for Windows")
    parser.add_argument("--capture", default=os.path.join(build, "cvlcapture.exe"))
    parser.add_argument("--preview", default=os.path.join(build, "cvlpreview.exe"),
                        help="the host runner built for Windows, whose reports are compared "
                             "with those of --host-runner")
    parser.add_argument("--cfgmgr32", default=os.path.join(build, "cfgmgr32.dll"),
                        help="the test cfgmgr32.dll that reports chosen node status")
    parser.add_argument("--planted", default=os.path.join(build, "planted.dll"),
                        help="the test DLL that leaves a mark where it is mapped")
    parser.add_argument("--newdev", default=os.path.join(build, "newdev.dll"),
                        help="the test newdev.dll that records driver updates and answers "
                             "\"no such device\" for ids of no device the scenario made")
    parser.add_argument("--exe32",
                        help="the 32-bit cvlsetup.exe; its contract test program, capture "
                             "and preview programs and test DLLs are taken from its folder "
                             "(by default build-win32, whose 32-bit scenarios are reported as "
                             "skipped when it is not built)")
    parser.add_argument("--bits", type=int, choices=(32, 64),
                        help="run only the scenarios of one program")
    parser.add_argument("--host-runner",
                        help="cvlsetup-host of a host build: compare the simulated machine's "
                             "outcome with Wine's where both can run a scenario")
    parser.add_argument("--work", help="folder for the prefixes, where the template prefixes stay "
                                       "for the next suite run (a new temporary one by default)")
    parser.add_argument("-k", "--select", help="run only scenarios whose name matches this")
    parser.add_argument("--keep", action="store_true", help="keep the prefixes of failures")
    parser.add_argument("--trace", help="WINEDEBUG channels, e.g. +relay (default -all)")
    parser.add_argument("--list", action="store_true", help="list the scenarios and stop")
    parser.add_argument("-j", "--jobs", type=int, default=3 * (os.cpu_count() or 1),
                        help="scenarios run at once")
    return parser.parse_args()


def slug(name):
    return re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-")


def install_programs(prefix, target):
    app = prefix.host_path(scenarios.APP_DIR)
    os.makedirs(app, exist_ok=True)
    for role, windows_path in [("exe", scenarios.EXE), ("contract_tests", scenarios.CONTRACT_TESTS),
                               ("capture", capture_scenarios.CAPTURE_EXE),
                               ("preview", preview_scenarios.PREVIEW_EXE)]:
        shutil.copy(target.files[role], prefix.host_path(windows_path))


def run_scenario(template, work, run, options):
    prefix = wine_prefix.copy_prefix(template, os.path.join(work, slug(run.name)), options.trace)
    simulation_side = (simulation.Simulation(options.host_runner, run.generation.version)
                       if options.host_runner else None)
    context = scenarios.Context(prefix, simulation_side,
                                {name: run.target.files[name]
                                 for name in ("cfgmgr32", "newdev", "planted")},
                                run.target.bits, run.generation)
    try:
        install_programs(prefix, run.target)
        if run.chosen:
            prefix.reg_add(wine_prefix.WINE_VERSION_KEY, "Version", "REG_SZ", run.generation.name)
        run.scenario(context)
    except Exception as error:  # one broken scenario must not end the others
        context.failures.append("%s: %s" % (type(error).__name__, error))
    finally:
        if context.failures and options.keep:
            prefix.stop()
            print("  prefix kept: " + prefix.root)
        else:
            wine_prefix.remove_prefix(prefix)
    return context.failures, context.notes


def targets(options):
    """The 64-bit and the 32-bit program, each with its files."""
    files64 = {role: getattr(options, role) for role in PROGRAM_NAMES}
    folder32 = os.path.dirname(options.exe32 or os.path.join(REPO, "build-win32", "x"))
    files32 = {role: os.path.join(folder32, name) for role, name in PROGRAM_NAMES.items()}
    if options.exe32:
        files32["exe"] = options.exe32
    missing32 = wine_prefix.why_no_32_bit_programs()
    if missing32 is None and not options.exe32 and not os.path.isfile(files32["exe"]):
        missing32 = "no 32-bit build in %s (cmake --preset win32)" % folder32
    found = [Target(64, "win64", files64, None), Target(32, "win32", files32, missing32)]
    return [target for target in found if not options.bits or target.bits == options.bits]


def all_runs(found_targets):
    """Every scenario on each program at the default generation, then the
    generation scenarios on each generation Wine reports to the program."""
    common = (scenarios.all_scenarios() + device_scenarios.all_scenarios() +
              install_scenarios.all_scenarios() + uninstall_scenarios.all_scenarios() +
              capture_scenarios.all_scenarios() + library_scenarios.all_scenarios() +
              link_scenarios.all_scenarios() + preview_scenarios.all_scenarios())
    runs = []
    for target in found_targets:
        runs += [Run("%s (%d-bit)" % (name, target.bits), scenario, target, generations.DEFAULT,
                     False) for name, scenario in common]
        runs += [Run("%s (%d-bit %s)" % (name, target.bits, generation.name), scenario, target,
                     generation, True)
                 for generation in generations.BY_BITS[target.bits]
                 for name, scenario in generation_scenarios.all_scenarios(target.bits)
                 if generation_scenarios.runs_on(name, generation)]
    return runs


def main():
    options = parse_arguments()
    found = targets(options)
    selected = [run for run in all_runs(found)
                if not options.select or re.search(options.select, run.name)]
    if options.list:
        for run in selected:
            print(run.name + (": skipped, " + run.target.missing if run.target.missing else ""))
        return 0
    if not wine_prefix.wine_available():
        print("wine is not installed: the Wine scenarios cannot run")
        return 77
    runnable = [run for run in selected if not run.target.missing]
    needed = {path for run in runnable for path in run.target.files.values()}
    for source in sorted(needed) + ([options.host_runner] if options.host_runner else []):
        if not os.path.isfile(source):
            print("missing program: " + source)
            return 2

    work = options.work or tempfile.mkdtemp(prefix="cvl-wine-")
    os.makedirs(work, exist_ok=True)
    failed = []
    try:
        if runnable:
            failed = run_all(runnable, work, options)
    finally:
        # A prefix holds a gigabyte or more; only failures asked to be kept
        # stay.
        if not options.work and not (failed and options.keep):
            shutil.rmtree(work, ignore_errors=True)
    skipped = [run for run in selected if run.target.missing]
    for run in skipped:
        print("SKIP %s: %s" % (run.name, run.target.missing))
    # The last line says at a glance whether every scenario ran.
    print("%d passed, %d failed, %d skipped" % (len(runnable) - len(failed), len(failed),
                                                len(skipped)))
    if failed:
        return 1
    return 77 if skipped and not runnable else 0


def run_all(runs, work, options):
    """Runs the scenarios; returns the names of those that failed."""
    started = time.monotonic()
    arches = sorted({run.target.arch for run in runs})
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, len(arches))) as pool:
        templates = dict(zip(arches, pool.map(
            lambda arch: wine_prefix.build_template(os.path.join(work, "template-" + arch),
                                                    options.trace, arch), arches)))
    print("template prefixes (%s) ready in %.1f s" % (", ".join(arches),
                                                     time.monotonic() - started))

    def run_one(run):
        begun = time.monotonic()
        failures, notes = run_scenario(templates[run.target.arch], work, run, options)
        return run.name, failures, notes, time.monotonic() - begun

    failed = []
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, options.jobs)) as pool:
            for name, failures, notes, seconds in pool.map(run_one, runs):
                print("%s %s (%.1f s)" % ("FAIL" if failures else "PASS", name, seconds))
                for note in notes:
                    print("    " + note)
                for failure in failures:
                    print("    " + failure.replace("\n", "\n    "))
                if failures:
                    failed.append(name)
                sys.stdout.flush()
    finally:
        # In a work folder of the caller's the templates stay for the next
        # suite run, which checks them before use.
        if not options.work:
            for template in templates.values():
                wine_prefix.remove_prefix(template)
    print("%d of %d scenarios passed in %.0f s" % (len(runs) - len(failed), len(runs),
                                                  time.monotonic() - started))
    return failed

if __name__ == "__main__":
    sys.exit(main())
