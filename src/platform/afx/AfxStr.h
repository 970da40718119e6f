// CString: the framework's single-byte string, the subset the dialog uses.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

#include "platform/win32/Win32.h"

class CString {
public:
    CString() = default;
    CString(const char* psz) : m_str(psz ? psz : "") {}
    CString(const char* pch, int nLength) : m_str(pch, pch + (nLength > 0 ? nLength : 0)) {}
    CString(std::string str) : m_str(std::move(str)) {}
    CString(const CString& other) : m_str(other.m_str) {}
    CString(CString&& other) noexcept : m_str(std::move(other.m_str)) { other.Renew(); }
    CString& operator=(const CString& other) {
        m_str = other.m_str;
        Renew();
        return *this;
    }
    CString& operator=(CString&& other) noexcept {
        m_str = std::move(other.m_str);
        Renew();
        other.Renew();
        return *this;
    }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() {
        m_str.clear();
        Renew();
    }
    char GetAt(int i) const { return m_str.at(static_cast<std::size_t>(i)); }
    operator const char*() const { return m_str.c_str(); }
    const char* GetString() const { return m_str.c_str(); }
    const std::string& Str() const { return m_str; }
    // The same number for as long as this string only grows at its end; a copy, or any other
    // change, takes a new one. Whoever kept an earlier text of the same number holds a prefix of
    // this one, and can take just what was appended.
    std::uint64_t Lineage() const { return m_nLineage; }

    CString& operator=(const char* psz) {
        m_str = psz ? psz : "";
        Renew();
        return *this;
    }
    CString& operator+=(const CString& s) {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(const char* psz) {
        if (psz) m_str += psz;
        return *this;
    }
    CString& operator+=(char ch) {
        m_str += ch;
        return *this;
    }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_str + b.m_str); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const char* b) { return a.m_str == (b ? b : ""); }

    // The format is always a literal of the caller; the text itself is never used as one.
    void Format(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));
    void AppendFormat(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)));

    CString& Trim();
    CString Left(int nCount) const;
    CString Mid(int nFirst, int nCount) const;
    // Drops the first nCount characters.
    void Delete(int nIndex, int nCount = 1);
    int Find(const char* pszSub, int nStart = 0) const;

private:
    void AppendFormatV(const char* pszFormat, va_list args);
    void Renew() { m_nLineage = NewLineage(); }
    static std::uint64_t NewLineage();

    std::string m_str;
    std::uint64_t m_nLineage = NewLineage();
};
