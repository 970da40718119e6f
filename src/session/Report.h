// The terminal report: what a session saw, as JSON or as Prometheus text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "session/SessionValues.h"

namespace quillon {

struct ReportHeader {
    std::string strDevice;
    std::int64_t nTime = 0;  // seconds since 1970, UTC
    std::string strVersion;
};

// "2024-05-01T12:00:00Z".
std::string FormatIsoTime(std::int64_t nTime);

std::string FormatReportJson(const ReportHeader& header, const SessionValues& values);
std::string FormatReportProm(const ReportHeader& header, const SessionValues& values);

// Prometheus text for a path ending in ".prom", else JSON.
std::string FormatReport(std::string_view path, const ReportHeader& header, const SessionValues& values);

// Writes the text whole or not at all: a temporary file beside the path, then a rename.
// Empty on success, else one line that says what failed.
std::string WriteFileWhole(const std::string& path, std::string_view text);

}  // namespace quillon
