#include "session/Capture.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace quillon {

namespace {

CaptureDirection DirectionOf(win32::LineDirection direction) {
    return direction == win32::LineDirection::Sent ? CaptureDirection::Sent : CaptureDirection::Received;
}

}  // namespace

std::unique_ptr<CLineCapture> CLineCapture::Start(const std::string& strPath) {
    std::FILE* pFile = std::fopen(strPath.c_str(), "w");
    if (!pFile) {
        std::fprintf(stderr, "quillon: cannot write the capture %s: %s; going on without it\n",
                     strPath.c_str(), std::strerror(errno));
        return nullptr;
    }
    std::unique_ptr<CLineCapture> capture(new CLineCapture(strPath, pFile));
    win32::g_pLineTap.store(capture.get(), std::memory_order_release);
    return capture;
}

CLineCapture::CLineCapture(std::string strPath, std::FILE* pFile)
    : m_strPath(std::move(strPath)), m_pFile(pFile) {}

// Taken away once the ports have closed, as the dialog's end closes them.
CLineCapture::~CLineCapture() {
    win32::g_pLineTap.store(nullptr, std::memory_order_release);
    std::lock_guard lock(m_mutex);
    if (m_pFile && std::fclose(std::exchange(m_pFile, nullptr)) != 0) Fail(errno);
}

void CLineCapture::OnPortOpened() {
    std::lock_guard lock(m_mutex);
    if (!m_start) m_start = Clock::now();
}

void CLineCapture::OnLineBytes(win32::LineDirection direction, const BYTE* pBytes, std::size_t nBytes) {
    std::lock_guard lock(m_mutex);
    if (!m_pFile) return;
    const Clock::time_point now = Clock::now();
    if (!m_start) m_start = now;
    const std::string line = CaptureLine(std::chrono::duration<double>(now - *m_start).count(),
                                         DirectionOf(direction), std::span<const Byte>(pBytes, nBytes));
    if (std::fwrite(line.data(), 1, line.size(), m_pFile) != line.size() || std::fflush(m_pFile) != 0)
        Fail(errno);
}

void CLineCapture::Fail(int nErrno) {
    std::fprintf(stderr, "quillon: the capture %s stopped: %s\n", m_strPath.c_str(), std::strerror(nErrno));
    if (m_pFile) std::fclose(std::exchange(m_pFile, nullptr));
}

}  // namespace quillon
