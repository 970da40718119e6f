#include "app/QuillonDlg.h"

using namespace quillon;

int g_nPage = PAGE_WAIT_ACTIVATION;

void CQuillonDlg::SwitchPage(PageTile tile) {
    ApplyShowSteps(SwitchVisibility(tile));
    if (const auto nPage = kTilePage[static_cast<std::size_t>(tile)]) g_nPage = *nPage;
}

void CQuillonDlg::OnPageTerminalStatus() {
    SwitchPage(PageTile::TerminalStatus);
}

void CQuillonDlg::OnPageThermal() {
    SwitchPage(PageTile::Thermal);
}

void CQuillonDlg::OnPagePower() {
    SwitchPage(PageTile::Power);
}

void CQuillonDlg::OnPageIoCom() {
    SwitchPage(PageTile::IoCom);
}

void CQuillonDlg::OnPageIo() {
    SwitchPage(PageTile::Io);
}

void CQuillonDlg::OnExit2() {
    g_nPage = PAGE_WAIT_EXIT_CONFIRM;
}

void CQuillonDlg::OnIn2() {
    g_nPage = PAGE_WAIT_ACTIVATION;
}
