// The application object, the platform's start, message boxes and the tools for tests.

#include <sys/eventfd.h>
#include <unistd.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFont>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPixmapCache>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/afx/AfxImpl.h"
#include "platform/win32/LockFile.h"

namespace {

CWinApp* g_pApp = nullptr;
AFX_MESSAGEBOX_HOOK g_pfnMessageBoxHook = nullptr;
QApplication* g_pQtApp = nullptr;

int ShowMessageBox(QWidget* pParent, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    afx::EnsurePlatform();
    const std::string caption = lpszCaption ? lpszCaption : afx::ToStd(QCoreApplication::applicationName());
    if (g_pfnMessageBoxHook) return g_pfnMessageBoxHook(lpszText ? lpszText : "", caption.c_str(), nType);
    QMessageBox box((nType & MB_ICONERROR) ? QMessageBox::Critical : QMessageBox::NoIcon,
                    afx::ToQString(caption), afx::ToQString(lpszText), QMessageBox::Ok, pParent);
    box.setTextFormat(Qt::PlainText);
    const afx::NestedLoop nested;
    box.exec();
    return IDOK;
}

QWidget* WidgetOf(const CWnd* pWnd) {
    const AfxWindow* pWindow = AfxWindow::From(pWnd);
    return pWindow ? pWindow->EnsureWidget() : nullptr;
}

int QtKey(UINT nVirtKey) {
    switch (nVirtKey) {
        case VK_TAB:
            return Qt::Key_Tab;
        case VK_RETURN:
            return Qt::Key_Return;
        case VK_ESCAPE:
            return Qt::Key_Escape;
        case VK_SPACE:
            return Qt::Key_Space;
        case VK_UP:
            return Qt::Key_Up;
        case VK_DOWN:
            return Qt::Key_Down;
        default:
            // Letters and digits share their codes.
            return static_cast<int>(nVirtKey);
    }
}

// The signals that end the program as closing its window does: logging out, kill, Ctrl+C.
constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> g_nEndSignals{0};
std::atomic<int> g_nFirstEndSignal{0};
int g_nEndSignalFd = -1;

// Only what is safe in a handler: the first signal is handed to the window's thread; one more
// while that way out runs ends the program at once, leaving no lock file of ours behind.
void OnEndSignal(int nSignal) {
    if (g_nEndSignals.fetch_add(1) == 0) {
        const int nSavedErrno = errno;
        g_nFirstEndSignal.store(nSignal);
        const std::uint64_t nOne = 1;
        // Fails only if the counter were full, which one write never makes it.
        [[maybe_unused]] const ssize_t nWritten = write(g_nEndSignalFd, &nOne, sizeof nOne);
        errno = nSavedErrno;
        return;
    }
    win32::RemoveHeldLocks();
    std::signal(nSignal, SIG_DFL);
    // Delivered as the handler returns, with the default action: the end the sender asked for.
    raise(nSignal);
}

// On the window's thread: boxes and dialogs over the main window end first, each as its own
// cancel would end it, then the main window takes its cancel command.
void EndBySignal() {
    CWinApp* pApp = AfxGetApp();
    CWnd* pMain = pApp ? pApp->m_pMainWnd : nullptr;
    if (!pMain || !pMain->m_hWnd) {
        // No window to close: the signal does what it would have done.
        win32::RemoveHeldLocks();
        std::signal(g_nFirstEndSignal.load(), SIG_DFL);
        raise(g_nFirstEndSignal.load());
        return;
    }
    QWidget* pLast = nullptr;
    for (QWidget* pModal; (pModal = QApplication::activeModalWidget()) && pModal != pLast; pLast = pModal) {
        if (auto* pBox = qobject_cast<QDialog*>(pModal))
            pBox->reject();
        else
            pModal->close();
    }
    pMain->SendMessage(WM_COMMAND, IDCANCEL, 0);
}

// The end signals' handlers for as long as the application runs; the dispositions found are put
// back after. A signal ignored from the start (nohup) stays ignored.
class EndSignals {
public:
    EndSignals() {
        g_nEndSignalFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (g_nEndSignalFd < 0) return;
        m_pNotifier = std::make_unique<QSocketNotifier>(g_nEndSignalFd, QSocketNotifier::Read);
        QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, [this] {
            // Taken, so that what the handler wrote is seen as done before the descriptor is closed.
            std::uint64_t nCount = 0;
            [[maybe_unused]] const ssize_t nRead = read(g_nEndSignalFd, &nCount, sizeof nCount);
            m_pNotifier->setEnabled(false);
            EndBySignal();
        });
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        sigemptyset(&action.sa_mask);
        for (int nSignal : kEndSignals) sigaddset(&action.sa_mask, nSignal);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
            m_bInstalled[i] = sigaction(kEndSignals[i], nullptr, &m_previous[i]) == 0 &&
                              m_previous[i].sa_handler != SIG_IGN &&
                              sigaction(kEndSignals[i], &action, nullptr) == 0;
        }
    }
    ~EndSignals() {
        for (std::size_t i = 0; i < std::size(kEndSignals); ++i) {
            if (m_bInstalled[i]) sigaction(kEndSignals[i], &m_previous[i], nullptr);
        }
        m_pNotifier.reset();
        if (g_nEndSignalFd >= 0) close(g_nEndSignalFd);
        g_nEndSignalFd = -1;
        g_nEndSignals.store(0);
    }
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    struct sigaction m_previous[std::size(kEndSignals)] = {};
    bool m_bInstalled[std::size(kEndSignals)] = {};
};

// The variables that choose the display, in the order the toolkit looks at them.
constexpr const char* kDisplayVariables[] = {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"};

// One line for a start without a usable display: which variables named the one that failed, and
// what to do instead.
std::string NoDisplayMessage(const std::string& program) {
    std::string named;
    for (const char* pszName : kDisplayVariables) {
        const char* pszValue = std::getenv(pszName);
        if (!pszValue || !*pszValue) continue;
        named += (named.empty() ? "" : ", ") + std::string(pszName) + "=" + pszValue;
    }
    const std::string advice = "or run " + program + " in a desktop session";
    if (named.empty()) return program + ": no display: set DISPLAY (for example DISPLAY=:0), " + advice;
    return program + ": cannot open the display (" + named + "): set DISPLAY to one that runs, " + advice;
}

// While the toolkit looks for its display, what it says is kept back: handed on once it has
// one, or, when it has none, replaced by one line that says what to do; its own end, an abort
// that blames the installation, is never reached. Nothing needs undoing yet at that point.
class DisplaySearch {
public:
    explicit DisplaySearch(std::string program) : m_program(std::move(program)) {
        s_pCurrent = this;
        m_previous = qInstallMessageHandler(&Keep);
    }
    ~DisplaySearch() {
        qInstallMessageHandler(m_previous);
        s_pCurrent = nullptr;
        for (const Kept& kept : m_kept)
            m_previous(kept.type, QMessageLogContext(nullptr, 0, nullptr, kept.category.c_str()), kept.text);
    }
    DisplaySearch(const DisplaySearch&) = delete;
    DisplaySearch& operator=(const DisplaySearch&) = delete;

private:
    struct Kept {
        QtMsgType type;
        std::string category;
        QString text;
    };

    static void Keep(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        DisplaySearch& search = *s_pCurrent;
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", NoDisplayMessage(search.m_program).c_str());
            std::_Exit(1);
        }
        const std::lock_guard lock(search.m_mutex);
        search.m_kept.push_back({type, context.category ? context.category : "", text});
    }

    static inline DisplaySearch* s_pCurrent = nullptr;
    std::string m_program;
    QtMessageHandler m_previous = nullptr;
    std::mutex m_mutex;
    std::vector<Kept> m_kept;
};

}  // namespace

void afx::EnsurePlatform() {
    if (!QCoreApplication::instance()) AfxInitPlatform(0, nullptr);
}

void afx::ReportInvalidArg() {
    AfxMessageBox("The parameter is incorrect.", MB_ICONERROR);
}

// fontconfig keeps a cache for the life of the process and never frees it;
// the address sanitizer's leak check must not take it for a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

void AfxInitPlatform(int argc, char** argv) {
    if (QCoreApplication::instance()) return;
    static std::string name = "quillon";
    static std::vector<char*> args;
    static int nArgs = 0;
    if (argv) args.assign(argv, argv + argc);
    if (args.empty()) args.push_back(name.data());
    nArgs = static_cast<int>(args.size());
    args.push_back(nullptr);
    // On an X display the pixels go to the server inside the requests, not through shared memory:
    // Qt may draw into a shared image only once the server has read the last one, and asks it
    // with a round trip before every repaint. For the small repaints that come at the display
    // rate while the line streams, that wait and its wake-ups cost more, on both sides, than
    // the pixels themselves; a whole page's first paint costs a few milliseconds more. A user's
    // own choice stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    // Kept to the end of the process: Qt's own globals are torn down at exit in an order that
    // a later delete could not respect. AfxWinMain deletes the one it made itself.
    {
        const std::string program = args[0];
        const DisplaySearch search(program.substr(program.rfind('/') + 1));
        g_pQtApp = new QApplication(nArgs, args.data());
    }
    // Dialogs end themselves; a hidden last window must not stop the running loops.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(QStringLiteral("Fusion"));
    // Qt's pooled threads (picture conversions, large fills) would end one by one half a minute
    // after their last task, each a wake-up of a program otherwise idle; parked, they cost nothing.
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
    // The style's pixmap cache trims itself on a half-minute timer, which goes on firing into an
    // idle period. Only the settings' buttons would draw from it, and seldom: it stays empty.
    QPixmapCache::setCacheLimit(0);
    afx::InstallPlatformLook();
}

int AfxWinMain(int argc, char** argv) {
    const bool bOwnPlatform = !QCoreApplication::instance();
    // Whatever the output is, the dialogs hand it on at display rate rather than a write a line.
    std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
    // The pictures' decoder needs nothing of the platform: it starts while the platform does.
    afx::StartBitmapPrefetch();
    AfxInitPlatform(argc, argv);
    if (CWinApp* pApp = AfxGetApp()) {
        const EndSignals endSignals;
        pApp->InitInstance();
    }
    afx::StopBitmapPrefetch();
    if (bOwnPlatform) {
        delete g_pQtApp;
        g_pQtApp = nullptr;
    }
    return 0;
}

void AfxPumpMessages(DWORD dwMilliseconds) {
    afx::EnsurePlatform();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(dwMilliseconds), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    const afx::NestedLoop nested;
    loop.exec();
}

void AfxSetMessageBoxHook(AFX_MESSAGEBOX_HOOK pfnHook) {
    g_pfnMessageBoxHook = pfnHook;
}

int AfxMessageBox(LPCSTR lpszText, UINT nType) {
    const CWinApp* pApp = AfxGetApp();
    return ShowMessageBox(pApp ? WidgetOf(pApp->m_pMainWnd) : nullptr, lpszText, nullptr, nType);
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    QWidget* pWidget = WidgetOf(this);
    return ShowMessageBox(pWidget ? pWidget->window() : nullptr, lpszText, lpszCaption, nType);
}

void AfxEnableControlContainer() {}

// ---- the application object -----------------------------------------------------------------

CWinApp::CWinApp() {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    afx::EnsurePlatform();
    return afx::IconResource(nIDResource);
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

// ---- tools ----------------------------------------------------------------------------------

BOOL AfxSaveWindowImage(CWnd* pWnd, LPCSTR lpszPath) {
    QWidget* pWidget = WidgetOf(pWnd);
    if (!pWidget || !lpszPath) return FALSE;
    return pWidget->grab().toImage().save(afx::ToQString(lpszPath), "PNG");
}

void AfxSimulateKey(CWnd* pWnd, UINT nVirtKey) {
    QWidget* pTarget = QApplication::activePopupWidget();
    if (!pTarget) {
        QWidget* pWidget = WidgetOf(pWnd);
        if (!pWidget) return;
        pTarget = pWidget->window()->focusWidget() ? pWidget->window()->focusWidget() : pWidget;
    }
    const int nKey = QtKey(nVirtKey);
    const QString text =
        nKey == Qt::Key_Space || (nKey >= '0' && nKey <= 'Z') ? QString(QChar(nKey)) : QString();
    QCoreApplication::postEvent(pTarget, new QKeyEvent(QEvent::KeyPress, nKey, Qt::NoModifier, text));
    QCoreApplication::postEvent(pTarget, new QKeyEvent(QEvent::KeyRelease, nKey, Qt::NoModifier, text));
}

void AfxSimulateClick(CWnd* pWnd, int x, int y, BOOL bRightButton) {
    QWidget* pWidget = WidgetOf(pWnd);
    if (!pWidget) return;
    const QPoint point(x, y);
    QWidget* pTarget = pWidget->childAt(point);
    if (!pTarget) pTarget = pWidget;
    const QPointF local = pTarget->mapFrom(pWidget, point);
    const QPointF global = pWidget->mapToGlobal(point);
    if (bRightButton) {
        QCoreApplication::postEvent(
            pTarget, new QContextMenuEvent(QContextMenuEvent::Mouse, local.toPoint(), global.toPoint()));
        return;
    }
    QCoreApplication::postEvent(pTarget, new QMouseEvent(QEvent::MouseButtonPress, local, global,
                                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(pTarget, new QMouseEvent(QEvent::MouseButtonRelease, local, global,
                                                         Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}
