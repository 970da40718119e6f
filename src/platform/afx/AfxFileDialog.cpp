#include "platform/afx/AfxFileDialog.h"

#include <QFileDialog>
#include <QStringList>

#include "platform/afx/AfxImpl.h"

namespace {

// "A (*.a)|*.a|B (*.b)|*.b||": the display names, which carry their patterns, one per line.
QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split('|', Qt::SkipEmptyParts);
    QStringList names;
    for (qsizetype i = 0; i < parts.size(); i += 2) names << parts[i];
    return names.join(";;");
}

}  // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, LPCSTR lpszFilter,
                         CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog),
      m_strDefExt(lpszDefExt ? lpszDefExt : ""),
      m_strFileName(lpszFileName ? lpszFileName : ""),
      m_strFilter(lpszFilter ? lpszFilter : ""),
      m_pParentWnd(pParentWnd) {}

INT_PTR CFileDialog::DoModal() {
    afx::EnsurePlatform();
    const AfxWindow* pWindow = AfxWindow::From(m_pParentWnd);
    QWidget* pParent = pWindow ? pWindow->EnsureWidget() : nullptr;
    QFileDialog dialog(pParent ? pParent->window() : nullptr, QString(), afx::ToQString(m_strFileName.Str()),
                       QtFilter(afx::ToQString(m_strFilter.Str())));
    dialog.setAcceptMode(m_bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_bOpenFileDialog ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!m_strDefExt.IsEmpty()) dialog.setDefaultSuffix(afx::ToQString(m_strDefExt.Str()));
    const afx::NestedLoop nested;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return IDCANCEL;
    m_strPathName = afx::ToStd(dialog.selectedFiles().front()).c_str();
    return IDOK;
}
