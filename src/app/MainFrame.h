#pragma once

#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QTimer>

class COxilumeApp;
class COxilumeDoc;
class COxilumeView;
class CEditCommands;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

// The main window: menu bar, tool bar, the log view in the middle and the
// status bar. Every command arrives here by its number and is offered to
// the frame, then the view, then the document, then the application.
// Whether a command is available is asked again whenever the menus open
// and several times a second for the tool bar.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit CMainFrame(COxilumeApp& app);
    ~CMainFrame() override;

    // Window creation: the view and the document, the tool bar and the status
    // bar. False when a step failed.
    bool OnCreate(COxilumeView* pView, COxilumeDoc* pDoc);

    COxilumeView* View() const { return m_pView; }
    COxilumeDoc* Document() const { return m_pDoc; }

    // The action of a command number, or null. Menu items, buttons and keys
    // of one command share it, except 32771 and 32777, which are two commands.
    QAction* Action(int nId) const { return m_mapActions.value(nId); }
    const QMap<int, QAction*>& Actions() const { return m_mapActions; }
    QList<QMenu*> Menus() const { return m_listMenus; }
    QToolBar* ToolBar() const { return m_pToolBar; }
    QLabel* MessagePane() const { return m_pMessagePane; }
    // The CAP, NUM and SCRL panes by their indicator numbers.
    QLabel* Indicator(int nId) const { return m_mapIndicators.value(nId); }
    CEditCommands& Edit() const { return *m_pEdit; }

    // The enable rule of a command.
    bool IsCommandEnabled(int nId) const;
    // Sends a command as a menu item, a button or a key would; a command
    // that is not available does nothing. True when it was carried out.
    bool OnCommand(int nId);
    // Asks every command's rule and greys what is not available.
    void UpdateCommandUI();

    // The document's title, " - " and the application's name.
    void UpdateFrameTitle();
    void UpdateRecentFileMenu();
    void UpdateIndicators();

    // Before New, Open and Exit replace a changed log: "Save changes to %1?"
    // Yes saves (false if that was cancelled or failed), No goes on, Cancel
    // stops. True: go on.
    bool SaveModified();
    // Save (57603): Save As while the log has no file yet.
    bool DoFileSave();
    // Save As (57604), or a save to strPath when it is given.
    bool DoSave(const QString& strPath = QString());

    // Shows strText in the message pane; an empty text shows "Ready".
    void SetMessageText(const QString& strText);

protected:
    bool event(QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    QAction* MakeAction(int nId, const QString& strText);
    void CreateMenus();
    bool CreateToolBar();
    bool CreateStatusBar();
    void CreateAccelerators();

    COxilumeApp& m_app;
    COxilumeView* m_pView = nullptr;
    COxilumeDoc* m_pDoc = nullptr;
    CEditCommands* m_pEdit = nullptr;
    QMap<int, QAction*> m_mapActions;
    QList<QMenu*> m_listMenus;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentAnchor = nullptr;  // the separator after the recent files
    QList<QAction*> m_listRecent;
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    QMap<int, QLabel*> m_mapIndicators;
    QTimer m_timerIdle;
    bool m_bClosing = false;
};
