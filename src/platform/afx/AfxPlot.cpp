// Loads the plot window's library on first use and keeps it for the run.

#include "platform/afx/AfxPlot.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

#include "platform/afx/AfxImpl.h"

namespace {

using CreatePlotWindow = QWidget* (*)(QWidget* pOwner, const AFX_PLOT_VIEW* pView, CPlotSource* pSource);

// Beside the program in the build tree; where the installation puts it otherwise.
QStringList PlotLibraryPaths() {
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir + "/" QUILLON_PLOT_LIBRARY,
            dir + "/" QUILLON_PLOT_LIBRARY_FROM_BINDIR "/" QUILLON_PLOT_LIBRARY};
}

CreatePlotWindow LoadPlotLibrary(QString& error) {
    static CreatePlotWindow s_pfnCreate = nullptr;
    if (s_pfnCreate) return s_pfnCreate;
    const QStringList paths = PlotLibraryPaths();
    for (const QString& path : paths) {
        if (!QFileInfo::exists(path)) continue;
        // Never unloaded: the window's code stays for the run.
        QLibrary library(path);
        s_pfnCreate = reinterpret_cast<CreatePlotWindow>(library.resolve(AFX_PLOT_ENTRY));
        if (!s_pfnCreate) error = library.errorString();
        return s_pfnCreate;
    }
    error = "the plotting library is missing (looked for " + paths.join(" and ") + ")";
    return nullptr;
}

}  // namespace

BOOL AfxShowPlotWindow(CWnd* pOwner, const AFX_PLOT_VIEW& view, CPlotSource& source, CString& strError) {
    static QPointer<QWidget> s_pWindow;
    if (!s_pWindow) {
        const AfxWindow* pOwnerWindow = AfxWindow::From(pOwner);
        QString error;
        const CreatePlotWindow pfnCreate = LoadPlotLibrary(error);
        if (!pfnCreate) {
            strError = afx::ToStd(error);
            return FALSE;
        }
        s_pWindow = pfnCreate(pOwnerWindow ? pOwnerWindow->Widget() : nullptr, &view, &source);
    }
    s_pWindow->show();
    s_pWindow->raise();
    s_pWindow->activateWindow();
    return TRUE;
}
