#include "app/family_selection.h"

namespace cvl {
namespace {

struct FlagFamily {
    bool InstallOptions::*flag;
    DeviceFamily family;
};

std::vector<DeviceFamily> Selected(const InstallOptions &options,
                                   std::initializer_list<FlagFamily> order) {
    std::vector<DeviceFamily> families;
    for (const FlagFamily &row : order)
        if (options.*row.flag) families.push_back(row.family);
    return families;
}

DeviceFamily LegacyPciFamily(const InstallOptions &options) {
    return options.b703 ? FamilyVistaB703 : FamilyPci;
}

}  // namespace

std::vector<DeviceFamily> SelectedPerFamilyFamilies(const InstallOptions &options) {
    return Selected(options, {{&InstallOptions::vistaB701, FamilyVistaB701},
                              {&InstallOptions::vistaB703, FamilyVistaB703},
                              {&InstallOptions::vistaB760, FamilyVistaB760},
                              {&InstallOptions::vistaB761, FamilyVistaB761},
                              {&InstallOptions::vistaB762, FamilyVistaB762},
                              {&InstallOptions::vistaB76x, FamilyVistaB76x}});
}

std::vector<DeviceFamily> SelectedLegacyFamilies(const InstallOptions &options) {
    return Selected(options, {{&InstallOptions::b701, LegacyPciFamily(options)},
                              {&InstallOptions::b702, FamilyPcie}});
}

std::vector<DeviceFamily> FamiliesToEnable(const InstallOptions &options) {
    return Selected(options, {{&InstallOptions::b701, LegacyPciFamily(options)},
                              {&InstallOptions::b702, FamilyPcie},
                              {&InstallOptions::vistaB703, FamilyVistaB703},
                              {&InstallOptions::vistaB701, FamilyVistaB701},
                              {&InstallOptions::vistaB760, FamilyVistaB760},
                              {&InstallOptions::vistaB761, FamilyVistaB761},
                              {&InstallOptions::vistaB762, FamilyVistaB762},
                              {&InstallOptions::vistaB76x, FamilyVistaB76x}});
}

}  // namespace cvl
