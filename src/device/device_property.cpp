#include "device/device_property.h"

#include "common/multi_string.h"

namespace cvl {

MultiStringProperty::MultiStringProperty(Platform &platform, PropertyMemory memory)
    : platform_(platform), memory_(memory), block_(platform) {}

PropertyRead MultiStringProperty::Read(const PresentDevice &device, DWORD property) {
    // Every read starts with nothing held, as the first ask learns the size.
    block_.Reset();
    blockBytes_ = 0;
    program_.clear();
    size_ = 0;
    error_ = 0;
    DWORD required = 0;
    while (!platform_.SetupDiGetDeviceRegistryPropertyW(device.list, &device.data, property,
                                                        nullptr, Data(), Capacity(), &required)) {
        error_ = platform_.GetLastError();
        if (error_ == ERROR_INVALID_DATA) return PropertyRead::Missing;
        if (error_ != ERROR_INSUFFICIENT_BUFFER || required <= Capacity())
            return PropertyRead::Failed;
        if (!Grow(required)) return PropertyRead::Failed;
    }
    return Finish(required);
}

PropertyRead MultiStringProperty::ReadFixed(const PresentDevice &device, DWORD property,
                                            DWORD bytes) {
    error_ = 0;
    if (!Grow(bytes)) return PropertyRead::Failed;
    DWORD required = 0;
    if (!platform_.SetupDiGetDeviceRegistryPropertyW(device.list, &device.data, property, nullptr,
                                                     Data(), Capacity(), &required))
        return PropertyRead::Failed;
    return Finish(required);
}

std::span<const std::uint8_t> MultiStringProperty::Bytes() const {
    const BYTE *data = memory_ == PropertyMemory::PlatformBlocks
                           ? static_cast<const BYTE *>(block_.Get())
                           : program_.data();
    return {data, data == nullptr ? 0 : size_};
}

std::vector<std::u16string> MultiStringProperty::Texts() const {
    return MultiStringTexts(Bytes());
}

BYTE *MultiStringProperty::Data() {
    if (memory_ == PropertyMemory::PlatformBlocks) return static_cast<BYTE *>(block_.Get());
    return program_.empty() ? nullptr : program_.data();
}

DWORD MultiStringProperty::Capacity() const {
    return memory_ == PropertyMemory::PlatformBlocks ? blockBytes_
                                                     : static_cast<DWORD>(program_.size());
}

// Zeroed bytes; a platform block is allocated before the one it replaces is
// freed.
bool MultiStringProperty::Grow(DWORD bytes) {
    size_ = 0;
    if (memory_ == PropertyMemory::ProgramMemory) {
        program_.assign(bytes, 0);
        return true;
    }
    block_.Adopt(platform_.LocalAlloc(LPTR, bytes));
    blockBytes_ = block_.IsOpen() ? bytes : 0;
    return block_.IsOpen();
}

PropertyRead MultiStringProperty::Finish(DWORD required) {
    size_ = required != 0 && required < Capacity() ? required : Capacity();
    return PropertyRead::Read;
}

}  // namespace cvl
