// The family table: one row per family, the switches that reach them and
// the named orders the flows walk them in.
#include "family/family_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/text.h"
#include "family/family_orders.h"
#include "support/families.h"

namespace cvl {
namespace {

using test::kEveryFamily;
using test::kNoSuchFamily;

TEST(FamilyTableTest, EveryFamilyHasOneRowReachedByItsCodeAndItsSwitch) {
    EXPECT_EQ(FamilyRows().size(), std::size(kEveryFamily));
    std::set<std::u16string_view> switches;
    std::set<std::u16string> subkeys;
    for (const DeviceFamily family : kEveryFamily) {
        const FamilyRow *row = FamilyRowOf(family);
        ASSERT_NE(row, nullptr) << static_cast<int>(family);
        EXPECT_EQ(row->family, family);
        // Tokens are lower-cased before they are compared.
        EXPECT_EQ(row->switchName, LoweredAZ(row->switchName));
        EXPECT_EQ(FamilyRowOfSwitch(row->switchName), row);
        switches.insert(row->switchName);
        ASSERT_NE(row->setupSubkey, nullptr);
        subkeys.insert(LoweredAZ(row->setupSubkey));
    }
    EXPECT_EQ(switches.size(), std::size(kEveryFamily));
    EXPECT_EQ(subkeys.size(), std::size(kEveryFamily));
    EXPECT_EQ(FamilyRowOf(kNoSuchFamily), nullptr);
    for (const std::u16string_view other : {u"/b703", u"/vistab70", u"/VISTAB701", u""})
        EXPECT_EQ(FamilyRowOfSwitch(other), nullptr) << ToUtf8(other);
}

// A family of a group the install runs must say what the install logs and
// where it records itself.
TEST(FamilyTableTest, EveryInstalledFamilyHasItsApplyLineAndStatusOnlyWhereTheFlowsWriteIt) {
    for (const FamilyRow &row : FamilyRows()) {
        SCOPED_TRACE(static_cast<int>(row.family));
        const bool installed = row.group != FamilyGroup::VirtualDevice;
        EXPECT_EQ(row.applyLine != nullptr, installed);
        // The B760 install asks for a fresh look at the devices instead.
        EXPECT_EQ(row.statusKey != nullptr, installed && row.family != FamilyVistaB760);
        EXPECT_FALSE(row.hardwareIds.empty());
        EXPECT_EQ(row.componentPrefixes.empty(), !installed);
        EXPECT_FALSE(row.exactDescriptions.empty());
        EXPECT_EQ(row.disableLine != nullptr,
                  row.group == FamilyGroup::Legacy || row.family == FamilyVistaB703);
    }
}

TEST(FamilyTableTest, TheNamedOrdersHoldEachFamilyOnceAndTheirGroupsWhole) {
    const auto check = [](std::span<const DeviceFamily> order, const char *name) {
        std::set<DeviceFamily> seen(order.begin(), order.end());
        EXPECT_EQ(seen.size(), order.size()) << name;
        for (const DeviceFamily family : order) EXPECT_NE(FamilyRowOf(family), nullptr) << name;
        return seen;
    };
    // The per-family list is the group, in the order of the codes.
    std::vector<DeviceFamily> perFamily;
    std::vector<DeviceFamily> legacy;
    for (const FamilyRow &row : FamilyRows()) {
        if (row.group == FamilyGroup::PerFamily) perFamily.push_back(row.family);
        if (row.group == FamilyGroup::Legacy) legacy.push_back(row.family);
    }
    EXPECT_EQ(
        std::vector<DeviceFamily>(family_order::kPerFamily.begin(), family_order::kPerFamily.end()),
        perFamily);
    EXPECT_EQ(check(family_order::kLegacy, "legacy"),
              std::set<DeviceFamily>(legacy.begin(), legacy.end()));
    // The lists that walk every switchable family leave none out.
    std::set<DeviceFamily> switchable(perFamily.begin(), perFamily.end());
    switchable.insert(legacy.begin(), legacy.end());
    EXPECT_EQ(check(family_order::kEnable, "enable"), switchable);
    EXPECT_EQ(check(family_order::kRemoval, "removal"), switchable);
    EXPECT_EQ(check(family_order::kAdapterLookup, "adapter lookup"), switchable);
    check(family_order::kSwitching, "switching");
    check(family_order::kPresence, "presence");
    check(family_order::kSetupKeyHolders, "setup key holders");
}

}  // namespace
}  // namespace cvl
