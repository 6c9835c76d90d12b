// The expansion-card file system of the connected handheld: mounted card
// volumes (the volume reference is the slot number), their labels and sizes,
// and files and folders on them. Card paths are absolute, use "/", and are
// found without regard to case, as on the cards' FAT volumes. Answers are 0
// or an error of palm_errors.h: 10760 file not found, 10503 the card is
// write-protected, 10767 a write does not fit, 10802 no room for a new entry.
#pragma once

#include "palm_errors.h"

#include <cstdint>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

namespace palm::vfs {

using FileRef = uint32_t;

// Open modes; callers pass 2 (read), 7 (read/write) or 31 (read/write,
// created when missing, truncated).
enum : uint16_t {
    kModeExclusive = 0x0001,
    kModeRead = 0x0002,
    kModeWrite = 0x0004,
    kModeCreate = 0x0008,
    kModeTruncate = 0x0010,
    kModeReadWrite = kModeExclusive | kModeRead | kModeWrite,
};

// File attributes.
enum : uint32_t {
    kAttrReadOnly = 0x0001,
    kAttrHidden = 0x0002,
    kAttrSystem = 0x0004,
    kAttrDirectory = 0x0010,
    kAttrArchive = 0x0020,
};

enum SeekOrigin : uint16_t { kSeekBegin = 0, kSeekCurrent = 1, kSeekEnd = 2 };

struct VolumeInfo {
    uint32_t attributes = 0;       // kVolumeAttr...
    uint32_t fsType = 0;           // 'vfat'
    uint32_t fsCreator = 0;
    uint32_t mountClass = 0;       // 'libs'
    uint16_t slotRef = 0;
    uint32_t mediaType = 0;        // 'sdig'
};
enum : uint32_t { kVolumeAttrSlotBased = 0x0001, kVolumeAttrReadOnly = 0x0002 };

// With volRefs null (or count 0) sets count to the number of mounted
// volumes; otherwise fills up to count references and sets count to the
// number filled (kVfsErrBufferOverflow when there were more).
int32_t volumeEnumerate(uint16_t *volRefs, uint16_t &count);
int32_t volumeInfo(uint16_t volRef, VolumeInfo &info);
// The label and its terminating NUL must fit bufferSize.
int32_t volumeGetLabel(uint16_t volRef, char *buffer, uint16_t bufferSize);
int32_t volumeSetLabel(uint16_t volRef, const std::string &label);
int32_t volumeSize(uint16_t volRef, uint32_t &usedBytes, uint32_t &totalBytes);

int32_t fileOpen(uint16_t volRef, const std::string &path, uint16_t mode, FileRef &ref);
// Makes an empty file; 10758 when the name exists.
int32_t fileCreate(uint16_t volRef, const std::string &path);
int32_t fileClose(FileRef ref);
// Reads up to size bytes; bytesRead 0 at the end of the file.
int32_t fileRead(FileRef ref, uint32_t size, void *buffer, uint32_t &bytesRead);
// Writes all bytes or none (10767 when they do not fit on the card).
int32_t fileWrite(FileRef ref, uint32_t size, const void *bytes, uint32_t &bytesWritten);
int32_t fileSeek(FileRef ref, SeekOrigin origin, int32_t offset);
int32_t fileTell(FileRef ref, uint32_t &position);
int32_t fileSize(FileRef ref, uint32_t &size);
// Deletes a file or an empty folder that is not open.
int32_t fileDelete(uint16_t volRef, const std::string &path);
// Gives the file or folder a new name in the same folder (a name, not a path).
int32_t fileRename(uint16_t volRef, const std::string &path, const std::string &newName);
int32_t fileSetAttributes(FileRef ref, uint32_t attributes);
int32_t fileGetAttributes(FileRef ref, uint32_t &attributes);
// Makes one folder; its parent must exist.
int32_t dirCreate(uint16_t volRef, const std::string &path);

// Convenience for the tools: the entries of a folder ("name", folder flag).
int32_t dirList(uint16_t volRef, const std::string &path, std::vector<std::pair<std::string, bool>> &entries);

}  // namespace palm::vfs

#pragma GCC visibility pop
