// The conduit's side of the agreement with the desktop program: before a run
// touches a user's lists the desktop program must let go of them, and after
// the run it is told to reload. The two programs meet through named
// manual-reset events and one posted window message.
//
//   "QVDP_COND_FINISHED"     made by the conduit first, signalled at the end
//   "QVDP_COND_WANTS_START"  held by a running desktop program; the conduit
//                            creates (signalled) or signals it to ask
//   "QVDP_COND_CAN_START"    the desktop program allows the run
//   "QVDP_COND_CANT_START"   the desktop program refuses it
//
// A desktop program that does not answer within 10000 ms refuses.
#pragma once

#include "named_objects.h"

#include <cstdint>
#include <optional>
#include <string>

namespace conduit {

inline constexpr const char kFinishedEvent[] = "QVDP_COND_FINISHED";
inline constexpr const char kWantsStartEvent[] = "QVDP_COND_WANTS_START";
inline constexpr const char kCanStartEvent[] = "QVDP_COND_CAN_START";
inline constexpr const char kCantStartEvent[] = "QVDP_COND_CANT_START";
inline constexpr const char kDesktopWindowClass[] = "TQVPapyrineMainForm";
constexpr uint32_t kAnswerTimeoutMs = 10000;
constexpr uint32_t kReloadUserMessage = 0x0400 + 14;   // WM_USER + 14, lParam = Palm user id

class DesktopHandshake {
public:
    // Asks the desktop program for permission; true when the run may start.
    // A refusal keeps the finished event held until releaseFinished().
    bool begin();
    // Signals the end of the run and, when notify is set and the desktop
    // program's main window exists, posts it the id of the user.
    void end(const std::string &userName, bool notify);
    // Closes the start event when it is held.
    void closeStartEvent();
    // Signals and closes the finished event when it is still held, so that a
    // desktop program waiting for it is released.
    void releaseFinished();

private:
    void signalFinished();

    std::optional<platform::NamedEvent> finished_;
    std::optional<platform::NamedEvent> start_;
};

}  // namespace conduit
