#include "contract_machine.h"

#include "common/little_endian.h"

namespace cvl::contract {

std::u16string PlatformContract::Key(std::u16string_view child) const {
    std::u16string path = machine_->ScratchKey();
    if (!child.empty()) path.append(u"\\").append(child);
    return path;
}

HKEY PlatformContract::CreateKey(std::u16string_view child, REGSAM sam) {
    HKEY key = nullptr;
    EXPECT_EQ(platform.RegCreateKeyExW(HKeyCurrentUser(), Key(child).c_str(),
                                       REG_OPTION_NON_VOLATILE, sam, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

HKEY PlatformContract::OpenKey(std::u16string_view child, REGSAM sam) {
    HKEY key = nullptr;
    EXPECT_EQ(platform.RegOpenKeyExW(HKeyCurrentUser(), Key(child).c_str(), 0, sam, &key),
              ERROR_SUCCESS);
    return key;
}

std::u16string PlatformContract::Path(std::u16string_view name) const {
    return machine_->ScratchFolder() + std::u16string(name);
}

bool PlatformContract::WriteWholeFile(const std::u16string &path, std::string_view contents) {
    HANDLE file =
        platform.CreateFileW(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (file == InvalidHandleValue()) return false;
    DWORD written = 0;
    const auto size = static_cast<DWORD>(contents.size());
    const bool ok = platform.WriteFile(file, contents.data(), size, &written) && written == size;
    platform.CloseHandle(file);
    return ok;
}

const BYTE *Bytes(const void *data) {
    return static_cast<const BYTE *>(data);
}

std::vector<BYTE> MultiStringBytes(const std::vector<std::u16string> &texts) {
    std::vector<BYTE> bytes;
    for (const auto &text : texts) {
        for (const char16_t c : text) AppendUtf16Unit(bytes, c);
        AppendUtf16Unit(bytes, u'\0');
    }
    AppendUtf16Unit(bytes, u'\0');
    return bytes;
}

namespace {

template <typename Enumerate>
std::vector<std::u16string> EnumeratedNames(Enumerate enumerate) {
    std::vector<std::u16string> names;
    char16_t name[64];
    for (DWORD index = 0;; ++index) {
        DWORD size = 64;
        const LSTATUS status = enumerate(index, name, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) {
            ADD_FAILURE() << "enumeration index " << index << " answered " << status;
            break;
        }
        names.emplace_back(name, size);
    }
    return names;
}

}  // namespace

std::vector<std::u16string> SubkeyNames(Platform &platform, HKEY key) {
    return EnumeratedNames([&](DWORD index, char16_t *name, DWORD *size) {
        return platform.RegEnumKeyExW(key, index, name, size);
    });
}

std::vector<std::u16string> ValueNames(Platform &platform, HKEY key) {
    return EnumeratedNames([&](DWORD index, char16_t *name, DWORD *size) {
        return platform.RegEnumValueW(key, index, name, size, nullptr, nullptr, nullptr);
    });
}

std::vector<std::u16string> SplitMultiString(const BYTE *bytes, std::size_t size) {
    std::vector<std::u16string> texts;
    std::u16string current;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (c != 0) {
            current.push_back(c);
        } else if (!current.empty()) {
            texts.push_back(current);
            current.clear();
        } else {
            break;
        }
    }
    return texts;
}

}  // namespace cvl::contract
