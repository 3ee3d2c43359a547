// The driver store and the INF files it is made of: reading an INF with
// the machine's folder ids, the lines an INF handle's context names, and
// publishing an INF as oemN.inf in the INF folder.
#pragma once

#include <string>

#include "platform/sim/parts/file_system.h"
#include "platform/sim/parts/handle_table.h"
#include "platform/sim/parts/inf_file.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

class DriverStore {
public:
    DriverStore(FileSystem &files, const HandleTable &handles);

    // The folders an INF's directory ids stand for on this machine.
    InfDirIds DirIds() const;
    WinPath InfFolder() const;
    // Reads an INF file of the given style; `error` is what SetupOpenInfFileW
    // would report.
    InfParse ReadInf(const FsNode &file, DWORD infStyle) const;
    // The section and line an INF context names, or the error of one that
    // names none.
    DWORD InfLineAt(const InfContext *context, const InfSection *&section,
                    const InfLine *&line) const;

    // Publishes an INF in the store, or finds it there already; `published`
    // is its name in the INF folder ("oem3.inf").
    struct Publication {
        DWORD error = ERROR_SUCCESS;
        std::u16string published;
        bool existed = false;
    };
    Publication Publish(const FileSystem::Place &source, DWORD mediaType,
                        const char16_t *mediaLocation, DWORD copyStyle);

private:
    FileSystem &files_;
    const HandleTable &handles_;
};

}  // namespace cvl::sim
