#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "log/MessageBox.h"

class COxilumeApp;
class CMainFrame;
class COxilumeDoc;
class COxilumeView;
class CDeviceEmulator;
struct CEmulatorOptions;

namespace AppTest
{
// Keeps the settings store of the tests in a temporary folder, away from the
// user's own. Make one before the first QSettings is touched.
class CScopedSettings
{
public:
    CScopedSettings();
    QString Folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Answers every message box in place of a person and remembers its text.
// Answers are taken from the rules in order (first text that the box's
// text starts with); without a rule, OK boxes get OK, Yes/No boxes Yes,
// OK/Cancel boxes OK and Yes/No/Cancel boxes No.
class CBoxAnswerer
{
public:
    CBoxAnswerer();
    ~CBoxAnswerer();

    void Answer(const QString& strStartsWith, int nAnswer);
    QStringList Texts() const;
    int Count(const QString& strText) const;
    void Clear();
    // Called with each text, before it is answered (on the UI thread).
    void OnBox(std::function<void(const QString&)> fnHook) { m_fnHook = std::move(fnHook); }

private:
    int Reply(const QString& strText, CMessageBox::EButtons eButtons);

    mutable std::mutex m_mutex;
    QStringList m_listTexts;
    std::vector<std::pair<QString, int>> m_vecRules;
    std::function<void(const QString&)> m_fnHook;
};

// The application as the user starts it, for one test.
class CAppRun
{
public:
    explicit CAppRun(const QStringList& listArgs = QStringList());
    ~CAppRun();

    bool Started() const { return m_bStarted; }
    COxilumeApp& App() { return *m_pApp; }
    CMainFrame* Frame() const;
    COxilumeDoc* Doc() const;
    COxilumeView* View() const;
    // Closes the main window as its close box does; true when it closed.
    bool Close();

private:
    std::unique_ptr<COxilumeApp> m_pApp;
    bool m_bStarted = false;
};

// COM Setup answers with this port instead of a person (empty: the real
// dialog again); counts how often it was asked.
class CSetupAnswer
{
public:
    explicit CSetupAnswer(const QString& strPort, int nResult = 1);
    ~CSetupAnswer();
    int Calls() const { return m_nCalls; }
    void Set(const QString& strPort, int nResult = 1)
    {
        m_strPort = strPort;
        m_nResult = nResult;
    }

private:
    QString m_strPort;
    int m_nResult;
    int m_nCalls = 0;
};

// The log's text as the program shows it.
QString LogText(COxilumeView* pView);
// Lines of the log that begin with strPrefix.
int CountLines(COxilumeView* pView, const QString& strPrefix);

// Polls the event loop until fnDone or nMillis have passed.
bool WaitFor(const std::function<bool()>& fnDone, int nMillis);
}  // namespace AppTest
