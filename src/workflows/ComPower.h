// The COM-port supply dialogue: what each choice button stores, the masks
// the frame carries, and the controls each step shows and hides.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "protocol/Frame.h"
#include "res/Resource.h"
#include "workflows/ShowSteps.h"

namespace quillon {

constexpr std::size_t kComPortCount = 8;
constexpr UINT kFirstComChoice = IDC_COM1_5V;
constexpr UINT kLastComChoice = IDC_COM8_RI;
constexpr std::size_t kChoicesPerPort = 3;
constexpr DWORD kComPowerWaitMs = 20;

// What a choice stores, by its place in the port's row: "5V", "12V", "RI".
struct SupplyEntries {
    bool bPower;
    bool b12V;
};
inline constexpr SupplyEntries kSupplyEntries[kChoicesPerPort] = {
    {true, false}, {true, true}, {false, false}};

struct ComChoice {
    std::size_t nPort;  // 0 for COM1
    Byte byPowerBit;    // the port's g_byComPowerBit entry
    Byte by12VBit;      // the port's g_byCom12VBit entry
};

// The entries a choice button stores; none for an id that is no choice button.
constexpr std::optional<ComChoice> ComChoiceFor(UINT nID) {
    if (nID < kFirstComChoice || nID > kLastComChoice) return std::nullopt;
    const std::size_t nIndex = nID - kFirstComChoice;
    const std::size_t nPort = nIndex / kChoicesPerPort;
    const SupplyEntries& entries = kSupplyEntries[nIndex % kChoicesPerPort];
    const Byte bit = static_cast<Byte>(1u << nPort);
    return ComChoice{nPort, entries.bPower ? bit : Byte{0}, entries.b12V ? bit : Byte{0}};
}

// Each entry is 0 or its own port's bit, so the sum is the mask of the ports.
constexpr Byte SumEntries(std::span<const Byte, kComPortCount> entries) {
    unsigned sum = 0;
    for (Byte entry : entries) sum += entry;
    return static_cast<Byte>(sum & 0xFF);
}

// A choice leaves the busy message, the notice and "Confirm" as they were.
inline constexpr ShowStep kComChoiceSteps[] = {Show(IDC_COM_PORT_SET), Hide(IDC_COM_SET_YES),
                                               Hide(IDC_COM_SET_NO), Hide(IDC_STATIC_APPLY_CHANGE)};

inline constexpr ShowStep kComPortSetSteps[] = {
    Show(IDC_STATIC_APPLY_CHANGE), Show(IDC_COM_SET_YES),          Show(IDC_COM_SET_NO),
    Hide(IDC_COM_PORT_SET),        Hide(IDC_STATIC_OSD_ON_REBOOT), Hide(IDC_STATIC_OSD_OFF_REBOOT),
    Hide(IDC_EDIT_NOTICE)};

// The busy message stays up if it was.
inline constexpr ShowStep kComNoSteps[] = {Hide(IDC_STATIC_APPLY_CHANGE),  Show(IDC_COM_PORT_SET),
                                           Hide(IDC_COM_SET_YES),          Hide(IDC_COM_SET_NO),
                                           Hide(IDC_STATIC_OSD_ON_REBOOT), Hide(IDC_STATIC_OSD_OFF_REBOOT),
                                           Hide(IDC_EDIT_NOTICE)};

inline constexpr ShowStep kComYesSteps[] = {Show(IDC_COM_SET_YES), Show(IDC_COM_SET_NO),
                                            Hide(IDC_STATIC_APPLY_CHANGE), Show(IDC_STATIC_BUSY)};

// "Yes" once the controller's prompt has been seen.
inline constexpr ShowStep kComYesPromptedSteps[] = {
    Hide(IDC_COM_SET_YES),           Hide(IDC_COM_SET_NO),   Hide(IDC_STATIC_BUSY),
    Show(IDC_COM_CONFIRM),           Hide(IDC_COM_PORT_SET), Hide(IDC_STATIC_OSD_ON_REBOOT),
    Hide(IDC_STATIC_OSD_OFF_REBOOT), Show(IDC_EDIT_NOTICE)};

inline constexpr ShowStep kComConfirmSteps[] = {Hide(IDC_COM_CONFIRM)};

}  // namespace quillon
