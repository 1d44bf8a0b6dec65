#include "log/TextDoc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextDocument>
#include <cerrno>

#include "log/MessageBox.h"
#include "log/OxilumeView.h"

namespace
{
const char* const kUntitled = "Untitled";

QString Native(const QString& strPath)
{
    return QDir::toNativeSeparators(strPath);
}

bool IsAccessError(int nErrno)
{
    return nErrno == EACCES || nErrno == EPERM || nErrno == EROFS;
}
}  // namespace

CTextDoc::CTextDoc(QObject* pParent) : QObject(pParent), m_strTitle(QString::fromLatin1(kUntitled)) {}

CTextDoc::~CTextDoc() = default;

void CTextDoc::SetView(COxilumeView* pView)
{
    if (m_pView)
    {
        disconnect(m_pView->document(), nullptr, this, nullptr);
        m_pView->SetDocument(nullptr);
    }
    m_pView = pView;
    if (pView)
    {
        pView->SetDocument(this);
        connect(pView->document(), &QTextDocument::modificationChanged, this, &CTextDoc::ModifiedChanged);
    }
}

COxilumeView* CTextDoc::GetView() const
{
    return m_pView.data();
}

void CTextDoc::SetTitle(const QString& strTitle)
{
    if (strTitle == m_strTitle)
        return;
    m_strTitle = strTitle;
    emit TitleChanged(m_strTitle);
}

void CTextDoc::SetPathName(const QString& strPathName)
{
    m_strPathName = QFileInfo(strPathName).absoluteFilePath();
    SetTitle(QFileInfo(strPathName).fileName());
}

bool CTextDoc::IsModified() const
{
    return m_pView && m_pView->IsModified();
}

void CTextDoc::SetModifiedFlag(bool bModified)
{
    if (m_pView)
        m_pView->SetModified(bModified);
}

void CTextDoc::DeleteContents()
{
    if (m_pView)
        m_pView->SetTextBytes(QByteArray());
}

bool CTextDoc::OnNewDocument()
{
    DeleteContents();
    SetModifiedFlag(false);
    m_strPathName.clear();
    SetTitle(QString::fromLatin1(kUntitled));
    if (m_pView)
        m_pView->OnInitialUpdate();
    return true;
}

bool CTextDoc::OnOpenDocument(const QString& strPathName)
{
    QFile file(strPathName);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
    {
        const int nErrno = errno;
        QString strMessage;
        if (file.error() == QFileDevice::PermissionsError || IsAccessError(nErrno))
            strMessage = QStringLiteral("Access to %1 was denied.").arg(Native(strPathName));
        else if (!QFileInfo::exists(strPathName) || nErrno == ENOENT)
            strMessage = QStringLiteral("%1 was not found.").arg(Native(strPathName));
        else
            strMessage = QStringLiteral("Failed to open document.");
        CMessageBox::Show(m_pView, strMessage);
        return false;
    }
    // Read it all before the log is touched: a read error leaves it as it was.
    QByteArray baText = file.readAll();
    if (file.error() != QFileDevice::NoError)
    {
        CMessageBox::Show(m_pView, QStringLiteral("Failed to open document."));
        return false;
    }
    if (m_pView)
    {
        m_pView->SetTextBytes(baText);
        m_pView->SetModified(false);
        m_pView->OnInitialUpdate();
    }
    SetPathName(strPathName);
    return true;
}

bool CTextDoc::OnSaveDocument(const QString& strPathName)
{
    const QByteArray baText = m_pView ? m_pView->GetTextBytes() : QByteArray();
    QSaveFile file(strPathName);
    errno = 0;
    // Unbuffered: a buffered QSaveFile (Qt 6.4) reports a commit as done
    // when its last flush hit a full disk, and replaces the old file with a
    // cut one. Written straight through, a short write shows at once.
    bool bOk = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    int nErrno = errno;
    if (bOk)
    {
        bOk = file.write(baText) == baText.size() && file.error() == QFileDevice::NoError;
        nErrno = errno;
        if (bOk)
        {
            bOk = file.commit();
            nErrno = errno;
        }
        else
        {
            file.cancelWriting();
        }
    }
    if (!bOk)
    {
        const QFileInfo info(strPathName);
        const bool bDenied = file.error() == QFileDevice::PermissionsError || IsAccessError(nErrno) ||
                             (info.exists() && !info.isWritable());
        CMessageBox::Show(m_pView, bDenied ? QStringLiteral("Access to %1 was denied.").arg(Native(strPathName))
                                           : QStringLiteral("Failed to save document."));
        return false;
    }
    SetModifiedFlag(false);
    SetPathName(strPathName);
    return true;
}

bool CTextDoc::OnCommand(int /*nId*/)
{
    return false;
}
