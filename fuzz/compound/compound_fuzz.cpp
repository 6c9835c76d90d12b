// Opens the input as a compound file, reads every stream below the root to
// its end, then copies the streams into a new container and checks that
// they read back unchanged.
#include "compound_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<uint8_t> readToEnd(conv::DocumentStream &s) {
    std::vector<uint8_t> bytes;
    uint8_t buffer[700];
    s.seek(0, conv::ByteStream::kBegin);
    for (;;) {
        size_t n = s.read(buffer, 1, sizeof buffer);
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (n < sizeof buffer) break;
    }
    if (bytes.size() > uint64_t(s.size())) std::abort();
    return bytes;
}

void readTyped(conv::DocumentStream &s) {
    s.seek(0, conv::ByteStream::kBegin);
    s.readU16();
    s.readCountedString();
    s.skip(-5);
    s.readI16();
    s.seek(-3, conv::ByteStream::kEnd);
    s.readU32();
    if (s.tell() < 0 || s.tell() > s.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    conv::MemoryStream input(data, size);
    auto storage = conv::openStorage(input);
    if (!storage) return 0;

    conv::MemoryStream copyFile;
    auto copy = conv::createStorage(copyFile);
    std::vector<std::pair<std::u16string, std::vector<uint8_t>>> copied;
    for (const auto &child : storage->children()) {
        conv::DocumentStream *s = storage->openStream(child.name);
        if (!s) continue;
        std::vector<uint8_t> bytes = readToEnd(*s);
        readTyped(*s);
        conv::DocumentStream *w = copy->createStream(child.name);
        if (!w) continue;
        if (w->write(bytes.data(), 1, bytes.size()) != bytes.size()) std::abort();
        copied.emplace_back(child.name, std::move(bytes));
    }
    if (!copy->close()) std::abort();

    auto reread = conv::openStorage(copyFile);
    if (!reread || reread->damaged()) std::abort();
    for (const auto &[name, bytes] : copied) {
        conv::DocumentStream *s = reread->openStream(name);
        if (!s || readToEnd(*s) != bytes) std::abort();
    }
    return 0;
}
