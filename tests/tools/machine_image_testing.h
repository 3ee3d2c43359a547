// For the machine image tests: host folders (a scratch folder removed
// afterwards, a small valid image to start from, the demo image) and what a
// simulated machine reports.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <string_view>

#include "machine_image/machine_image_snapshot.h"
#include "platform/platform.h"

namespace cvl::test {

namespace fs = std::filesystem;

inline const fs::path kDemoImage =
    fs::path(__FILE__).parent_path().parent_path().parent_path() / "examples/machines/win7-x64";

inline constexpr std::string_view kSmallRegistry =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Small]\r\n"
    "\"Name\"=\"small machine\"\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software]\r\n";

inline constexpr std::string_view kSmallSettings =
    "version = NT 6.1.7601\n"
    "windows_dir = C:\\Windows\n"
    "temp_dir = C:\\Windows\\Temp\\\n"
    "current_dir = C:\\setup\n"
    "program = C:\\setup\\cvlsetup.exe\n";

inline constexpr std::string_view kSmallProgram = "program image";

inline std::string ReadHostFile(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteHostFile(const fs::path &file, std::string_view bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every file below `dir` with its contents, and every folder (as "name/"),
// by path relative to `dir`.
inline std::map<std::string, std::string> FolderContents(const fs::path &dir) {
    std::map<std::string, std::string> contents;
    for (const auto &entry : fs::recursive_directory_iterator(dir)) {
        const std::string relative = fs::relative(entry.path(), dir).generic_string();
        if (entry.is_directory()) {
            contents[relative + "/"] = "";
        } else {
            contents[relative] = ReadHostFile(entry.path());
        }
    }
    return contents;
}

inline image::MachineSnapshot SnapshotOf(sim::SimulatedPlatform &machine) {
    image::MachineSnapshot snapshot;
    std::string error;
    EXPECT_TRUE(image::TakeSnapshot(machine, snapshot, error)) << error;
    return snapshot;
}

// The version record as the machine reports it: the extended one where the
// system knows it, the plain one otherwise (the 9x line).
inline OsVersionInfoEx ReportedVersion(Platform &machine) {
    OsVersionInfoEx version{};
    version.dwOSVersionInfoSize = kOsVersionInfoExSize;
    if (machine.GetVersionExW(version)) return version;
    version = OsVersionInfoEx{};
    version.dwOSVersionInfoSize = kOsVersionInfoSize;
    EXPECT_TRUE(machine.GetVersionExW(version));
    return version;
}

class ScratchFolder {
public:
    ScratchFolder() {
        const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::random_device random;
        path_ = fs::temp_directory_path() / ("cvl-" + std::string(test ? test->name() : "test") +
                                             "-" + std::to_string(random()));
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        // Read-only files and folders made by a test must not stop the clean-up.
        for (auto it = fs::recursive_directory_iterator(path_, ignored);
             it != fs::recursive_directory_iterator(); it.increment(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const fs::path &path() const { return path_; }

    // Writes a file below the folder, making its parents.
    fs::path Write(const fs::path &relative, std::string_view bytes) const {
        WriteHostFile(path_ / relative, bytes);
        return path_ / relative;
    }

    // A small valid image in the subfolder `name`.
    fs::path WriteSmallImage(const fs::path &name) const {
        Write(name / "registry.reg", kSmallRegistry);
        Write(name / "machine.txt", kSmallSettings);
        Write(name / "drive_c" / "setup" / "cvlsetup.exe", kSmallProgram);
        return path_ / name;
    }

private:
    fs::path path_;
};

}  // namespace cvl::test
