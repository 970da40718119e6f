// String table.

#include <iterator>

#include "Resource.h"
#include "platform/afx/AfxRes.h"

namespace {

struct StringEntry {
    UINT nID;
    const char* pszText;
};

constexpr StringEntry kStrings[] = {
    {IDS_ABOUTBOX, "關於 Quillon(&A)..."},
};

}  // namespace

const char* AfxFindStringResource(UINT nID) {
    for (const StringEntry& entry : kStrings) {
        if (entry.nID == nID) return entry.pszText;
    }
    return nullptr;
}
