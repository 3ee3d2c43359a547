#include "app/option_table.h"

#include <array>
#include <cstdint>
#include <string>

#include "common/hardware_id_layout.h"
#include "common/text.h"
#include "system/os_detect.h"

namespace cvl {
namespace {

constexpr std::u16string_view kOptimalPerfName = u"OptimalPerf";
constexpr std::u16string_view kOptimalPerfValue = u"1";

// Keeps the first four characters; a shorter id leaves zero characters,
// which end the text where the hardware id is built from it.
void StoreIdFragment(IdFragment &fragment, std::u16string_view value) {
    for (std::size_t i = 0; i < fragment.size(); ++i) fragment[i] = i < value.size() ? value[i] : 0;
}

bool IsScanBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// What a "%d" scan accepts: blanks, an optional sign, then at least one
// digit. Anything may follow the digits. LeadingDecimal reads the number.
bool StartsWithDecimalNumber(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsScanBlank(text[i])) ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
    return i < text.size() && text[i] >= u'0' && text[i] <= u'9';
}

template <ActionCode code>
OptionOutcome SetAction(OptionContext &context, OptionValues) {
    context.options.action = code;
    return OptionOutcome::Accepted;
}

template <bool InstallOptions::*flag>
OptionOutcome SetFlag(OptionContext &context, OptionValues) {
    context.options.*flag = true;
    return OptionOutcome::Accepted;
}

// Vendor and device are four characters, the revision one or two; a
// one-character revision is written with a leading zero.
OptionOutcome QueryDevice(OptionContext &context, OptionValues values) {
    const std::u16string_view vendor = TokenText(values[0]);
    const std::u16string_view device = TokenText(values[1]);
    const std::u16string_view revision = TokenText(values[2]);
    if (vendor.size() != 4 || device.size() != 4 || revision.empty() || revision.size() > 2)
        return OptionOutcome::RejectedAndStop;

    using namespace hardware_id_layout;
    auto &id = context.state.QueryDeviceId;
    vendor.copy(&id[kVendorAt], vendor.size());
    device.copy(&id[kDeviceAt], device.size());
    id[kRevisionAt] = revision.size() == 2 ? revision[0] : u'0';
    id[kRevisionAt + 1] = revision.back();
    context.options.action = ActionQueryDevice;
    return OptionOutcome::Accepted;
}

bool ParameterListFull(const ParameterList &list) {
    return list.count >= list.entries.size();
}

OptionOutcome HighPerformance(OptionContext &context, OptionValues) {
    context.options.highPerformance = true;
    auto &list = context.state.parameters;
    if (ParameterListFull(list)) return OptionOutcome::Rejected;
    auto &entry = list.entries[list.count++];
    StoreInSlot(entry.name, kOptimalPerfName);
    entry.kind = kParameterKindText;
    StoreInSlot(entry.value, kOptimalPerfValue);
    return OptionOutcome::Accepted;
}

OptionOutcome InfPath(OptionContext &context, OptionValues values) {
    LowerInPlace(values[0]);
    const std::u16string_view path = TokenText(values[0]);
    if (path.find(u"inf") == std::u16string_view::npos) return OptionOutcome::Rejected;
    context.options.infPathGiven = true;
    context.options.infPath = std::u16string(path);
    return OptionOutcome::Accepted;
}

// The value is read so that it is never taken for an option, but this
// program has nothing to do with it: a command line that holds it is
// refused.
OptionOutcome ReservedRpd(OptionContext &, OptionValues values) {
    LowerInPlace(values[0]);
    return OptionOutcome::Rejected;
}

// "/spn", "/spt" and "/spv" fill the entry after the last complete one;
// "/spv" completes it.
OptionOutcome ParameterName(OptionContext &context, OptionValues values) {
    auto &list = context.state.parameters;
    if (ParameterListFull(list)) return OptionOutcome::Rejected;
    auto &entry = list.entries[list.count];
    StoreInSlot(entry.name, TokenText(values[0]));
    entry.kind = kParameterKindText;
    return OptionOutcome::Accepted;
}

OptionOutcome ParameterKind(OptionContext &context, OptionValues values) {
    auto &list = context.state.parameters;
    const std::u16string_view kind = TokenText(values[0]);
    if (ParameterListFull(list) || !StartsWithDecimalNumber(kind)) return OptionOutcome::Rejected;
    list.entries[list.count].kind = LeadingDecimal(kind);
    return OptionOutcome::Accepted;
}

OptionOutcome ParameterValue(OptionContext &context, OptionValues values) {
    auto &list = context.state.parameters;
    if (ParameterListFull(list)) return OptionOutcome::Rejected;
    StoreInSlot(list.entries[list.count].value, TokenText(values[0]));
    ++list.count;
    return OptionOutcome::Accepted;
}

// "/oemvid" starts an entry and "/oempid" completes it; the subsystem ids
// that follow attach to the entry just completed.
OptionOutcome OemVendor(OptionContext &context, OptionValues values) {
    auto &list = context.state.oemFragments;
    if (list.count >= list.entries.size()) return OptionOutcome::Rejected;
    auto &entry = list.entries[list.count];
    StoreIdFragment(entry.vendorId, TokenText(values[0]));
    entry.subsystemVendorId = {};
    entry.subsystemDeviceId = {};
    return OptionOutcome::Accepted;
}

OptionOutcome OemDevice(OptionContext &context, OptionValues values) {
    auto &list = context.state.oemFragments;
    if (list.count >= list.entries.size()) return OptionOutcome::Rejected;
    StoreIdFragment(list.entries[list.count].deviceId, TokenText(values[0]));
    ++list.count;
    return OptionOutcome::Accepted;
}

// Before any pair is complete there is nothing to attach to; the id is
// dropped and the command line stays acceptable.
template <IdFragment OemIdFragments::*field>
OptionOutcome OemSubsystem(OptionContext &context, OptionValues values) {
    auto &list = context.state.oemFragments;
    if (list.count == 0) return OptionOutcome::Accepted;
    StoreIdFragment(list.entries[list.count - 1].*field, TokenText(values[0]));
    return OptionOutcome::Accepted;
}

// The four check options fill the entry after the last complete one;
// "/chkssid" completes it.
template <IdFragment CheckIdFragments::*field, bool completesEntry>
OptionOutcome CheckId(OptionContext &context, OptionValues values) {
    auto &list = context.state.checkFragments;
    if (list.count >= list.entries.size()) return OptionOutcome::Rejected;
    StoreIdFragment(list.entries[list.count].*field, TokenText(values[0]));
    if (completesEntry) ++list.count;
    return OptionOutcome::Accepted;
}

OptionOutcome NicId(OptionContext &context, OptionValues values) {
    StoreInSlot(context.state.nicIdText, TokenText(values[0]));
    context.state.nicIdGiven = true;
    return OptionOutcome::Accepted;
}

OptionOutcome Uninstaller(OptionContext &context, OptionValues) {
    context.options.action = ActionUninstall;
    context.options.uninstallerMode = true;
    context.state.log.logSuppressed = true;
    return OptionOutcome::Accepted;
}

// The second stage of the self-deletion: the id of the process to wait
// for, then the file to delete, kept as given.
OptionOutcome SelfDelete(OptionContext &context, OptionValues values) {
    context.options.action = ActionSelfDelete;
    context.state.log.logSuppressed = true;
    LowerInPlace(values[0]);
    context.options.selfDeleteProcessId = std::u16string(TokenText(values[0]));
    context.options.selfDeleteTarget = std::u16string(TokenText(values[1]));
    context.options.selfDeleteArgsGiven = true;
    return OptionOutcome::Accepted;
}

// Only 98, Me, 2000 and XP get their driver-signing policy relaxed for an
// install; elsewhere the option is accepted and changes nothing.
OptionOutcome BetaDriver(OptionContext &context, OptionValues) {
    if (HasRelaxableSigningPolicy(DetectOsKind(context.platform)))
        context.options.betaDriver = true;
    return OptionOutcome::Accepted;
}

constexpr std::array kOptions{
    OptionRow{u"/i", 0, SetAction<ActionInstall>},
    OptionRow{u"/u", 0, SetAction<ActionUninstall>},
    OptionRow{u"/setwolreg", 0, SetAction<ActionSetParameters>},
    OptionRow{u"/q", 0, SetAction<ActionRecordVersion>},
    OptionRow{u"/qdev", 3, QueryDevice},
    OptionRow{u"/rp", 0, SetAction<ActionRunPnputil>},
    OptionRow{u"/enicdrv", 0, SetAction<ActionEnable>},
    OptionRow{u"/dnicdrv", 0, SetAction<ActionDisable>},
    OptionRow{u"/denicdrv", 0, SetAction<ActionRestart>},
    OptionRow{u"/chknicexist", 0, SetAction<ActionCheckPresence>},
    OptionRow{u"/b703", 0, SetFlag<&InstallOptions::b703>},
    OptionRow{u"/hp", 0, HighPerformance},
    OptionRow{u"/dbgmsg", 0, SetFlag<&InstallOptions::debugLog>},
    OptionRow{u"/ncfi", 0, SetFlag<&InstallOptions::ncfi>},
    OptionRow{u"/x86", 0, SetFlag<&InstallOptions::x86>},
    OptionRow{u"/x64", 0, SetFlag<&InstallOptions::x64>},
    OptionRow{u"/f", 1, InfPath},
    OptionRow{u"/rpd", 1, ReservedRpd},
    OptionRow{u"/spn", 1, ParameterName},
    OptionRow{u"/spt", 1, ParameterKind},
    OptionRow{u"/spv", 1, ParameterValue},
    OptionRow{u"/oemvid", 1, OemVendor},
    OptionRow{u"/oempid", 1, OemDevice},
    OptionRow{u"/oemsvid", 1, OemSubsystem<&OemIdFragments::subsystemVendorId>},
    OptionRow{u"/oemsdid", 1, OemSubsystem<&OemIdFragments::subsystemDeviceId>},
    OptionRow{u"/chkvid", 1, CheckId<&CheckIdFragments::vendorId, false>},
    OptionRow{u"/chkpid", 1, CheckId<&CheckIdFragments::deviceId, false>},
    OptionRow{u"/chksvid", 1, CheckId<&CheckIdFragments::subsystemVendorId, false>},
    OptionRow{u"/chkssid", 1, CheckId<&CheckIdFragments::subsystemId, true>},
    OptionRow{u"/nicid", 1, NicId},
    OptionRow{u"/uninstaller", 0, Uninstaller},
    OptionRow{u"/selfdel", 2, SelfDelete},
    OptionRow{u"/betadrv", 0, BetaDriver},
    OptionRow{u"/KeepNewDrv", 0, SetFlag<&InstallOptions::keepNewDriver>},
    OptionRow{u"/s", 0, SetFlag<&InstallOptions::silent>},
    OptionRow{u"/hwscan", 0, SetAction<ActionRescan>},
};

}  // namespace

std::span<const OptionRow> CommandLineOptions() {
    return kOptions;
}

}  // namespace cvl
