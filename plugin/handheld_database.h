// A handheld database in the connected handheld's RAM, opened read-only on
// card 0 through the Sync Manager and closed again when the object goes.
#pragma once

#include "handheld_records.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qvplugin {

class HandheldDatabase : public HandheldRecords {
public:
    // Opens the database and reads its information; null (with the Sync
    // Manager's answer in `error`) when either fails.
    static std::unique_ptr<HandheldDatabase> openReadOnly(const std::string &name, int32_t &error);
    ~HandheldDatabase() override;

    uint32_t recordCount() const override { return recordCount_; }
    bool readRecord(uint32_t index, std::vector<uint8_t> &record) override;
    void yield() override;

private:
    HandheldDatabase(uint8_t handle, uint32_t recordCount, uint32_t largestRecord)
        : handle_(handle), recordCount_(recordCount), largestRecord_(largestRecord) {}

    uint8_t handle_;
    uint32_t recordCount_;
    uint32_t largestRecord_;
};

}  // namespace qvplugin
