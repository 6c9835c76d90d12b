#include "desktop_files_open.h"

#include "error_record.h"
#include "shared_file.h"
#include "status_codes.h"
#include "text_out.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace services {

DesktopFile::DesktopFile(QVDP_Error *error, const char *path, Mode mode) {
    std::string_view text;
    if (!readText(path, kMaxPathLength, text) || text.empty()) {
        std::string shown = path ? std::string(path, ::strnlen(path, kMaxPathLength)) : std::string();
        qv::setFileError(error, qv::kGeneralFileError, shown, path && *path ? ENAMETOOLONG : ENOENT);
        return;
    }
    using namespace platform;
    switch (mode) {
    case ReadExclusive: fd_ = openFile(std::string(text), Access::Read, Disposition::OpenExisting, Share::None); break;
    case ReadShared: fd_ = openFile(std::string(text), Access::Read, Disposition::OpenExisting, Share::Read); break;
    case CreateOrTruncate:
        fd_ = openFile(std::string(text), Access::ReadWrite, Disposition::CreateAlways, Share::None);
        break;
    }
    if (fd_ < 0) qv::setFileError(error, qv::kGeneralFileError, text, uint32_t(errno));
}

DesktopFile::~DesktopFile() { platform::closeFile(fd_); }

}  // namespace services
