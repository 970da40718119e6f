// Brushes, fonts, bitmaps and device contexts.

#include <png.h>
#include <sys/mman.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "platform/afx/AfxImpl.h"

namespace afx {

int DluToPixelsX(int nDlu) {
    return nDlu * 2;
}

int DluToPixelsY(int nDlu) {
    return static_cast<int>(std::lround(nDlu * 2.25));
}

int PointsToPixels(int nPoints) {
    return static_cast<int>(std::lround(nPoints * 96.0 / 72.0));
}

namespace {

// Faces the templates and the dialog name, the installed faces that stand in for them, and the
// size of the stand-in against the face's. Liberation Sans is as wide as Arial, wider than the
// dialog face: at its size the captions would overrun the widths the templates give them.
struct FontStandIn {
    const char* pszFace;
    const char* pszStandIn;
    int nPercent;
};

constexpr FontStandIn kFontStandIns[] = {
    {"MS Shell Dlg", "Liberation Sans", 93},
    {"Times New Roman", "Liberation Serif", 100},
    {"新細明體", "AR PL UMing TW", 100},
    {"PMingLiU", "AR PL UMing TW", 100},
};

// The platform's colour for disabled text.
const QColor kGrayText(109, 109, 109);

}  // namespace

void InstallPlatformLook() {
    for (const FontStandIn& standIn : kFontStandIns)
        QFont::insertSubstitution(QString::fromUtf8(standIn.pszFace), QString::fromUtf8(standIn.pszStandIn));
    QPalette palette = QApplication::palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, kGrayText);
    QApplication::setPalette(palette);
}

QColor FaceColor() {
    return QApplication::palette().color(QPalette::Active, QPalette::Window);
}

QColor WindowColor() {
    return QApplication::palette().color(QPalette::Active, QPalette::Base);
}

QFont MakeFont(const LOGFONTA& lf) {
    const QString face =
        QString::fromUtf8(lf.lfFaceName, static_cast<qsizetype>(strnlen(lf.lfFaceName, LF_FACESIZE)));
    QFont font(face);
    const auto standIn =
        std::find_if(std::begin(kFontStandIns), std::end(kFontStandIns), [&](const FontStandIn& s) {
            return face.compare(QString::fromUtf8(s.pszFace), Qt::CaseInsensitive) == 0;
        });
    const int nPercent = standIn == std::end(kFontStandIns) ? 100 : standIn->nPercent;
    if (lf.lfHeight < 0) {
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(-lf.lfHeight * nPercent / 100.0))));
    } else if (lf.lfHeight > 0) {
        // A positive height is the whole cell, internal leading included.
        font.setPixelSize(lf.lfHeight);
        const QFontMetricsF metrics(font);
        font.setPixelSize(
            std::max(1, static_cast<int>(std::lround(lf.lfHeight * lf.lfHeight / metrics.height()))));
    } else {
        font.setPixelSize(PointsToPixels(12));
    }
    if (lf.lfWeight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp<LONG>(lf.lfWeight, 1, 1000)));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    return font;
}

void DrawStretched(QPainter& painter, const QRect& target, const QImage& source, const QRect& part) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target, source, part);
}

HBRUSH DefaultCtlBrush() {
    static HBRUSH__ brush{QColor()};
    return &brush;
}

namespace {

// A picture the build drew: 32 bits a pixel, top row first, the rows 4-byte aligned within the
// embedded bytes; either uncompressed (opaque: the build sets the unused byte) or with the usual bit
// masks and an alpha byte. Null for anything else, which is decoded instead.
QImage WrapTopDownBitmap(const AFX_RESDATA& data) {
    if constexpr (Q_BYTE_ORDER != Q_LITTLE_ENDIAN) return {};
    constexpr std::size_t kHeaders = 54;
    if (data.nSize < kHeaders || data.pData[0] != 'B' || data.pData[1] != 'M') return {};
    const auto field = [&data](std::size_t nAt) {
        quint32 value = 0;
        for (std::size_t i = 0; i < 4 && nAt + i < data.nSize; ++i)
            value |= quint32{data.pData[nAt + i]} << (8 * i);
        return value;
    };
    const quint32 nOffset = field(10);
    const quint32 nInfoSize = field(14);
    const auto nWidth = static_cast<qint32>(field(18));
    const auto nHeight = static_cast<qint32>(field(22));
    const quint32 nCompression = field(30);
    const bool bMasks = nInfoSize >= 56 && nOffset >= 14 + 56 && field(54) == 0x00FF0000u &&
                        field(58) == 0x0000FF00u && field(62) == 0x000000FFu && field(66) == 0xFF000000u;
    QImage::Format format = QImage::Format_Invalid;
    if (nCompression == 0) format = QImage::Format_RGB32;
    if (nCompression == 3 && bMasks) format = QImage::Format_ARGB32;
    if (nInfoSize < 40 || (field(26) & 0xFFFF) != 1 || (field(28) & 0xFFFF) != 32 ||
        format == QImage::Format_Invalid || nWidth <= 0 || nHeight >= 0 || nHeight == INT32_MIN)
        return {};
    const std::uint64_t nRow = std::uint64_t{4} * static_cast<std::uint64_t>(nWidth);
    const std::uint64_t nPixels = nRow * static_cast<std::uint64_t>(-std::int64_t{nHeight});
    const auto address = reinterpret_cast<std::uintptr_t>(data.pData) + nOffset;
    if (nOffset < kHeaders || nOffset > data.nSize || nPixels > data.nSize - nOffset || address % 4 != 0)
        return {};
    return QImage(data.pData + nOffset, nWidth, -nHeight, static_cast<qsizetype>(nRow), format);
}

// Pixels in memory of their own, 2 MB aligned and with each whole 2 MB piece marked for huge pages:
// the first touch of a page picture's 3 MB then costs 257 page faults rather than 768, which on a
// virtual machine took more than half the time of its decoding.
uchar* AllocatePixels(std::size_t nBytes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    void* pPixels = nullptr;
    if (posix_memalign(&pPixels, kHugePage, nBytes) != 0) return nullptr;
    if (nBytes >= kHugePage) ::madvise(pPixels, nBytes / kHugePage * kHugePage, MADV_HUGEPAGE);
    return static_cast<uchar*>(pPixels);
}

// A PNG, decoded by libpng straight into the pixels of an RGB32 or ARGB32 image: unlike the
// toolkit's reader, it reads no list of image plugins first, and the image's memory is that above.
QImage DecodePng(const AFX_RESDATA& data) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data.pData, data.nSize)) return {};
    const bool bAlpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    // Both image formats hold a pixel as one 32-bit word, alpha in its high byte.
    png.format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    const std::size_t nRow = std::size_t{4} * png.width;
    uchar* pPixels = AllocatePixels(nRow * png.height);
    if (!pPixels || !png_image_finish_read(&png, nullptr, pPixels, static_cast<png_int_32>(nRow), nullptr)) {
        png_image_free(&png);
        std::free(pPixels);
        return {};
    }
    return QImage(pPixels, static_cast<int>(png.width), static_cast<int>(png.height),
                  static_cast<qsizetype>(nRow), bAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32,
                  std::free, pPixels);
}

QImage DecodeResourceImage(const AFX_RESDATA& data, QImage::Format format) {
    if (!data.pData || !data.nSize) return {};
    QImage image = WrapTopDownBitmap(data);
    if (image.isNull() && png_sig_cmp(data.pData, 0, data.nSize) == 0) image = DecodePng(data);
    if (image.isNull())
        image = QImage::fromData(QByteArrayView(data.pData, static_cast<qsizetype>(data.nSize)));
    return image.isNull() || image.format() == format ? image : image.convertToFormat(format);
}

QImage DecodeBitmap(UINT nID) {
    return DecodeResourceImage(AfxFindImageResource(nID), QImage::Format_RGB32);
}

// The program's pictures are stored compressed: a thread of their own decodes them from the start,
// in the order the resources list them, so that neither the first paint nor a page's first showing
// decodes a whole picture on the window's thread. The first picture is decoded at once; the rest
// wait until a picture has been asked for and the first paint is surely over, since until then they
// would take the processor from the start-up. A picture asked for while the thread decodes it is
// waited for; one it has not come to yet is decoded by whoever asks, and taken off its list.
class BitmapPrefetch {
public:
    ~BitmapPrefetch() { Stop(); }

    void Start() {
        const std::lock_guard lock(m_mutex);
        if (m_worker.joinable()) return;
        const UINT* pIds = nullptr;
        const std::size_t nIds = AfxBitmapResourceIds(&pIds);
        m_pending.assign(pIds, pIds + nIds);
        m_bAsked = false;
        if (!m_pending.empty()) m_worker = std::thread([this] { Run(); });
    }

    // Waits for the picture being decoded, if any; what is left is decoded when asked for.
    void Stop() {
        {
            const std::lock_guard lock(m_mutex);
            m_pending.clear();
        }
        m_changed.notify_all();
        if (m_worker.joinable()) m_worker.join();
    }

    // The picture if the thread decoded it; empty if the caller must decode it.
    std::optional<QImage> Take(UINT nID) {
        std::unique_lock lock(m_mutex);
        m_bAsked = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_busy != nID; });
        std::erase(m_pending, nID);
        const auto it = m_ready.find(nID);
        if (it == m_ready.end()) return std::nullopt;
        std::optional<QImage> image = std::move(it->second);
        m_ready.erase(it);
        return image;
    }

private:
    // The start-up is well over this long after the first picture was asked for.
    static constexpr std::chrono::milliseconds kStartUpAfterFirstUse{500};

    void Run() {
        std::unique_lock lock(m_mutex);
        DecodeNext(lock);
        m_changed.wait(lock, [&] { return m_bAsked || m_pending.empty(); });
        m_changed.wait_for(lock, kStartUpAfterFirstUse, [&] { return m_pending.empty(); });
        while (!m_pending.empty()) DecodeNext(lock);
    }

    void DecodeNext(std::unique_lock<std::mutex>& lock) {
        if (m_pending.empty()) return;
        const UINT nID = m_pending.front();
        m_pending.erase(m_pending.begin());
        m_busy = nID;
        lock.unlock();
        QImage image = DecodeBitmap(nID);
        lock.lock();
        m_ready.insert_or_assign(nID, std::move(image));
        m_busy.reset();
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<UINT> m_pending;
    std::optional<UINT> m_busy;
    bool m_bAsked = false;
    std::map<UINT, QImage> m_ready;
    std::thread m_worker;
};

BitmapPrefetch& Prefetch() {
    static BitmapPrefetch prefetch;
    return prefetch;
}

}  // namespace

void StartBitmapPrefetch() {
    Prefetch().Start();
}

void StopBitmapPrefetch() {
    Prefetch().Stop();
}

const QImage& BitmapResource(UINT nID) {
    static std::map<UINT, QImage> cache;
    auto it = cache.find(nID);
    if (it == cache.end()) {
        std::optional<QImage> image = Prefetch().Take(nID);
        it = cache.emplace(nID, image ? std::move(*image) : DecodeBitmap(nID)).first;
    }
    return it->second;
}

HICON IconResource(UINT nID) {
    static std::map<UINT, std::unique_ptr<HICON__>> cache;
    auto it = cache.find(nID);
    if (it == cache.end()) {
        QImage image = DecodeResourceImage(AfxFindImageResource(nID), QImage::Format_ARGB32_Premultiplied);
        std::unique_ptr<HICON__> pIcon;
        if (!image.isNull()) pIcon.reset(new HICON__{std::move(image)});
        it = cache.emplace(nID, std::move(pIcon)).first;
    }
    return it->second.get();
}

}  // namespace afx

COLORREF GetSysColor(int nIndex) {
    afx::EnsurePlatform();
    switch (nIndex) {
        case COLOR_WINDOW:
            return afx::ToColorRef(afx::WindowColor());
        case COLOR_WINDOWTEXT:
            return afx::ToColorRef(QApplication::palette().color(QPalette::Active, QPalette::WindowText));
        case COLOR_BTNFACE:
            return afx::ToColorRef(afx::FaceColor());
        default:
            return 0;
    }
}

// ---- GDI objects ---------------------------------------------------------------------------

namespace {

template <class T>
T* HandleOf(const CGdiObject& object) {
    return dynamic_cast<T*>(static_cast<AfxGdiHandle*>(object.m_hObject));
}

}  // namespace

CGdiObject::~CGdiObject() {
    DeleteObject();
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject) return FALSE;
    delete static_cast<AfxGdiHandle*>(m_hObject);
    m_hObject = nullptr;
    return TRUE;
}

BOOL CBrush::CreateSolidBrush(COLORREF crColor) {
    if (m_hObject) return FALSE;
    m_hObject = static_cast<AfxGdiHandle*>(new HBRUSH__(afx::ToQColor(crColor)));
    return TRUE;
}

BOOL CFont::CreatePointFont(int nPointSize, LPCSTR lpszFaceName, CDC*) {
    LOGFONTA lf{};
    // Tenths of a point at 96 dpi, rounded: 140 gives 19 pixels.
    lf.lfHeight = -static_cast<LONG>(std::lround(nPointSize * 96.0 / 720.0));
    lf.lfCharSet = DEFAULT_CHARSET;
    std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", lpszFaceName ? lpszFaceName : "");
    return CreateFontIndirect(&lf);
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* lpLogFont) {
    if (m_hObject || !lpLogFont) return FALSE;
    afx::EnsurePlatform();
    auto* pFont = new HFONT__;
    pFont->logFont = *lpLogFont;
    pFont->font = afx::MakeFont(*lpLogFont);
    m_hObject = static_cast<AfxGdiHandle*>(pFont);
    return TRUE;
}

int CFont::GetLogFont(LOGFONTA* pLogFont) const {
    const HFONT__* pFont = HandleOf<HFONT__>(*this);
    if (!pFont || !pLogFont) return 0;
    *pLogFont = pFont->logFont;
    return sizeof(LOGFONTA);
}

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
    if (m_hObject) return FALSE;
    afx::EnsurePlatform();
    const QImage& image = afx::BitmapResource(nIDResource);
    if (image.isNull()) return FALSE;
    auto* pBitmap = new HBITMAP__;
    pBitmap->image = image;  // shared with the cache until someone draws into it
    m_hObject = static_cast<AfxGdiHandle*>(pBitmap);
    return TRUE;
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const {
    const HBITMAP__* pBitmap = HandleOf<HBITMAP__>(*this);
    if (!pBitmap || !pBitMap) return 0;
    const LONG width = pBitmap->image.width();
    *pBitMap = BITMAP{0, width, pBitmap->image.height(), ((width * 24 + 15) / 16) * 2, 1, 24, nullptr};
    return sizeof(BITMAP);
}

// ---- device contexts ---------------------------------------------------------------------------

struct CDC::Impl {
    enum class Kind { None, Client, Memory };
    Kind kind = Kind::None;
    AfxWindow* pWindow = nullptr;
    CBitmap* pBitmap = nullptr;
    CFont* pFont = nullptr;
    COLORREF crBack = RGB(255, 255, 255);

    AfxDialogWindow* Dialog() const {
        return kind == Kind::Client ? dynamic_cast<AfxDialogWindow*>(pWindow) : nullptr;
    }
    // What drawing on this context changes, or null.
    QImage* Target() const {
        if (kind == Kind::Client) {
            AfxDialogWindow* pDialog = Dialog();
            return pDialog && pDialog->IsBuilt() ? &pDialog->Surface() : nullptr;
        }
        HBITMAP__* pHandle = kind == Kind::Memory && pBitmap ? HandleOf<HBITMAP__>(*pBitmap) : nullptr;
        return pHandle ? &pHandle->image : nullptr;
    }
    // Whether both draw on the same picture; a client's surface is not made to find out.
    bool SameTarget(const Impl& other) const {
        if (kind != other.kind) return false;
        if (kind == Kind::Client) return pWindow == other.pWindow;
        return Target() && Target() == other.Target();
    }
    // A whole picture of the target's size and format becomes the target, shared instead of
    // copied; a dialog keeps any picture stretched over its whole client as it is.
    bool TakeWhole(const QImage& source, const QRect& part, const QSize& size) const {
        if (AfxDialogWindow* pDialog = Dialog()) return pDialog->StretchOverClient(source, part, size);
        QImage* pTarget = Target();
        if (!pTarget || part != source.rect() || pTarget->size() != size || source.size() != size ||
            pTarget->format() != source.format())
            return false;
        *pTarget = source;
        return true;
    }
    QFont Font() const {
        if (const HFONT__* pHandle = pFont ? HandleOf<HFONT__>(*pFont) : nullptr) return pHandle->font;
        if (pWindow && pWindow->EnsureWidget()) return pWindow->Widget()->font();
        return QApplication::font();
    }
};

CDC::CDC() : m_pImpl(std::make_unique<Impl>()) {}

CDC::~CDC() = default;

BOOL CDC::CreateCompatibleDC(CDC*) {
    if (m_pImpl->kind != Impl::Kind::None) return FALSE;
    m_pImpl->kind = Impl::Kind::Memory;
    return TRUE;
}

BOOL CDC::DeleteDC() {
    if (m_pImpl->kind != Impl::Kind::Memory) return FALSE;
    *m_pImpl = Impl{};
    return TRUE;
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    if (m_pImpl->kind != Impl::Kind::Memory) return nullptr;
    return std::exchange(m_pImpl->pBitmap, pBitmap);
}

CFont* CDC::SelectObject(CFont* pFont) {
    return std::exchange(m_pImpl->pFont, pFont);
}

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                     int nSrcHeight, DWORD dwRop) {
    if (dwRop != SRCCOPY || !pSrcDC || nWidth <= 0 || nHeight <= 0 || nSrcWidth <= 0 || nSrcHeight <= 0)
        return FALSE;
    const Impl& from = *pSrcDC->m_pImpl;
    if (from.SameTarget(*m_pImpl)) return FALSE;
    const QImage* pSource = from.Target();
    if (!pSource) return FALSE;
    const QRect part(xSrc, ySrc, nSrcWidth, nSrcHeight);
    if (x != 0 || y != 0 || !m_pImpl->TakeWhole(*pSource, part, QSize(nWidth, nHeight))) {
        QImage* pTarget = m_pImpl->Target();
        if (!pTarget) return FALSE;
        QPainter painter(pTarget);
        afx::DrawStretched(painter, QRect(x, y, nWidth, nHeight), *pSource, part);
    }
    if (AfxDialogWindow* pDialog = m_pImpl->Dialog()) pDialog->SurfaceChanged();
    return TRUE;
}

COLORREF CDC::SetBkColor(COLORREF crColor) {
    return std::exchange(m_pImpl->crBack, crColor);
}

COLORREF CDC::GetBkColor() const {
    return m_pImpl->crBack;
}

COLORREF CDC::GetPixel(int x, int y) const {
    const QImage* pImage = m_pImpl->Target();
    if (!pImage || !pImage->valid(x, y)) return CLR_INVALID;
    return afx::ToColorRef(pImage->pixelColor(x, y));
}

BOOL CDC::GetTextMetrics(TEXTMETRICA* lpMetrics) const {
    if (!lpMetrics) return FALSE;
    const QFont font = m_pImpl->Font();
    const QFontMetrics metrics(font);
    const QFontInfo info(font);
    *lpMetrics = TEXTMETRICA{};
    lpMetrics->tmAscent = metrics.ascent();
    lpMetrics->tmDescent = metrics.descent();
    lpMetrics->tmHeight = metrics.ascent() + metrics.descent();
    lpMetrics->tmInternalLeading = lpMetrics->tmHeight - info.pixelSize();
    lpMetrics->tmExternalLeading = metrics.leading();
    lpMetrics->tmAveCharWidth = metrics.averageCharWidth();
    lpMetrics->tmMaxCharWidth = metrics.maxWidth();
    lpMetrics->tmWeight = info.weight();
    lpMetrics->tmItalic = info.italic() ? 1 : 0;
    lpMetrics->tmUnderlined = font.underline() ? 1 : 0;
    lpMetrics->tmStruckOut = font.strikeOut() ? 1 : 0;
    lpMetrics->tmDigitizedAspectX = lpMetrics->tmDigitizedAspectY = 96;
    lpMetrics->tmFirstChar = 0x20;
    lpMetrics->tmLastChar = 0xFF;
    lpMetrics->tmDefaultChar = '?';
    lpMetrics->tmBreakChar = ' ';
    return TRUE;
}

SIZE CDC::GetTextExtent(LPCSTR lpszString, int nCount) const {
    const QFontMetrics metrics(m_pImpl->Font());
    const QString text = QString::fromUtf8(lpszString ? lpszString : "", lpszString ? nCount : 0);
    return SIZE{metrics.horizontalAdvance(text), metrics.ascent() + metrics.descent()};
}

int CDC::GetTextFace(int nCount, LPSTR lpszFacename) const {
    const QByteArray face = QFontInfo(m_pImpl->Font()).family().toUtf8();
    if (!lpszFacename || nCount <= 0) return static_cast<int>(face.size()) + 1;
    const int nCopied = std::min(static_cast<int>(face.size()), nCount - 1);
    std::memcpy(lpszFacename, face.constData(), static_cast<std::size_t>(nCopied));
    lpszFacename[nCopied] = '\0';
    return nCopied;
}

CClientDC::CClientDC(CWnd* pWnd) {
    m_pImpl->kind = Impl::Kind::Client;
    m_pImpl->pWindow = AfxWindow::From(pWnd);
}

CClientDC::~CClientDC() = default;
