#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "app/CommandLineInfo.h"
#include "app/RecentFileList.h"

class CMainFrame;
class COxilumeDoc;
class COxilumeView;
class CDemoDevice;
class QTextBrowser;

// The application object: start-up, the single document with its frame and
// view, the recent-file list, and the application-wide commands (About, How
// to Use, New, Open). Made after QApplication, on the user-interface thread.
class COxilumeApp : public QObject
{
    Q_OBJECT

public:
    explicit COxilumeApp(QObject* pParent = nullptr);
    ~COxilumeApp() override;

    // The one instance, or null before it is made.
    static COxilumeApp* Instance();

    // The application's name: every message box's caption and the settings key.
    static const char* const kAppName;          // "Oxilume V1.1"
    static const char* const kRegistryKey;      // "Local AppWizard-Generated Applications"
    static const char* const kTemplateString;   // the document template string
    static const char* const kHelpFileName;     // the user guide beside the program

    // Start-up; listArgs without the program name. True: run the event loop.
    // False: end at once (the print flags, a file that would not open).
    bool InitInstance(const QStringList& listArgs);
    // Writes the recent-file list back, ends the link and drops the window.
    void ExitInstance();

    bool ProcessShellCommand(const CCommandLineInfo& info);

    // "p" and "pt": the log is opened into a hidden window, printed, and the
    // application ends. The printing part fills this in (AppPrint.cpp);
    // the answer is that of processing, so it is false whatever happened.
    virtual bool PrintFromCommandLine(const CCommandLineInfo& info);
    // The print commands 57607 (with dialog), 57608 (at once) and 57609
    // (preview) as they arrive from the main window (AppPrint.cpp).
    virtual void OnPrintCommand(int nId);
    // The program's exit status when start-up ends it at once: a command-line
    // print whose log did not open or did not print fails (AppPrint.cpp).
    void SetExitCode(int nExitCode) { m_nExitCode = nExitCode; }
    int ExitCode() const { return m_nExitCode; }

    // Makes the frame, the view and the document once; later calls return
    // what exists. Not shown.
    bool CreateMainWindow();

    // File New (57600): asks about a changed log, then the new-document step.
    bool OnFileNew();
    // File Open (57601): asks about a changed log, then the Open dialog.
    void OnFileOpen();
    // Opens strPath as the log (the frame is made when needed, and shown when
    // bShow). False when the file did not open; the log is left as it was.
    // *pbCancelled tells a "Cancel" to the save question from a failed open.
    bool OpenDocumentFile(const QString& strPath, bool bShow = true, bool* pbCancelled = nullptr);
    // A recent-file entry (57616 + nIndex).
    void OnOpenRecentFile(int nIndex);
    // About (57664).
    void OnAppAbout();
    // How to Use (32778): the guide in a window of its own.
    void OnHelpHowToUse();
    // Path of the guide beside the program, whatever the current directory.
    static QString HelpFilePath();

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }
    COxilumeDoc* Document() const { return m_pDoc.get(); }
    COxilumeView* View() const;
    CRecentFileList& RecentFiles() { return m_recentFiles; }
    QTextBrowser* HelpWindow() const { return m_pHelpWindow.get(); }

    // The main window has closed (Exit or its close box): the link has
    // ended; the recent-file list is written back and MainWindowClosed sent.
    void OnMainWindowClosed();

    // Demo mode: starts the built-in emulator and offers its port.
    bool StartDemo();
    CDemoDevice* Demo() const { return m_pDemo.get(); }

signals:
    void MainWindowClosed();

private:
    void LoadStdProfileSettings();
    void SaveStdProfileSettings();

    std::unique_ptr<CDemoDevice> m_pDemo;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    std::unique_ptr<COxilumeDoc> m_pDoc;
    std::unique_ptr<QTextBrowser> m_pHelpWindow;
    CRecentFileList m_recentFiles;
    bool m_bExited = false;
    int m_nExitCode = 0;
};
