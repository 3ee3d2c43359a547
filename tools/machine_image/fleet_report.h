// The fleet report in its three forms. A machine's part of each is made by
// the worker that ran it, from that machine alone, so the workers never wait
// for one another; the heading and the totals around the parts are made once.
//
// Text: a heading, a line a machine, a blank line and the totals:
//
//   Fleet C:\captures: 3 machines, each running /i /vistab701 /f drivers\netcvl.inf
//
//   pc-0417  exit 0 (the action finished): updated 1, switched 1, removed 0, registry 24, files 3
//   pc-0418  exit 12 (driver already current): updated 0, switched 0, removed 0, registry 6, files
//   1 pc-0419  capture not loaded: ...machine.txt is missing...
//
//   Totals:
//     0 the action finished: 1
//     12 driver already current: 1
//     capture not loaded: 1
//
// JSON: {"fleet", "commandLine", "machineCount", "machines": [{"name",
// "outcome", "exitCode", "meaning", "error", the counts, "report": the
// one-machine document or null}], "totals": [{"outcome", "exitCode", "machines"}]}.
//
// HTML: one page without scripts or outside files: the totals first, a bar
// an outcome, then a row a machine that opens to its whole report.
#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "machine_image/fleet_machine.h"

namespace cvl::image {

struct FleetHeading {
    std::string folder;       // as given on the command line
    std::string commandLine;  // the switches every machine runs
    std::size_t machineCount = 0;
    std::size_t nameWidth = 0;  // the widest machine name, for the text's columns
};

struct FleetTotals {
    std::map<FleetOutcome, std::size_t> machines;
    std::size_t machineCount = 0;

    void Add(const FleetOutcome &outcome) {
        ++machines[outcome];
        ++machineCount;
    }
};

// A name or error as one line of text: control characters as \xNN.
std::string PrintableLine(std::string_view text);
// The characters a name takes in the text report's first column.
std::size_t PrintableWidth(std::string_view name);

std::string FleetTextHeading(const FleetHeading &heading);
std::string FleetTextMachine(const FleetMachine &machine, std::size_t nameWidth);
std::string FleetTextTotals(const FleetTotals &totals);

// The machines' parts go between the heading and the totals, with
// FleetJsonSeparator() between two of them.
std::string FleetJsonHeading(const FleetHeading &heading);
std::string FleetJsonMachine(const FleetMachine &machine);
std::string_view FleetJsonSeparator();
std::string FleetJsonTotals(const FleetTotals &totals);

// The page is its start with the totals, the machines' rows, and its end.
std::string FleetHtmlStart(const FleetHeading &heading, const FleetTotals &totals);
std::string FleetHtmlMachine(const FleetMachine &machine);
std::string FleetHtmlEnd();

}  // namespace cvl::image
