// The OSD dialogue: each button writes one frame and, once the controller has
// acknowledged the previous step, moves on. One table row per button.
#pragma once

#include <span>

#include "protocol/Frame.h"
#include "protocol/Requests.h"
#include "res/Resource.h"
#include "workflows/ShowSteps.h"

namespace quillon {

// The acknowledgement flag a step tests after its write.
enum class OsdAck { None, Request, Apply };

struct OsdStep {
    std::span<const ShowStep> before;  // applied before the write
    std::span<const Byte> frame;
    DWORD dwWaitMs;  // after the write, before the flag is tested
    OsdAck ack;
    std::span<const ShowStep> acknowledged;  // applied when the flag is set
};

constexpr DWORD kOsdDisplayWaitMs = 10;

inline constexpr ShowStep kOsdOnBefore[] = {Show(IDC_STATIC_BUSY), Show(IDC_OSD_ON), Show(IDC_OSD_OFF),
                                            Hide(IDC_STATIC_OSD_OFF_REBOOT), Hide(IDC_STATIC_OSD_ON_REBOOT)};
inline constexpr ShowStep kOsdOnAsked[] = {
    Show(IDC_STATIC_APPLY_CHANGE), Show(IDC_OSD_ON_YES), Show(IDC_OSD_ON_NO),
    Hide(IDC_EDIT_NOTICE),         Hide(IDC_OSD_ON),     Hide(IDC_OSD_OFF),
    Hide(IDC_STATIC_BUSY)};
inline constexpr ShowStep kOsdOffBefore[] = {Show(IDC_OSD_OFF), Show(IDC_OSD_ON),
                                             Hide(IDC_STATIC_OSD_OFF_REBOOT), Hide(IDC_STATIC_OSD_ON_REBOOT),
                                             Show(IDC_STATIC_BUSY)};
inline constexpr ShowStep kOsdOffAsked[] = {
    Show(IDC_STATIC_APPLY_CHANGE), Hide(IDC_OSD_OFF),     Hide(IDC_OSD_ON),     Show(IDC_OSD_OFF_YES),
    Show(IDC_OSD_OFF_NO),          Hide(IDC_EDIT_NOTICE), Hide(IDC_STATIC_BUSY)};
inline constexpr ShowStep kOsdBusy[] = {Show(IDC_STATIC_BUSY)};
// The question stays up beside the result.
inline constexpr ShowStep kOsdOnKept[] = {Show(IDC_STATIC_OSD_ON_REBOOT),
                                          Show(IDC_OSD_ON),
                                          Hide(IDC_OSD_ON_YES),
                                          Hide(IDC_OSD_ON_NO),
                                          Show(IDC_OSD_OFF),
                                          Hide(IDC_STATIC_BUSY)};
inline constexpr ShowStep kOsdOffKept[] = {Show(IDC_STATIC_OSD_OFF_REBOOT),
                                           Show(IDC_OSD_OFF),
                                           Hide(IDC_OSD_OFF_YES),
                                           Hide(IDC_OSD_OFF_NO),
                                           Show(IDC_OSD_ON),
                                           Hide(IDC_STATIC_BUSY)};
// The busy message keeps its visibility.
inline constexpr ShowStep kOsdOnDeclined[] = {Show(IDC_OSD_ON),
                                              Show(IDC_OSD_OFF),
                                              Hide(IDC_OSD_ON_YES),
                                              Hide(IDC_OSD_ON_NO),
                                              Hide(IDC_STATIC_APPLY_CHANGE),
                                              Hide(IDC_EDIT_NOTICE)};
inline constexpr ShowStep kOsdOffDeclined[] = {Show(IDC_OSD_ON),
                                               Show(IDC_OSD_OFF),
                                               Hide(IDC_OSD_OFF_YES),
                                               Hide(IDC_OSD_OFF_NO),
                                               Hide(IDC_STATIC_APPLY_CHANGE),
                                               Hide(IDC_EDIT_NOTICE)};

inline constexpr OsdStep kOsdOnStep{kOsdOnBefore, kOsdDisplayOn, kOsdDisplayWaitMs, OsdAck::Request,
                                    kOsdOnAsked};
inline constexpr OsdStep kOsdOffStep{kOsdOffBefore, kOsdDisplayOff, kOsdDisplayWaitMs, OsdAck::Request,
                                     kOsdOffAsked};
inline constexpr OsdStep kOsdOnYesStep{kOsdBusy, kOsdKeepOn, 0, OsdAck::Apply, kOsdOnKept};
inline constexpr OsdStep kOsdOffYesStep{kOsdBusy, kOsdKeepOff, 0, OsdAck::Apply, kOsdOffKept};
// "No" puts the other choice on the display.
inline constexpr OsdStep kOsdOnNoStep{kOsdOnDeclined, kOsdDisplayOff, 0, OsdAck::None, {}};
inline constexpr OsdStep kOsdOffNoStep{kOsdOffDeclined, kOsdDisplayOn, 0, OsdAck::None, {}};

}  // namespace quillon
