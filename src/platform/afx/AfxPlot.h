// A window of line plots over time, for a series that grows while the program
// runs. Its drawing lives in a library of its own, loaded when the window first
// opens, so that the program's start-up does not pay for the plotting toolkit.
// Nothing here includes Qt. User-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/afx/Afx.h"

struct AFX_PLOT_LINE {
    const char* pszName;
    // The lines of one plot that share a unit share its value axis.
    const char* pszUnit;
    std::size_t nPlot;  // index into the view's plot titles
};

struct AFX_PLOT_VIEW {
    const char* pszTitle;
    std::span<const char* const> plotTitles;
    std::span<const AFX_PLOT_LINE> lines;
    const char* pszExportCaption;  // the button that writes the series to a file
    const char* pszExportFilter;   // the file chooser's filter, "CSV files (*.csv)"
};

// What the window shows, asked while it is shown and never after its owner is gone.
class CPlotSource {
public:
    virtual ~CPlotSource() = default;
    // Samples ever added; those held are the last Count() of them.
    virtual std::uint64_t Added() const = 0;
    virtual std::size_t Count() const = 0;
    // The i-th oldest sample held: its time in seconds since the epoch, and each line's value
    // (NaN where the line has none).
    virtual std::int64_t Time(std::size_t i) const = 0;
    virtual float Value(std::size_t i, std::size_t nLine) const = 0;
    // Writes what is held to the file: empty, or the one line that says why not.
    virtual std::string Export(const std::string& strPath) const = 0;
};

// Opens the window over its owner, or raises it when it is open. The view and the source must
// outlive the owner's window. FALSE, with the reason in strError, when the library cannot be loaded.
BOOL AfxShowPlotWindow(CWnd* pOwner, const AFX_PLOT_VIEW& view, CPlotSource& source, CString& strError);

// The library's entry point, which AfxShowPlotWindow looks up by this name.
#define AFX_PLOT_ENTRY "AfxCreatePlotWindow"
