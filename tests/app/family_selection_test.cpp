// Which families the family switches select, and in which order.
#include "app/family_selection.h"

#include <gtest/gtest.h>

#include "support/families.h"

namespace cvl {
namespace {

using test::FamilyCodes;

InstallOptions Every(bool b703) {
    InstallOptions options;
    for (bool InstallOptions::*flag :
         {&InstallOptions::b701, &InstallOptions::b702, &InstallOptions::vistaB701,
          &InstallOptions::vistaB703, &InstallOptions::vistaB760, &InstallOptions::vistaB761,
          &InstallOptions::vistaB762, &InstallOptions::vistaB76x, &InstallOptions::vdevQ2dp})
        options.*flag = true;
    options.b703 = b703;
    return options;
}

TEST(FamilySelectionTest, EachListKeepsItsOwnOrder) {
    const InstallOptions options = Every(false);
    EXPECT_EQ(FamilyCodes(SelectedPerFamilyFamilies(options)),
              FamilyCodes({FamilyVistaB701, FamilyVistaB703, FamilyVistaB760, FamilyVistaB761,
                           FamilyVistaB762, FamilyVistaB76x}));
    EXPECT_EQ(FamilyCodes(SelectedLegacyFamilies(options)), FamilyCodes({FamilyPci, FamilyPcie}));
    EXPECT_EQ(FamilyCodes(FamiliesToEnable(options)),
              FamilyCodes({FamilyPci, FamilyPcie, FamilyVistaB703, FamilyVistaB701, FamilyVistaB760,
                           FamilyVistaB761, FamilyVistaB762, FamilyVistaB76x}));
}

TEST(FamilySelectionTest, B703TurnsTheLegacyPciSwitchIntoTheB703Family) {
    const InstallOptions options = Every(true);
    EXPECT_EQ(FamilyCodes(SelectedLegacyFamilies(options)),
              FamilyCodes({FamilyVistaB703, FamilyPcie}));
    EXPECT_EQ(FamiliesToEnable(options).front(), FamilyVistaB703);
    InstallOptions b703Alone;
    b703Alone.b703 = true;
    EXPECT_TRUE(SelectedLegacyFamilies(b703Alone).empty());
    EXPECT_TRUE(FamiliesToEnable(b703Alone).empty());
}

TEST(FamilySelectionTest, OnlyTheSetSwitchesCount) {
    InstallOptions options;
    options.vistaB762 = true;
    options.b702 = true;
    EXPECT_EQ(FamilyCodes(SelectedPerFamilyFamilies(options)), FamilyCodes({FamilyVistaB762}));
    EXPECT_EQ(FamilyCodes(SelectedLegacyFamilies(options)), FamilyCodes({FamilyPcie}));
    EXPECT_EQ(FamilyCodes(FamiliesToEnable(options)), FamilyCodes({FamilyPcie, FamilyVistaB762}));
    EXPECT_TRUE(SelectedPerFamilyFamilies(InstallOptions{}).empty());
}

}  // namespace
}  // namespace cvl
