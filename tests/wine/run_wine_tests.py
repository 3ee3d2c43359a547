#!/usr/bin/env python3
"""Runs the end-to-end scenarios of cvlsetup.exe under Wine and prints one
line a scenario. Exits 0 when all passed, 1 when any failed, 77 when Wine is
not installed (CTest counts that as skipped)."""

import argparse
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
import install_scenarios  # noqa: E402
import scenarios  # noqa: E402
import simulation  # noqa: E402
import uninstall_scenarios  # noqa: E402
import wine_prefix  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def parse_arguments():
    build = os.path.join(REPO, "build-win64")
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", default=os.path.join(build, "cvlsetup.exe"))
    parser.add_argument("--contract-tests",
                        default=os.path.join(build, "cvl_platform_contract_tests.exe"),
                        help="the contract cases of the platform layer, built for Windows")
    parser.add_argument("--capture", default=os.path.join(build, "cvlcapture.exe"))
    parser.add_argument("--cfgmgr32", default=os.path.join(build, "cfgmgr32.dll"),
                        help="the test cfgmgr32.dll that reports chosen node status")
    parser.add_argument("--newdev", default=os.path.join(build, "newdev.dll"),
                        help="the test newdev.dll that records driver updates and answers "
                             "\"no such device\" for ids of no device the scenario made")
    parser.add_argument("--host-runner",
                        help="cvlsetup-host of a host build: compare the simulated machine's "
                             "outcome with Wine's where both can run a scenario")
    parser.add_argument("--work", help="folder for the prefixes (a new temporary one by default)")
    parser.add_argument("-k", "--select", help="run only scenarios whose name matches this")
    parser.add_argument("--keep", action="store_true", help="keep the prefixes of failures")
    parser.add_argument("--trace", help="WINEDEBUG channels, e.g. +relay (default -all)")
    parser.add_argument("--list", action="store_true", help="list the scenarios and stop")
    parser.add_argument("-j", "--jobs", type=int, default=2, help="scenarios run at once")
    return parser.parse_args()


def slug(name):
    return re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-")


def install_programs(prefix, programs):
    app = prefix.host_path(scenarios.APP_DIR)
    os.makedirs(app, exist_ok=True)
    for source, windows_path in programs:
        shutil.copy(source, prefix.host_path(windows_path))


def run_scenario(template, work, name, scenario, programs, options):
    prefix = wine_prefix.copy_prefix(template, os.path.join(work, slug(name)), options.trace)
    simulation_side = simulation.Simulation(options.host_runner) if options.host_runner else None
    context = scenarios.Context(prefix, simulation_side, {"cfgmgr32": options.cfgmgr32, "newdev": options.newdev})
    try:
        install_programs(prefix, programs)
        scenario(context)
    except Exception as error:  # one broken scenario must not end the others
        context.failures.append("%s: %s" % (type(error).__name__, error))
    finally:
        if context.failures and options.keep:
            prefix.stop()
            print("  prefix kept: " + prefix.root)
        else:
            wine_prefix.remove_prefix(prefix)
    return context.failures, context.notes


def main():
    options = parse_arguments()
    selected = [(name, run)
                for name, run in (scenarios.all_scenarios() + device_scenarios.all_scenarios() +
                                install_scenarios.all_scenarios() +
                                uninstall_scenarios.all_scenarios() +
                                capture_scenarios.all_scenarios())
                if not options.select or re.search(options.select, name)]
    if options.list:
        for name, _ in selected:
            print(name)
        return 0
    if not shutil.which("wine") or not shutil.which("wineserver"):
        print("wine is not installed: the Wine scenarios cannot run")
        return 77
    programs = [(options.exe, scenarios.EXE),
                (options.contract_tests, scenarios.CONTRACT_TESTS),
                (options.capture, capture_scenarios.CAPTURE_EXE)]
    for source in ([path for path, _ in programs] +
                   [options.cfgmgr32, options.newdev, options.host_runner or options.exe]):
        if not os.path.isfile(source):
            print("missing program: " + source)
            return 2

    work = options.work or tempfile.mkdtemp(prefix="cvl-wine-")
    os.makedirs(work, exist_ok=True)
    failed = []
    try:
        failed = run_all(selected, work, programs, options)
    finally:
        # A prefix holds some 700 MB; only failures asked to be kept stay.
        if not options.work and not (failed and options.keep):
            shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


def run_all(selected, work, programs, options):
    """Runs the scenarios; returns the names of those that failed."""
    started = time.monotonic()
    template = wine_prefix.build_template(os.path.join(work, "template"), options.trace)
    print("template prefix ready in %.1f s" % (time.monotonic() - started))

    def run_one(entry):
        name, scenario = entry
        begun = time.monotonic()
        failures, notes = run_scenario(template, work, name, scenario, programs, options)
        return name, failures, notes, time.monotonic() - begun

    failed = []
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, options.jobs)) as pool:
            for name, failures, notes, seconds in pool.map(run_one, selected):
                print("%s %s (%.1f s)" % ("FAIL" if failures else "PASS", name, seconds))
                for note in notes:
                    print("    " + note)
                for failure in failures:
                    print("    " + failure.replace("\n", "\n    "))
                if failures:
                    failed.append(name)
                sys.stdout.flush()
    finally:
        wine_prefix.remove_prefix(template)
    print("%d of %d scenarios passed in %.0f s" % (len(selected) - len(failed), len(selected),
                                                  time.monotonic() - started))
    return failed

if __name__ == "__main__":
    sys.exit(main())
