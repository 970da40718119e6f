#include "session/HistoryCsv.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

namespace quillon {

namespace {

std::string CannotWrite(const std::string& strPath, int nError) {
    return "the sensor history cannot be written to " + strPath + ": " + std::strerror(nError);
}

// Whole lines only: a short write or a failed flush is an error to report.
bool WriteText(std::FILE* pFile, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), pFile) == text.size() && std::fflush(pFile) == 0;
}

}  // namespace

HistoryCsvFile g_historyFile;

std::string FormatUtcTime(std::int64_t nTime) {
    const std::time_t time = static_cast<std::time_t>(nTime);
    std::tm utc{};
    if (const std::tm* pUtc = std::gmtime(&time)) utc = *pUtc;
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string HistoryCsvHeader() {
    std::string header = "time";
    for (const SensorQuantity& quantity : kSensorQuantities) {
        header += ',';
        header += quantity.pszId;
        header += '_';
        header += quantity.pszUnitWord;
    }
    return header + "\n";
}

// The shortest text that reads back as the same float: 12.345, not 12.3450003.
std::string HistoryCsvRow(const SensorSample& sample) {
    std::string row = FormatUtcTime(sample.nTime);
    for (float fValue : sample.afValue) {
        row += ',';
        if (std::isnan(fValue)) continue;
        char text[32];
        const auto result = std::to_chars(std::begin(text), std::end(text), fValue);
        row.append(text, result.ptr);
    }
    return row + "\n";
}

std::string ExportHistoryCsv(const std::string& strPath, const SensorHistory& history) {
    std::FILE* pFile = std::fopen(strPath.c_str(), "w");
    if (!pFile) return CannotWrite(strPath, errno);
    std::string text = HistoryCsvHeader();
    bool bWritten = true;
    for (std::size_t i = 0; i < history.Size() && bWritten; ++i) {
        text += HistoryCsvRow(history[i]);
        // Written in pieces: a day's history is a few megabytes.
        if (text.size() >= 1 << 16) {
            bWritten = WriteText(pFile, text);
            text.clear();
        }
    }
    bWritten = bWritten && WriteText(pFile, text);
    int nError = bWritten ? 0 : errno;
    if (std::fclose(pFile) != 0 && bWritten) {
        bWritten = false;
        nError = errno;
    }
    if (bWritten) return {};
    std::remove(strPath.c_str());
    return CannotWrite(strPath, nError);
}

HistoryCsvFile::~HistoryCsvFile() {
    Close();
}

std::string HistoryCsvFile::Open(const std::string& strPath) {
    Close();
    m_strPath = strPath;
    m_pFile = std::fopen(strPath.c_str(), "a");
    if (!m_pFile) return CannotWrite(strPath, errno);
    if (std::fseek(m_pFile, 0, SEEK_END) != 0) return Fail(errno);
    if (std::ftell(m_pFile) == 0 && !WriteText(m_pFile, HistoryCsvHeader())) return Fail(errno);
    return {};
}

std::string HistoryCsvFile::Append(const SensorSample& sample) {
    if (!m_pFile) return {};
    if (!WriteText(m_pFile, HistoryCsvRow(sample))) return Fail(errno);
    return {};
}

std::string HistoryCsvFile::Fail(int nError) {
    Close();
    return CannotWrite(m_strPath, nError);
}

void HistoryCsvFile::Close() {
    if (m_pFile) std::fclose(m_pFile);
    m_pFile = nullptr;
}

}  // namespace quillon
