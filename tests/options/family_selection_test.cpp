// Which families the family switches select, and in which order.
#include "options/family_selection.h"

#include <gtest/gtest.h>

#include <array>

#include "support/families.h"

namespace cvl {
namespace {

using test::FamilyCodes;

InstallOptions Every(bool b703) {
    InstallOptions options;
    options.families = {FamilyPci,       FamilyPcie,      FamilyVistaB701,
                        FamilyVistaB703, FamilyVistaB760, FamilyVistaB761,
                        FamilyVistaB762, FamilyVistaB76x, FamilyVdevQ2dp};
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
    options.families = {FamilyVistaB762, FamilyPcie};
    EXPECT_EQ(FamilyCodes(SelectedPerFamilyFamilies(options)), FamilyCodes({FamilyVistaB762}));
    EXPECT_EQ(FamilyCodes(SelectedLegacyFamilies(options)), FamilyCodes({FamilyPcie}));
    EXPECT_EQ(FamilyCodes(FamiliesToEnable(options)), FamilyCodes({FamilyPcie, FamilyVistaB762}));
    EXPECT_TRUE(SelectedPerFamilyFamilies(InstallOptions{}).empty());
    EXPECT_TRUE(AnyPerFamilySwitch(options));
    options.families.Remove(FamilyVistaB762);
    EXPECT_FALSE(AnyPerFamilySwitch(options));
}

// The virtual device rides only with the families that carry it, and only
// when it is switched on itself.
TEST(FamilySelectionTest, TheVirtualDeviceRidesWithPciExpressAndB701Only) {
    InstallOptions options;
    options.families = {FamilyVdevQ2dp};
    for (const DeviceFamily family : test::kEveryFamily) {
        const std::array families{family};
        const bool carries = family == FamilyPcie || family == FamilyVistaB701;
        EXPECT_EQ(VirtualDeviceRidesWith(options, families), carries) << static_cast<int>(family);
        EXPECT_FALSE(VirtualDeviceRidesWith(InstallOptions{}, families));
    }
    EXPECT_FALSE(VirtualDeviceRidesWith(options, {}));
}

}  // namespace
}  // namespace cvl
