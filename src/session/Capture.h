// quillon --capture FILE: every chunk that passes on the line, one line of CaptureFormat each,
// written out as it passes, so that a crash keeps what came before.
#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/win32/LineTap.h"
#include "session/CaptureFormat.h"

namespace quillon {

class CLineCapture final : public win32::LineTap {
public:
    // Opens (truncates) the file and taps the line; null, with one line on standard error, when
    // the file cannot be written: the program goes on without a capture.
    static std::unique_ptr<CLineCapture> Start(const std::string& strPath);

    ~CLineCapture();
    CLineCapture(const CLineCapture&) = delete;
    CLineCapture& operator=(const CLineCapture&) = delete;

    void OnPortOpened() override;
    void OnLineBytes(win32::LineDirection direction, const BYTE* pBytes, std::size_t nBytes) override;

private:
    using Clock = std::chrono::steady_clock;

    CLineCapture(std::string strPath, std::FILE* pFile);
    // The first write that fails (a full disk) is said once, and ends the capture.
    void Fail(int nErrno);

    const std::string m_strPath;
    std::mutex m_mutex;
    std::FILE* m_pFile;
    // The capture's times count from the first port's opening.
    std::optional<Clock::time_point> m_start;
};

}  // namespace quillon
