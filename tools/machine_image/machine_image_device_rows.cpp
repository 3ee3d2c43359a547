#include "machine_image/machine_image_device_rows.h"

#include <algorithm>

#include "common/text.h"
#include "machine_image/machine_image_text.h"
#include "platform/guid_text.h"

namespace cvl::image {
namespace {

// Windows keeps device ids and instance ids below this many characters.
constexpr std::size_t kMaxDeviceIdChars = 200;
constexpr std::size_t kMaxServiceNameChars = 256;
constexpr std::u16string_view kDriverField = u"driver";
// Stands for a Class or ClassGUID value the device does not have. The blank
// inside keeps it from being taken for a class name or a GUID.
constexpr std::u16string_view kNoValue = u"(no value)";
constexpr std::u16string_view kNoValueWords[] = {u"(no", u"value)"};

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool HasControlCharacter(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c < 0x20; });
}

// A bar with a blank, or the end of the text, on both sides.
bool IsSeparatorAt(std::u16string_view text, std::size_t i) {
    return text[i] == u'|' && (i == 0 || IsBlank(text[i - 1])) &&
           (i + 1 == text.size() || IsBlank(text[i + 1]));
}

bool HasFieldSeparator(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (IsSeparatorAt(text, i)) return true;
    return false;
}

// Splits at each separator. The driver field, whose quoted texts may hold
// one, takes the rest of the row.
std::vector<std::u16string_view> SplitFields(std::u16string_view text) {
    std::vector<std::u16string_view> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsSeparatorAt(text, i)) continue;
        const std::u16string_view field = TrimBlanks(text.substr(start, i - start));
        const std::size_t equals = field.find(u'=');
        if (!fields.empty() && equals != std::u16string_view::npos &&
            TrimBlanks(field.substr(0, equals)) == kDriverField) {
            fields.push_back(TrimBlanks(text.substr(start)));
            break;
        }
        fields.push_back(field);
        start = i + 1;
    }
    return fields;
}

// The parts of a list separated by `separator`, without the blanks around
// them.
std::vector<std::u16string_view> SplitList(std::u16string_view text, char16_t separator) {
    std::vector<std::u16string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(TrimBlanks(text.substr(0, at)));
        if (at == std::u16string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

bool IsInstanceId(std::u16string_view id) {
    if (!IsDeviceId(id)) return false;
    const auto parts = SplitList(id, u'\\');
    return parts.size() == 3 && std::none_of(parts.begin(), parts.end(),
                                             [](std::u16string_view part) { return part.empty(); });
}

bool IsClassName(std::u16string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char16_t c) {
        return c > 0x20 && c < 0x7F && c != u'"';
    });
}

bool IsDriverTextName(std::u16string_view name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char16_t c) {
        return c <= 0x20 || c == u'=' || c == u'"';
    });
}

std::u16string Quoted(std::u16string_view text) {
    std::u16string quoted = u"\"";
    for (const char16_t c : text) {
        quoted += c;
        if (c == u'"') quoted += u'"';
    }
    return quoted + u"\"";
}

// Reads a quoted text at the start of `text`, a doubled quote standing for
// one, and steps past it.
bool TakeQuoted(std::u16string_view &text, std::u16string &value) {
    if (text.empty() || text[0] != u'"') return false;
    value.clear();
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != u'"') {
            value += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'"') {
            value += u'"';
            ++i;
        } else {
            text.remove_prefix(i + 1);
            return true;
        }
    }
    return false;
}

std::u16string JoinList(const std::vector<std::u16string> &items, std::u16string_view separator) {
    std::u16string text;
    for (const auto &item : items) {
        if (!text.empty()) text += separator;
        text += item;
    }
    return text;
}

// --- The fields of a device row --------------------------------------------

// The words of the class field, "(no value)" taken as one.
std::vector<std::u16string_view> ClassWords(std::u16string_view value) {
    std::vector<std::u16string_view> words;
    for (const auto word : SplitList(value, u' ')) {
        if (word.empty()) continue;
        if (word == kNoValueWords[1] && !words.empty() && words.back() == kNoValueWords[0]) {
            words.back() = kNoValue;
            continue;
        }
        words.push_back(word);
    }
    return words;
}

std::u16string SpelledClassValue(const std::optional<std::u16string> &value) {
    return value ? *value : std::u16string(kNoValue);
}

bool ReadClass(std::u16string_view value, DeviceRow &row, std::string &problem) {
    problem =
        "expected class=Net, or a class name and its GUID: class=Ports {4d36e978-...}, either "
        "written (no value) when the device has none";
    const auto words = ClassWords(value);
    if (words.size() == 1 && EqualsFoldAZ(words[0], u"Net")) {
        row.className = words[0];
        row.classGuid = sim::kNetClassGuidText;
        return true;
    }
    if (words.size() != 2) return false;
    const bool nameGiven = words[0] != kNoValue;
    const bool guidGiven = words[1] != kNoValue;
    if ((nameGiven && !IsClassName(words[0])) || (guidGiven && !win::ParseGuid(words[1])))
        return false;
    row.className.reset();
    row.classGuid.reset();
    if (nameGiven) row.className = words[0];
    if (guidGiven) row.classGuid = words[1];
    return true;
}

struct StateWord {
    std::u16string_view word;
    std::optional<DeviceCondition> condition;
    bool DeviceRow::*attribute;
};

constexpr StateWord kStateWords[] = {
    {u"started", DeviceCondition::Started, nullptr},
    {u"stopped", DeviceCondition::Stopped, nullptr},
    {u"disabled", DeviceCondition::Disabled, nullptr},
    {u"absent", DeviceCondition::Absent, nullptr},
    {u"disableable", std::nullopt, &DeviceRow::disableable},
    {u"hidden", std::nullopt, &DeviceRow::hidden},
};

bool ReadState(std::u16string_view value, DeviceRow &row, std::string &problem) {
    problem =
        "expected one of started, stopped, disabled or absent, then optionally disableable and "
        "hidden, separated by commas";
    std::size_t conditions = 0;
    std::vector<std::u16string_view> seen;
    for (const auto word : SplitList(value, u',')) {
        const auto known = std::find_if(std::begin(kStateWords), std::end(kStateWords),
                                        [word](const StateWord &w) { return w.word == word; });
        if (known == std::end(kStateWords)) return false;
        if (std::find(seen.begin(), seen.end(), word) != seen.end()) {
            problem = "\"" + ToUtf8(word) + "\" is given twice";
            return false;
        }
        seen.push_back(word);
        if (known->condition) {
            row.condition = *known->condition;
            ++conditions;
        } else {
            row.*known->attribute = true;
        }
    }
    if (conditions != 1) return false;
    if (row.condition == DeviceCondition::Absent && (row.disableable || row.hidden)) {
        problem = "an absent device has no node that could be disableable or hidden";
        return false;
    }
    if (row.condition == DeviceCondition::Disabled && !row.disableable) {
        problem = "only a disableable device can be disabled";
        return false;
    }
    return true;
}

bool ReadIds(std::u16string_view value, std::vector<std::u16string> &ids, std::string &problem) {
    for (const auto id : SplitList(value, u',')) {
        if (!IsDeviceId(id)) {
            problem = "\"" + ToUtf8(id) +
                      "\" is no device id (1 to 199 characters from ! to ~, no comma); ids "
                      "are separated by commas";
            return false;
        }
        ids.emplace_back(id);
    }
    return true;
}

bool ReadHardwareIds(std::u16string_view value, DeviceRow &row, std::string &problem) {
    return ReadIds(value, row.hardwareIds, problem);
}

bool ReadCompatibleIds(std::u16string_view value, DeviceRow &row, std::string &problem) {
    return ReadIds(value, row.compatibleIds, problem);
}

bool ReadDriver(std::u16string_view value, DeviceRow &row, std::string &problem) {
    const std::size_t blank = std::min(value.find_first_of(u" \t"), value.size());
    if (!IsDriverKeyName(value.substr(0, blank))) {
        problem = "expected the driver key's four digits first, such as driver=0007";
        return false;
    }
    if (!row.classGuid) {
        problem = "a device without a class GUID has no driver key below the class";
        return false;
    }
    row.driverKey = value.substr(0, blank);
    std::u16string_view rest = TrimBlanks(value.substr(blank));
    while (!rest.empty()) {
        const std::size_t equals = rest.find(u'=');
        const std::u16string_view name = rest.substr(0, equals);
        std::u16string text;
        if (equals == std::u16string_view::npos || !IsDriverTextName(name)) {
            problem = "expected Name=\"text\" after the driver key, not \"" + ToUtf8(rest) + "\"";
            return false;
        }
        rest.remove_prefix(equals + 1);
        if (!TakeQuoted(rest, text) || HasControlCharacter(text) ||
            (!rest.empty() && !IsBlank(rest[0]))) {
            problem = "the text of " + ToUtf8(name) +
                      " must be in double quotes (a quote inside doubled), one line long";
            return false;
        }
        for (const auto &[known, ignored] : row.driverTexts) {
            if (EqualsFoldAZ(known, name)) {
                problem = "the driver value " + ToUtf8(name) + " is given twice";
                return false;
            }
        }
        row.driverTexts.emplace_back(name, std::move(text));
        rest = TrimBlanks(rest);
    }
    return true;
}

template <typename Row>
struct FieldReader {
    std::u16string_view name;
    bool (*read)(std::u16string_view value, Row &row, std::string &problem);
};

constexpr FieldReader<DeviceRow> kDeviceFields[] = {
    {u"class", ReadClass},          {u"state", ReadState},
    {u"hardware", ReadHardwareIds}, {u"compatible", ReadCompatibleIds},
    {u"driver", ReadDriver},
};

// --- The fields of a service row -------------------------------------------

bool ReadImage(std::u16string_view value, ServiceRow &row, std::string &problem) {
    if (!CanCarryServiceImage(value)) {
        problem = "expected the driver's image path, such as image=system32\\DRIVERS\\x.sys";
        return false;
    }
    row.imagePath = value;
    return true;
}

template <DWORD ServiceRow::*member>
bool ReadServiceNumber(std::u16string_view value, ServiceRow &row, std::string &problem) {
    const auto number = ParseImageNumber(value);
    if (!number) {
        problem = "expected a number, not \"" + ToUtf8(value) + "\"";
        return false;
    }
    row.*member = *number;
    return true;
}

constexpr FieldReader<ServiceRow> kServiceFields[] = {
    {u"image", ReadImage},
    {u"type", ReadServiceNumber<&ServiceRow::type>},
    {u"start", ReadServiceNumber<&ServiceRow::start>},
};

// Reads the fields after the first with the readers of `table`; each field
// at most once, every name in `required` present.
template <typename Row, std::size_t N>
bool ReadFields(const std::vector<std::u16string_view> &fields, const FieldReader<Row> (&table)[N],
                std::u16string_view required, Row &row, std::string &problem) {
    std::vector<std::u16string_view> seen;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        const std::size_t equals = fields[i].find(u'=');
        const std::u16string_view name = TrimBlanks(fields[i].substr(0, equals));
        const auto reader = std::find_if(std::begin(table), std::end(table),
                                         [name](const auto &field) { return field.name == name; });
        if (equals == std::u16string_view::npos || reader == std::end(table)) {
            std::string names;
            for (const auto &field : table)
                names += (names.empty() ? "" : ", ") + ToUtf8(field.name);
            problem = "expected name=value with one of the names " + names + ", not \"" +
                      ToUtf8(fields[i]) + "\"";
            return false;
        }
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
            problem = "the field " + ToUtf8(name) + " is given twice";
            return false;
        }
        seen.push_back(name);
        std::string fieldProblem;
        if (!reader->read(TrimBlanks(fields[i].substr(equals + 1)), row, fieldProblem)) {
            problem = ToUtf8(name) + ": " + fieldProblem;
            return false;
        }
    }
    if (!required.empty() && std::find(seen.begin(), seen.end(), required) == seen.end()) {
        problem = "the field " + ToUtf8(required) + " is missing";
        return false;
    }
    return true;
}

}  // namespace

bool IsDeviceId(std::u16string_view id) {
    return !id.empty() && id.size() < kMaxDeviceIdChars &&
           std::all_of(id.begin(), id.end(),
                       [](char16_t c) { return c > 0x20 && c <= 0x7F && c != u','; });
}

bool IsDriverKeyName(std::u16string_view name) {
    return name.size() == 4 &&
           std::all_of(name.begin(), name.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

bool CanCarryDriverText(std::u16string_view name, std::u16string_view text) {
    return IsDriverTextName(name) && !HasControlCharacter(text);
}

bool CanCarryServiceImage(std::u16string_view imagePath) {
    return !imagePath.empty() && TrimBlanks(imagePath).size() == imagePath.size() &&
           !HasControlCharacter(imagePath) && !HasFieldSeparator(imagePath);
}

bool IsServiceName(std::u16string_view name) {
    return !name.empty() && name.size() <= kMaxServiceNameChars &&
           TrimBlanks(name).size() == name.size() && !HasControlCharacter(name) &&
           name.find_first_of(u"/\\") == std::u16string_view::npos && !HasFieldSeparator(name);
}

bool CanCarryClass(const std::optional<std::u16string> &name,
                   const std::optional<std::u16string> &guid) {
    return (!name || IsClassName(*name)) && (!guid || win::ParseGuid(*guid).has_value());
}

bool ParseDeviceRow(std::u16string_view text, DeviceRow &row, std::string &problem) {
    row = DeviceRow{};
    const auto fields = SplitFields(text);
    if (!IsInstanceId(fields[0])) {
        problem =
            "expected the device instance id first, as enumerator\\device\\instance (such as "
            "USB\\VID_0C7E&PID_B762\\00E04C680001), without blanks or commas";
        return false;
    }
    row.instanceId = fields[0];
    return ReadFields(fields, kDeviceFields, u"state", row, problem);
}

bool ParseServiceRow(std::u16string_view text, ServiceRow &row, std::string &problem) {
    row = ServiceRow{};
    const auto fields = SplitFields(text);
    if (!IsServiceName(fields[0])) {
        problem = "expected the service name first, without / or \\";
        return false;
    }
    row.name = fields[0];
    return ReadFields(fields, kServiceFields, u"image", row, problem);
}

std::u16string FormatDeviceRow(const DeviceRow &row) {
    std::u16string text = row.instanceId + u" | class=" + SpelledClassValue(row.className);
    if (row.className != u"Net" || row.classGuid != sim::kNetClassGuidText)
        text += u" " + SpelledClassValue(row.classGuid);

    std::vector<std::u16string> state;
    for (const StateWord &word : kStateWords) {
        const bool holds = word.condition ? row.condition == *word.condition : row.*word.attribute;
        if (holds) state.emplace_back(word.word);
    }
    text += u" | state=" + JoinList(state, u",");
    if (!row.hardwareIds.empty()) text += u" | hardware=" + JoinList(row.hardwareIds, u",");
    if (!row.compatibleIds.empty()) text += u" | compatible=" + JoinList(row.compatibleIds, u",");
    if (row.driverKey) {
        text += u" | driver=" + *row.driverKey;
        for (const auto &[name, value] : row.driverTexts)
            text += u" " + name + u"=" + Quoted(value);
    }
    return text;
}

std::u16string FormatServiceRow(const ServiceRow &row) {
    return row.name + u" | image=" + row.imagePath + u" | type=" + DecimalText(row.type) +
           u" | start=" + DecimalText(row.start);
}

sim::DeviceSpec SpecOf(const DeviceRow &row) {
    sim::DeviceSpec spec;
    spec.instanceId = row.instanceId;
    spec.hardwareIds = row.hardwareIds;
    spec.compatibleIds = row.compatibleIds;
    spec.className = row.className;
    spec.classGuid = row.classGuid;
    spec.present = row.condition != DeviceCondition::Absent;
    spec.started = row.condition == DeviceCondition::Started;
    spec.disableable = row.disableable;
    spec.hiddenFromDeviceManager = row.hidden;
    spec.withDriverKey = row.driverKey.has_value();
    spec.driverKeyName = row.driverKey.value_or(u"");
    spec.driverStrings = row.driverTexts;
    return spec;
}

}  // namespace cvl::image
