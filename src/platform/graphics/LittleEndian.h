// Bounds-checked little-endian reads from a file held in memory. A read past the end raises the
// error the caller names, so a truncated record can never read outside the file.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

class TLittleEndian {
public:
    TLittleEndian(const std::string& bytes, std::function<void()> raiseDamaged)
        : Bytes(bytes), RaiseDamaged(std::move(raiseDamaged))
    {
    }

    size_t Size() const { return Bytes.size(); }
    uint8_t U8(size_t at) const { return static_cast<uint8_t>(Bytes[Check(at, 1)]); }
    uint16_t U16(size_t at) const { return static_cast<uint16_t>(U8(Check(at, 2)) | (U8(at + 1) << 8)); }
    int16_t I16(size_t at) const { return static_cast<int16_t>(U16(at)); }
    uint32_t U32(size_t at) const { return U16(Check(at, 4)) | (uint32_t{U16(at + 2)} << 16); }
    int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }
    std::string Slice(size_t at, size_t length) const { return Bytes.substr(Check(at, length), length); }
    bool Has(size_t at, size_t length) const { return at <= Bytes.size() && length <= Bytes.size() - at; }

    [[noreturn]] void Damaged() const
    {
        RaiseDamaged();
        throw std::logic_error("damaged file not reported");  // RaiseDamaged always throws
    }

private:
    size_t Check(size_t at, size_t length) const
    {
        if (!Has(at, length))
            Damaged();
        return at;
    }

    const std::string& Bytes;
    std::function<void()> RaiseDamaged;
};
