// The set of what belongs to the product decides what a run may delete or
// overwrite: each change line names one thing, and only the product's pass.
#include "sweep/product_things.h"

#include <gtest/gtest.h>

namespace cvl::test {
namespace {

TEST(ProductThings, OnlyTheProductsOwnThingsMayBeDeletedOrOverwritten) {
    OwnedThings owned;
    owned.devices = {u"PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043&REV_06\\4&1F3A&0&1"};
    owned.places = {u"C:\\Windows\\INF\\oem3.inf",
                    u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972}\\0007*"};
    const std::pair<std::string, bool> cases[] = {
        {"- file C:\\Windows\\INF\\oem3.inf", true},
        {"- file C:\\WINDOWS\\inf\\OEM3.INF", true},
        {"- file C:\\Windows\\INF\\oem1.inf", false},
        {"- file C:\\Windows\\system32\\CvNicProp64.dll", true},
        {"- file C:\\Windows\\system32\\netcfgx.dll", false},
        {"~ file C:\\setup\\InstallLog.txt: contents changed (1 -> 2 bytes)", true},
        {"- key HKLM\\SOFTWARE\\CVLSetup", true},
        {"- key HKLM\\SOFTWARE\\Corvane", false},
        {"- key HKLM\\SOFTWARE\\Corvane\\Network", true},
        {"- key HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CVNUninstVista01",
         true},
        {"- key HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ContosoNet", false},
        {"~ value HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972}\\0007\\InfPath: "
         "REG_SZ \"oem3.inf\" -> \"oem0.inf\"",
         true},
        {"~ value HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972}\\0001\\InfPath: "
         "REG_SZ \"oem1.inf\" -> \"oem0.inf\"",
         false},
        {"~ device PCI\\VEN_1F3A&DEV_B702&SUBSYS_00011043&REV_06\\4&1F3A&0&1: started -> disabled",
         true},
        {"- device PCI\\VEN_8086&DEV_10D3&SUBSYS_00008086&REV_00\\3&11583659&0&C8", false},
    };
    for (const auto &[line, belongs] : cases) {
        SCOPED_TRACE(line);
        EXPECT_TRUE(DeletesOrOverwrites(line));
        EXPECT_EQ(BelongsToProduct(line, owned), belongs);
    }
    EXPECT_FALSE(DeletesOrOverwrites("+ key HKLM\\SOFTWARE\\Contoso"));
}

}  // namespace
}  // namespace cvl::test
