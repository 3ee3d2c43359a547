// The processes of the machine: the program's own run, the processes it
// starts and the ones known from outside, each with its image, its state
// and its exit code.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/parts/file_system.h"
#include "platform/sim/parts/handle_table.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

struct ProcessState {
    DWORD id = 0;
    std::u16string imagePath;
    std::u16string commandLine;
    // Held while the process runs: the file cannot be deleted meanwhile.
    std::shared_ptr<FsNode> image;
    bool running = true;
    DWORD exitCode = STILL_ACTIVE;
    // A copy of the program: it runs the program's entry when its turn comes.
    bool program = false;
    bool hasRun = false;
    // Known from outside this run; its object stays reachable by id.
    bool external = false;
    std::optional<std::size_t> record;  // index in the started processes
};

class ProcessTable {
public:
    // The program runs from C:\setup\cvlsetup.exe as process 1000.
    ProcessTable(FileSystem &files, HandleTable &handles);

    ProcessState &Current();
    DWORD CurrentId() const { return currentId_; }
    // Makes an existing process the one that runs now.
    void MakeCurrent(ProcessState &process);
    ProcessState *Find(DWORD processId);
    const ProcessState *Find(DWORD processId) const;

    // Makes `path` the program (creating it when missing) and its first run.
    void InstallProgram(const WinPath &path, DWORD processId);
    const std::u16string &ProgramPath() const { return programPath_; }
    const std::string &ProgramContents() const { return programContents_; }

    // The image a command line starts, resolved the way CreateProcessW does.
    DWORD ImageFromCommandLine(std::u16string_view commandLine, WinPath &image) const;
    // Starts a process from an image that may run (not going, sharing
    // allowed): a copy of the program waits for its turn, anything else has
    // ended with its tool exit code (0 unless set).
    const ProcessRecord &Start(ProcessRecord record, const std::shared_ptr<FsNode> &image);
    // Makes a process id known from outside, ended or running.
    void AddForeign(DWORD processId, bool running);
    // Ends a process: its image is let go and its handles close.
    void End(ProcessState &process, DWORD exitCode);
    // A power loss: every image is let go without the file's pending delete,
    // no started copy runs any more, and every process that ran ends with
    // `exitCode`; nothing is closed, as nothing runs to close it.
    void LosePower(DWORD exitCode);
    // The next started copy of the program that has not run yet, in the
    // order they were started.
    ProcessState *NextProgramToRun();
    // An ended process stays reachable while a handle holds it.
    bool HeldByAnyHandle(DWORD processId) const;

    void SetToolExitCode(const WinPath &image, DWORD exitCode);
    const std::vector<ProcessRecord> &Records() const { return records_; }

    std::optional<UINT> ExitProcessCode() const { return exitProcessCode_; }
    void SetExitProcessCode(UINT exitCode) { exitProcessCode_ = exitCode; }

    void RecordWait(WaitRecord wait) { waits_.push_back(wait); }
    const std::vector<WaitRecord> &Waits() const { return waits_; }

private:
    ProcessState &Add(DWORD id, std::u16string imagePath);
    // The process and its record show it ended with `exitCode`.
    void MarkEnded(ProcessState &process, DWORD exitCode);
    DWORD NewProcessId() const;
    bool FindExecutable(std::u16string_view name, WinPath &image) const;

    FileSystem &files_;
    HandleTable &handles_;
    std::u16string programPath_;
    std::string programContents_;
    std::map<DWORD, ProcessState> processes_;
    std::vector<ProcessRecord> records_;
    DWORD currentId_ = 0;
    std::optional<UINT> exitProcessCode_;
    std::map<std::u16string, DWORD> toolExitCodes_;  // by folded full path
    std::vector<WaitRecord> waits_;
};

}  // namespace cvl::sim
