// Decodes the input as a stream of window message frames, the way an
// endpoint reads its socket: each complete frame must lie inside the bytes,
// encode back to exactly the bytes it came from, and be reported as
// incomplete when any of its tail is missing.
#include "window_frames.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace platform::frames;

std::string encodeAgain(const Frame &f) {
    switch (f.kind) {
    case Kind::Post:
    case Kind::Send:
        if (f.message.sent != (f.kind == Kind::Send)) std::abort();
        return encodeMessage(f.kind, f.message.message, f.message.wParam, f.message.lParam);
    case Kind::CopyData: return encodeCopyData(f.copyData.dwData, f.copyData.bytes);
    case Kind::Reply: return encodeReply(f.answer);
    }
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view stream(reinterpret_cast<const char *>(data), size);
    while (!stream.empty()) {
        Frame frame;
        std::size_t consumed = 0;
        DecodeStatus status = decode(stream, frame, consumed);
        if (status == DecodeStatus::NeedMore) {
            if (stream.size() >= kHeaderSize + platform::kMaxCopyDataBytes + 4) std::abort();
            break;
        }
        if (status == DecodeStatus::Bad) {
            if (stream.size() < kHeaderSize) std::abort();
            break;
        }
        if (consumed < kHeaderSize || consumed > stream.size()) std::abort();
        if (encodeAgain(frame) != stream.substr(0, consumed)) std::abort();
        // The same frame cut short anywhere after its header still waits for more.
        for (std::size_t cut = kHeaderSize; cut < consumed; ++cut) {
            Frame partial;
            std::size_t ignored = 0;
            if (decode(stream.substr(0, cut), partial, ignored) != DecodeStatus::NeedMore) std::abort();
        }
        stream.remove_prefix(consumed);
    }
    return 0;
}
