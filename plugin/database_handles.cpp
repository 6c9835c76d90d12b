#include "database_handles.h"

#include "error_record.h"

namespace qvplugin {

namespace {
constexpr int kCard = 0;
}

DatabaseInput::~DatabaseInput() {
    if (open_) palm::sync::closeDatabase(handle_);
}

int32_t DatabaseInput::open(const std::string &name, uint8_t mode) {
    const int32_t answer = palm::sync::openDatabase(name, kCard, mode, handle_);
    open_ = answer == 0;
    return answer;
}

DatabaseOutput::~DatabaseOutput() {
    if (open_) finish(false);
}

int32_t DatabaseOutput::create(const palm::sync::CreateDbInfo &info, bool replace) {
    name_ = info.name;
    int32_t answer = palm::sync::createDatabase(info, handle_);
    if (answer == palm::kSyncErrExists && replace) {
        palm::sync::deleteDatabase(info.name, kCard);
        answer = palm::sync::createDatabase(info, handle_);
    }
    open_ = changed_ = answer == 0;
    return answer;
}

int32_t DatabaseOutput::openExisting(const std::string &name) {
    name_ = name;
    const int32_t answer = palm::sync::openDatabase(name, kCard, palm::sync::kModeReadWrite, handle_);
    open_ = answer == 0;
    changed_ = false;
    return answer;
}

int32_t DatabaseOutput::finish(bool keep) {
    if (!open_) return 0;
    open_ = false;
    const int32_t closed = palm::sync::closeDatabase(handle_);
    if (closed != 0) {
        // A close that was refused may have left the database open, which
        // would keep it from being deleted; a second close lets it go.
        palm::sync::closeDatabase(handle_);
    }
    if (changed_ && (!keep || closed != 0)) palm::sync::deleteDatabase(name_, kCard);
    return closed;
}

bool DatabaseOutput::complete(QVDP_Error *error, bool written, int32_t closeCode) {
    const int32_t closed = finish(written);
    if (written && closed != 0) {
        qv::setSyncError(error, closeCode, closed);
        return false;
    }
    return written;
}

}  // namespace qvplugin
