// The sensor history as CSV: the time (ISO 8601, UTC) and one column per
// quantity, named with its unit; a quantity not arrived yet leaves its cell empty.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "session/SensorHistory.h"

namespace quillon {

// "2024-03-05T14:07:09Z"
std::string FormatUtcTime(std::int64_t nTime);

// Each ends in a line break.
std::string HistoryCsvHeader();
std::string HistoryCsvRow(const SensorSample& sample);

// Writes the header and every sample held, replacing the file. Returns an empty text, or the one
// line (in lower case, to follow a program's name) that says why the file could not be written (a partial
// file is removed).
std::string ExportHistoryCsv(const std::string& strPath, const SensorHistory& history);

// A file that each sample is appended to as it is taken; the header goes first into a new or empty
// file. Each row is flushed, so the file holds every sample taken up to a crash.
class HistoryCsvFile {
public:
    HistoryCsvFile() = default;
    ~HistoryCsvFile();
    HistoryCsvFile(const HistoryCsvFile&) = delete;
    HistoryCsvFile& operator=(const HistoryCsvFile&) = delete;

    // Empty, or the line that says why the file cannot be written.
    std::string Open(const std::string& strPath);
    bool IsOpen() const { return m_pFile != nullptr; }
    // Empty, or why the row could not be written: the file is then closed and takes no more.
    std::string Append(const SensorSample& sample);

private:
    std::string Fail(int nError);
    void Close();

    std::FILE* m_pFile = nullptr;
    std::string m_strPath;
};

// The file of --history, opened before the window; closed, it takes nothing.
extern HistoryCsvFile g_historyFile;

}  // namespace quillon
