#include "machine_image/fleet_run.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <system_error>

#include "machine_image/fleet_report.h"
#include "machine_image/machine_image_text.h"
#include "machine_image/worker_pool.h"

namespace cvl::image {
namespace fs = std::filesystem;
namespace {

// What one machine leaves for the reports once it is freed.
struct MachineParts {
    FleetOutcome outcome;
    std::string out;   // its line or JSON object
    std::string html;  // its row, when a page is written
};

// Parts finished in any order by the workers are written in index order the
// moment each next one is there. Whichever worker finds the writing free
// writes every part that is ready; a worker that finds it taken leaves its
// part to that writer, which looks again after it lets go (seq_cst on both
// sides, so one of the two always sees the other's part).
class OrderedWriter {
public:
    using Write = std::function<void(std::size_t index, MachineParts &parts)>;

    OrderedWriter(std::size_t count, Write write)
        : parts_(count),
          ready_(std::make_unique<std::atomic<bool>[]>(count)),
          write_(std::move(write)) {}

    void Hand(std::size_t index, MachineParts parts) {
        parts_[index] = std::move(parts);
        ready_[index].store(true);
        for (;;) {
            if (writing_.exchange(true)) return;
            std::size_t next = written_.load();
            while (next < parts_.size() && ready_[next].load()) {
                write_(next, parts_[next]);
                parts_[next] = MachineParts{};
                written_.store(++next);
            }
            writing_.store(false);
            if (next >= parts_.size() || !ready_[next].load()) return;
        }
    }

    std::size_t Written() const { return written_.load(); }

private:
    std::vector<MachineParts> parts_;
    std::unique_ptr<std::atomic<bool>[]> ready_;
    Write write_;
    std::atomic<bool> writing_{false};
    std::atomic<std::size_t> written_{0};
};

int FleetStatus(const FleetTotals &totals) {
    int status = kFleetAllSucceeded;
    for (const auto &[outcome, count] : totals.machines) {
        if (outcome.stage != FleetStage::kRun) return kFleetSomeCaptureUnread;
        if (outcome.exitCode != 0 && outcome.exitCode != 12) status = kFleetSomeRunFailed;
    }
    return status;
}

// The page's rows are written to a file of their own while the machines run,
// and the page is put together when the totals, which come first, are known.
class HtmlPage {
public:
    explicit HtmlPage(const fs::path &target)
        : target_(target), rowsPath_(target), pagePath_(target) {
        rowsPath_ += ".partial-rows";
        pagePath_ += ".partial";
        rows_.open(rowsPath_, std::ios::binary | std::ios::trunc);
    }
    ~HtmlPage() {
        std::error_code ignored;
        rows_.close();
        fs::remove(rowsPath_, ignored);
        fs::remove(pagePath_, ignored);
    }

    bool Opened() const { return rows_.is_open(); }
    void AddRow(const std::string &row) { rows_ << row; }

    bool Finish(const FleetHeading &heading, const FleetTotals &totals, std::string &error) {
        // A row lost on the way (a full disk) must not leave a page that
        // looks whole.
        rows_.close();
        if (!rows_) {
            error = "cannot write " + HostPathText(rowsPath_);
            return false;
        }
        std::ofstream page(pagePath_, std::ios::binary | std::ios::trunc);
        std::ifstream rows(rowsPath_, std::ios::binary);
        page << FleetHtmlStart(heading, totals);
        if (rows.peek() != std::ifstream::traits_type::eof()) page << rows.rdbuf();
        page << FleetHtmlEnd();
        page.close();
        if (!rows || !page) {
            error = "cannot write " + HostPathText(pagePath_);
            return false;
        }
        std::error_code failure;
        fs::rename(pagePath_, target_, failure);
        if (failure) {
            error = "cannot rename " + HostPathText(pagePath_) + " to " + HostPathText(target_) +
                    ": " + failure.message();
            return false;
        }
        return true;
    }

private:
    fs::path target_, rowsPath_, pagePath_;
    std::ofstream rows_;
};

// A worker may run this many captures ahead of the first one not yet
// written: parts wait in memory only behind a machine that takes long.
constexpr std::size_t kPartsAheadPerWorker = 4;

}  // namespace

bool ListCaptures(const fs::path &folder, std::vector<fs::path> &captures, std::string &error) {
    captures.clear();
    std::error_code failure;
    fs::directory_iterator entries(folder, failure);
    for (; !failure && entries != fs::directory_iterator(); entries.increment(failure))
        if (std::error_code ignored; entries->is_directory(ignored))
            captures.push_back(entries->path());
    if (failure) {
        error = "cannot read the fleet folder " + HostPathText(folder) + ": " + failure.message();
        return false;
    }
    std::sort(captures.begin(), captures.end());
    return true;
}

int RunFleet(const FleetOptions &options, const sim::ProgramEntry &program, std::ostream &out,
             std::ostream &err) {
    std::vector<fs::path> captures;
    std::string error;
    if (!ListCaptures(options.folder, captures, error)) {
        err << kRunnerName << ": " << error << "\n";
        return kFleetNoCaptures;
    }
    if (captures.empty()) {
        err << kRunnerName << ": the fleet folder " << HostPathText(options.folder)
            << " holds no capture folder\n";
        return kFleetNoCaptures;
    }

    FleetHeading heading{HostPathText(options.folder), options.commandLine, captures.size(), 0};
    for (const fs::path &capture : captures)
        heading.nameWidth =
            std::max(heading.nameWidth, PrintableWidth(HostPathText(capture.filename())));
    std::unique_ptr<HtmlPage> page;
    if (options.htmlReport) {
        page = std::make_unique<HtmlPage>(*options.htmlReport);
        if (!page->Opened()) {
            err << kRunnerName << ": cannot write the HTML report next to "
                << HostPathText(*options.htmlReport) << "\n";
            return kFleetReportNotWritten;
        }
    }

    out << (options.json ? FleetJsonHeading(heading) : FleetTextHeading(heading));
    FleetTotals totals;
    OrderedWriter writer(captures.size(), [&](std::size_t index, MachineParts &parts) {
        if (options.json && index != 0) out << FleetJsonSeparator();
        out << parts.out;
        if (page) page->AddRow(parts.html);
        totals.Add(parts.outcome);
    });

    const std::size_t workers =
        std::min(options.workers == 0 ? ProcessorCount() : options.workers, captures.size());
    const std::size_t ahead = workers * kPartsAheadPerWorker;
    std::atomic<std::size_t> nextCapture{0};
    RunOnWorkers(workers, [&](std::size_t) {
        for (;;) {
            const std::size_t index = nextCapture.fetch_add(1);
            if (index >= captures.size()) return;
            while (index >= writer.Written() + ahead) LetOtherThreadsRun();
            const FleetMachine machine = RunFleetMachine(captures[index], options.command, program);
            MachineParts parts{FleetOutcome::Of(machine),
                               options.json ? FleetJsonMachine(machine)
                                            : FleetTextMachine(machine, heading.nameWidth),
                               page ? FleetHtmlMachine(machine) : std::string()};
            writer.Hand(index, std::move(parts));
        }
    });

    out << (options.json ? FleetJsonTotals(totals) : FleetTextTotals(totals));
    if (page && !page->Finish(heading, totals, error)) {
        err << kRunnerName << ": " << error << "\n";
        return kFleetReportNotWritten;
    }
    return FleetStatus(totals);
}

}  // namespace cvl::image
