#include "AppTestSupport.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QSettings>
#include <QTest>

#include "app/MainFrame.h"
#include "app/OxilumeApp.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

namespace AppTest
{
CScopedSettings::CScopedSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
}

CBoxAnswerer::CBoxAnswerer()
{
    CMessageBox::SetAnswerer(
        [this](const QString& strText, CMessageBox::EButtons eButtons) { return Reply(strText, eButtons); });
}

CBoxAnswerer::~CBoxAnswerer()
{
    CMessageBox::SetAnswerer({});
}

void CBoxAnswerer::Answer(const QString& strStartsWith, int nAnswer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecRules.emplace_back(strStartsWith, nAnswer);
}

QStringList CBoxAnswerer::Texts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_listTexts;
}

int CBoxAnswerer::Count(const QString& strText) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_listTexts.count(strText));
}

void CBoxAnswerer::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listTexts.clear();
}

int CBoxAnswerer::Reply(const QString& strText, CMessageBox::EButtons eButtons)
{
    int nAnswer = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_listTexts.append(strText);
        for (const auto& rule : m_vecRules)
            if (strText.startsWith(rule.first))
            {
                nAnswer = rule.second;
                break;
            }
    }
    if (m_fnHook)
        m_fnHook(strText);
    if (nAnswer != 0)
        return nAnswer;
    switch (eButtons)
    {
    case CMessageBox::OK:
        return CMessageBox::IDOK;
    case CMessageBox::YesNo:
        return CMessageBox::IDYES;
    case CMessageBox::OKCancel:
        return CMessageBox::IDOK;
    case CMessageBox::YesNoCancel:
        return CMessageBox::IDNO;
    }
    return CMessageBox::IDOK;
}

CAppRun::CAppRun(const QStringList& listArgs) : m_pApp(std::make_unique<COxilumeApp>())
{
    m_bStarted = m_pApp->InitInstance(listArgs);
}

CAppRun::~CAppRun()
{
    if (m_pApp)
        m_pApp->ExitInstance();
    m_pApp.reset();
}

CMainFrame* CAppRun::Frame() const
{
    return m_pApp->MainFrame();
}

COxilumeDoc* CAppRun::Doc() const
{
    return m_pApp->Document();
}

COxilumeView* CAppRun::View() const
{
    return m_pApp->View();
}

bool CAppRun::Close()
{
    return Frame() && Frame()->close();
}

CSetupAnswer::CSetupAnswer(const QString& strPort, int nResult) : m_strPort(strPort), m_nResult(nResult)
{
    COxilumeDoc::SetSetupRunner([this](CComSetupDlg& dlg, QWidget*) {
        ++m_nCalls;
        if (m_nResult == 1)
            dlg.m_strComPort = m_strPort;
        return m_nResult;
    });
}

CSetupAnswer::~CSetupAnswer()
{
    COxilumeDoc::SetSetupRunner({});
}

QString LogText(COxilumeView* pView)
{
    return pView ? pView->toPlainText() : QString();
}

int CountLines(COxilumeView* pView, const QString& strPrefix)
{
    int nCount = 0;
    const QStringList listLines = LogText(pView).split(QLatin1Char('\n'));
    for (const QString& strLine : listLines)
        if (strLine.startsWith(strPrefix))
            ++nCount;
    return nCount;
}

bool WaitFor(const std::function<bool()>& fnDone, int nMillis)
{
    return QTest::qWaitFor(fnDone, nMillis);
}
}  // namespace AppTest
