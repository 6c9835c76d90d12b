// Copying desktop files to and from open card files.
#include "QVDPCommon.h"
#include "card_fs.h"
#include "desktop_files_open.h"
#include "desktop_io.h"
#include "error_record.h"
#include "status_codes.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

using namespace services;

namespace {

constexpr std::size_t kToCardPiece = 1024;
constexpr uint32_t kFromCardPiece = 0x100000;  // 1 MiB

}  // namespace

QV_EXPORT int32_t DirectCopyToPalmCard(QVDP_Error *error, int desktopFile, uint32_t cardFile) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kToCardPiece]);
    if (!buffer) {
        qv::setConduitError(error, qv::kNoMemory);
        return 0;
    }
    while (true) {
        long n = readFull(desktopFile, buffer.get(), kToCardPiece);
        if (n < 0) {
            qv::setSystemError(error, qv::kReadFileError, uint32_t(errno));
            return 0;
        }
        if (n == 0) return 1;
        uint32_t written = 0;
        if (int32_t answer = palm::vfs::fileWrite(cardFile, uint32_t(n), buffer.get(), written)) {
            qv::setSyncError(error, qv::kCardWriteError, answer);
            return 0;
        }
    }
}

QV_EXPORT int32_t DirectCopyFromPalmCard(QVDP_Error *error, int desktopFile, uint32_t cardFile) {
    uint32_t size = 0;
    if (int32_t answer = palm::vfs::fileSize(cardFile, size)) {
        qv::setSyncError(error, qv::kGeneralCardFileError, answer);
        return 0;
    }
    if (size == 0) return 1;
    uint32_t piece = std::min(size, kFromCardPiece);
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[piece]);
    if (!buffer) {
        qv::setConduitError(error, qv::kNoMemory);
        return 0;
    }
    uint32_t copied = 0;
    while (copied < size) {
        uint32_t n = 0;
        if (int32_t answer = palm::vfs::fileRead(cardFile, std::min(piece, size - copied), buffer.get(), n)) {
            qv::setSyncError(error, qv::kCardReadError, answer);
            return 0;
        }
        if (n == 0) {
            // The file ended before the size the card reported.
            qv::setSyncError(error, qv::kCardReadError, 0);
            return 0;
        }
        if (int err = writeAll(desktopFile, buffer.get(), n)) {
            qv::setSystemError(error, qv::kWriteFileError, uint32_t(err));
            return 0;
        }
        copied += n;
    }
    return 1;
}

QV_EXPORT int32_t DirectCopyFileToPalmCard(QVDP_Error *error, const char *desktopPath, uint32_t cardFile) {
    DesktopFile file(error, desktopPath, DesktopFile::ReadExclusive);
    return file.ok() ? DirectCopyToPalmCard(error, file.fd(), cardFile) : 0;
}

QV_EXPORT int32_t DirectCopyFileFromPalmCard(QVDP_Error *error, const char *desktopPath, uint32_t cardFile) {
    DesktopFile file(error, desktopPath, DesktopFile::CreateOrTruncate);
    return file.ok() ? DirectCopyFromPalmCard(error, file.fd(), cardFile) : 0;
}
