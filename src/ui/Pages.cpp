#include "ui/Pages.h"

#include <algorithm>
#include <iterator>

namespace quillon {

namespace {

template <class Row>
void Collect(std::vector<ShowStep>& out, const Row& row, Vis vis, int bIoNoComPower) {
    bool bShow = false;
    switch (vis) {
        case Vis::Keep:
            return;
        case Vis::Show:
            bShow = true;
            break;
        case Vis::Hide:
            break;
        case Vis::ShowIfComPower:
            bShow = bIoNoComPower == 0;
            break;
        case Vis::ShowIfNoComPower:
            bShow = bIoNoComPower == 1;
            break;
    }
    for (const IdRange& range : row.controls) out.push_back({range.nFirst, range.nLast, bShow});
}

std::optional<std::size_t> PaintColumn(int nPage) {
    const auto* pEnd = std::end(kPaintPages);
    const auto* pAt = std::find(std::begin(kPaintPages), pEnd, nPage);
    if (pAt == pEnd) return std::nullopt;
    return static_cast<std::size_t>(pAt - std::begin(kPaintPages));
}

}  // namespace

std::vector<ShowStep> SwitchVisibility(PageTile tile) {
    std::vector<ShowStep> out;
    const auto nColumn = static_cast<std::size_t>(tile);
    for (const SwitchRow& row : kSwitchTable) Collect(out, row, row.vis[nColumn], 0);
    return out;
}

std::vector<ShowStep> PaintVisibility(int nPage, int bIoNoComPower, bool bEntered) {
    std::vector<ShowStep> out;
    const auto nColumn = PaintColumn(nPage);
    if (!nColumn) return out;
    for (const PaintRow& row : kPaintTable) Collect(out, row, row.vis[*nColumn], bIoNoComPower);
    if (!bEntered) return out;
    for (const PaintRow& row : kPaintEntryTable) Collect(out, row, row.vis[*nColumn], bIoNoComPower);
    return out;
}

UINT PagePicture(int nPage) {
    const auto nColumn = PaintColumn(nPage);
    return nColumn ? kPagePictures[*nColumn] : 0;
}

}  // namespace quillon
