#include "handheld_database.h"

#include "sync_manager.h"

namespace qvplugin {

namespace {
constexpr int kCard = 0;
}

std::unique_ptr<HandheldDatabase> HandheldDatabase::openReadOnly(const std::string &name, int32_t &error) {
    palm::sync::DbHandle handle = 0;
    error = palm::sync::openDatabase(name, kCard, palm::sync::kModeRead, handle);
    if (error != 0) return nullptr;
    palm::sync::DbInfo info;
    error = palm::sync::readOpenDatabaseInfo(handle, info);
    if (error != 0) {
        palm::sync::closeDatabase(handle);
        return nullptr;
    }
    return std::unique_ptr<HandheldDatabase>(new HandheldDatabase(handle, info.recordCount, info.maxRecordSize));
}

HandheldDatabase::~HandheldDatabase() { palm::sync::closeDatabase(handle_); }

bool HandheldDatabase::readRecord(uint32_t index, std::vector<uint8_t> &record) {
    if (index >= recordCount_) return false;
    palm::sync::RecordInfo info;
    // A record larger than the database said its largest was is read again
    // with the size the first answer gave.
    record.resize(largestRecord_);
    int32_t error = palm::sync::readRecordByIndex(handle_, uint16_t(index), record.data(), uint32_t(record.size()), info);
    if (error == palm::kSyncErrBufferTooSmall) {
        record.resize(info.size);
        error = palm::sync::readRecordByIndex(handle_, uint16_t(index), record.data(), uint32_t(record.size()), info);
    }
    if (error != 0 || info.size > record.size()) return false;
    record.resize(info.size);
    return true;
}

void HandheldDatabase::yield() { palm::sync::SyncYieldCycles(1); }

}  // namespace qvplugin
