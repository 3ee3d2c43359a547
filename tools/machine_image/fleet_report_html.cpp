#include <cstdio>

#include "machine_image/fleet_report.h"
#include "machine_image/html_text.h"

namespace cvl::image {
namespace {

// Plain CSS in the page itself: the page is mailed, attached to tickets and
// opened from shares, where nothing beside it can be relied on.
constexpr std::string_view kStyle = R"(
body { font: 14px/1.4 system-ui, sans-serif; margin: 1.5em; color: #1b1b1b; }
h1 { font-size: 1.4em; margin: 0 0 .3em; }
h2 { font-size: 1.15em; margin: 1.4em 0 .5em; }
code, pre { font: 12px/1.35 ui-monospace, monospace; }
table.totals { border-collapse: collapse; }
table.totals th, table.totals td { padding: .2em .6em; text-align: left; }
table.totals td.count { text-align: right; font-variant-numeric: tabular-nums; }
td.bar { width: 24em; }
td.bar span { display: block; height: 1em; min-width: 2px; }
tr.ok td.bar span { background: #2e7d32; }
tr.failed td.bar span { background: #c62828; }
tr.other td.bar span { background: #ef8f00; }
tr.unread td.bar span { background: #757575; }
details.machine { border-top: 1px solid #ddd; border-left: 4px solid; padding: .25em .5em; }
details.ok { border-left-color: #2e7d32; }
details.failed { border-left-color: #c62828; }
details.other { border-left-color: #ef8f00; }
details.unread { border-left-color: #757575; }
details.machine summary { cursor: pointer; }
details.machine .name { font-weight: 600; display: inline-block; min-width: 12em; }
details.failed .outcome { color: #c62828; }
details.unread .outcome { color: #757575; }
pre.report { background: #f6f6f6; padding: .6em; overflow-x: auto; white-space: pre-wrap; }
)";

// The deployment systems' view of a code: 0 and 12 are success.
std::string OutcomeClass(const FleetOutcome &outcome) {
    if (outcome.stage != FleetStage::kRun) return "unread";
    if (outcome.exitCode == 0 || outcome.exitCode == 12) return "ok";
    if (outcome.exitCode == 8 || outcome.exitCode == 11) return "other";
    return "failed";
}

std::string Count(const char *cssClass, std::size_t value) {
    return "<b class=\"" + std::string(cssClass) + "\">" + std::to_string(value) + "</b>";
}

// Tenths of a percent, so that every machine shows the same page.
std::string Percent(std::size_t part, std::size_t whole) {
    const std::size_t tenths = whole == 0 ? 0 : (part * 1000 + whole / 2) / whole;
    char text[32];
    std::snprintf(text, sizeof text, "%zu.%zu%%", tenths / 10, tenths % 10);
    return text;
}

}  // namespace

std::string FleetHtmlStart(const FleetHeading &heading, const FleetTotals &totals) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Fleet preview: " +
        HtmlText(heading.folder) + "</title>\n<style>" + std::string(kStyle) +
        "</style>\n</head>\n<body>\n<h1>Fleet preview</h1>\n<p class=\"fleet\">Captures in <code>" +
        HtmlText(heading.folder) + "</code>, each running <code class=\"command\">" +
        HtmlText(heading.commandLine) + "</code>: <b class=\"machine-count\">" +
        std::to_string(heading.machineCount) + "</b> machines.</p>\n";
    page +=
        "<section id=\"totals\">\n<h2>Totals</h2>\n<table class=\"totals\">\n"
        "<thead><tr><th>Outcome</th><th>Machines</th><th>Share</th></tr></thead>\n<tbody>\n";
    for (const auto &[outcome, count] : totals.machines) {
        const std::string share = Percent(count, totals.machineCount);
        page += "<tr class=\"" + OutcomeClass(outcome) + "\"><th class=\"outcome\" scope=\"row\">" +
                HtmlText(outcome.Label()) + "</th><td class=\"count\">" + std::to_string(count) +
                "</td><td class=\"bar\" title=\"" + share + "\"><span style=\"width: " + share +
                "\"></span></td></tr>\n";
    }
    page += "</tbody>\n</table>\n</section>\n<section id=\"machines\">\n<h2>Machines</h2>\n";
    return page;
}

std::string FleetHtmlMachine(const FleetMachine &machine) {
    const FleetOutcome outcome = FleetOutcome::Of(machine);
    std::string row = "<details class=\"machine " + OutcomeClass(outcome) +
                      "\"><summary><span class=\"name\">" + HtmlText(machine.name) +
                      "</span> <span class=\"outcome\">";
    if (machine.stage != FleetStage::kRun) {
        row += HtmlText(outcome.Label()) + "</span></summary>\n<p class=\"error\">" +
               HtmlText(machine.error) + "</p>\n</details>\n";
        return row;
    }
    const FleetRunCounts &counts = machine.counts;
    row += "exit " + Count("exit-code", outcome.exitCode) + " <span class=\"meaning\">" +
           HtmlText(ExitCodeMeaning(outcome.exitCode)) + "</span></span>: <span class=\"counts\">" +
           "updated " + Count("updated", counts.adaptersUpdated) + ", switched " +
           Count("switched", counts.adaptersSwitched) + ", removed " +
           Count("removed", counts.adaptersRemoved) + ", registry " +
           Count("registry", counts.registryChanges) + ", files " +
           Count("files", counts.fileChanges) + "</span></summary>\n<pre class=\"report\">" +
           HtmlText(FormatRunReport(machine.report)) + "</pre>\n</details>\n";
    return row;
}

std::string FleetHtmlEnd() {
    return "</section>\n</body>\n</html>\n";
}

}  // namespace cvl::image
