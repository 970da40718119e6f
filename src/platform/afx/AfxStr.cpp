#include "platform/afx/AfxStr.h"

#include <atomic>
#include <cstdio>
#include <vector>

std::uint64_t CString::NewLineage() {
    // Never 0, which holders use for "no string's text".
    static std::atomic<std::uint64_t> s_nLast{0};
    return s_nLast.fetch_add(1, std::memory_order_relaxed) + 1;
}

void CString::AppendFormatV(const char* pszFormat, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    if (n <= 0) return;
    std::vector<char> buf(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), pszFormat, args);
    m_str.append(buf.data(), static_cast<std::size_t>(n));
}

void CString::Format(const char* pszFormat, ...) {
    m_str.clear();
    Renew();
    va_list args;
    va_start(args, pszFormat);
    AppendFormatV(pszFormat, args);
    va_end(args);
}

void CString::AppendFormat(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    AppendFormatV(pszFormat, args);
    va_end(args);
}

CString& CString::Trim() {
    const char* const ws = " \t\r\n\v\f";
    const auto first = m_str.find_first_not_of(ws);
    if (first == std::string::npos) {
        if (!m_str.empty()) Empty();
        return *this;
    }
    const auto count = m_str.find_last_not_of(ws) - first + 1;
    if (first == 0 && count == m_str.size()) return *this;
    m_str = m_str.substr(first, count);
    Renew();
    return *this;
}

CString CString::Left(int nCount) const {
    if (nCount <= 0) return {};
    return CString(m_str.substr(0, static_cast<std::size_t>(nCount)));
}

CString CString::Mid(int nFirst, int nCount) const {
    if (nFirst < 0) nFirst = 0;
    if (nCount <= 0 || static_cast<std::size_t>(nFirst) >= m_str.size()) return {};
    return CString(m_str.substr(static_cast<std::size_t>(nFirst), static_cast<std::size_t>(nCount)));
}

void CString::Delete(int nIndex, int nCount) {
    if (nIndex < 0 || nCount <= 0 || static_cast<std::size_t>(nIndex) >= m_str.size()) return;
    m_str.erase(static_cast<std::size_t>(nIndex), static_cast<std::size_t>(nCount));
    Renew();
}

int CString::Find(const char* pszSub, int nStart) const {
    if (!pszSub || nStart < 0) return -1;
    const auto pos = m_str.find(pszSub, static_cast<std::size_t>(nStart));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}
