#include "card_files.h"

#include "QVDPCommon.h"
#include "card_fs.h"

namespace conduit {

int32_t readCardFile(uint16_t volume, const std::string &path, uint32_t maxSize, std::vector<uint8_t> &bytes) {
    bytes.clear();
    palm::vfs::FileRef ref = 0;
    if (int32_t answer = palm::vfs::fileOpen(volume, path, kCardOpenRead, ref)) return answer;
    uint32_t size = 0;
    int32_t answer = palm::vfs::fileSize(ref, size);
    if (answer == 0 && size > maxSize) answer = kCardFileTooLarge;
    if (answer == 0) {
        bytes.resize(size);
        uint32_t done = 0;
        while (answer == 0 && done < size) {
            uint32_t n = 0;
            answer = palm::vfs::fileRead(ref, size - done, bytes.data() + done, n);
            if (answer == 0 && n == 0) answer = palm::kVfsErrFileEOF;   // shorter than its size
            done += n;
        }
    }
    palm::vfs::fileClose(ref);
    if (answer != 0) bytes.clear();
    return answer;
}

namespace {

CardWriteResult replaceOnce(uint16_t volume, const std::string &path, const std::vector<uint8_t> &bytes) {
    const std::string temp = path + ".tmp";
    CardWriteResult result;
    palm::vfs::FileRef ref = 0;
    if (int32_t answer = palm::vfs::fileOpen(volume, temp, kCardOpenCreateTruncate, ref)) {
        result = {answer, CardWriteStage::Create};
        return result;
    }
    int32_t answer = palm::vfs::fileSetAttributes(ref, palm::vfs::kAttrHidden);
    if (answer == 0) answer = palm::vfs::fileSeek(ref, palm::vfs::kSeekBegin, 0);
    // One write: the card writes all of it or nothing.
    if (answer == 0 && !bytes.empty()) {
        uint32_t written = 0;
        answer = palm::vfs::fileWrite(ref, uint32_t(bytes.size()), bytes.data(), written);
        if (answer == 0 && written != bytes.size()) answer = palm::kVfsErrVolumeFull;
    }
    int32_t closed = palm::vfs::fileClose(ref);
    // A file left open could be neither deleted nor replaced.
    if (closed != 0) closed = palm::vfs::fileClose(ref);
    if (answer == 0) answer = closed;
    if (answer != 0) {
        palm::vfs::fileDelete(volume, temp);
        return {answer, CardWriteStage::Write};
    }
    if (int32_t replaced = QVVFSReplaceFile(volume, path.c_str(), temp.c_str())) {
        palm::vfs::fileDelete(volume, temp);
        return {replaced, CardWriteStage::Replace};
    }
    return result;
}

}  // namespace

CardWriteResult replaceCardFile(uint16_t volume, const std::string &path, const std::vector<uint8_t> &bytes) {
    CardWriteResult result = replaceOnce(volume, path, bytes);
    if (!result.ok()) result = replaceOnce(volume, path, bytes);
    return result;
}

}  // namespace conduit
