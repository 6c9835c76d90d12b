// The records of one handheld database opened read-only, as the copies of
// categories and FTP accounts from the handheld read them.
#pragma once

#include <cstdint>
#include <vector>

namespace qvplugin {

class HandheldRecords {
public:
    virtual ~HandheldRecords() = default;
    virtual uint32_t recordCount() const = 0;
    // Reads the record at `index` into `record`; false when it cannot be read.
    virtual bool readRecord(uint32_t index, std::vector<uint8_t> &record) = 0;
    // Lets the HotSync Manager run one cycle between records.
    virtual void yield() {}
};

}  // namespace qvplugin
