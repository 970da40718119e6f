// The shows and hides of the setting dialogues and the exit question, in the
// order each handler applies them.
#pragma once

#include "platform/win32/Win32.h"

namespace quillon {

// One control, or a run of consecutive ids; ids without a control are skipped.
struct ShowStep {
    UINT nFirst;
    UINT nLast;
    bool bShow;
};

constexpr ShowStep Show(UINT nID) {
    return {nID, nID, true};
}
constexpr ShowStep Hide(UINT nID) {
    return {nID, nID, false};
}
constexpr ShowStep HideRange(UINT nFirst, UINT nLast) {
    return {nFirst, nLast, false};
}

}  // namespace quillon
