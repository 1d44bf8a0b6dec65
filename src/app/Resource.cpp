#include "app/Resource.h"

#include <QHash>

namespace Resource
{
namespace
{
const QHash<int, QString>& StringTable()
{
    static const QHash<int, QString> s_table = {
        {kIdsOleInitFailed,
         QStringLiteral("OLE initialization failed.  Make sure that the OLE libraries are the correct version.")},
        {kIdsTemplate, QStringLiteral("Oxilume V1.1\n\nOxilum\n\n\nOxilume.Document\nOxilum Document")},
        {kIdsAppTitle, QStringLiteral("Oxilume V1.1")},
        {kIdsIdleMessage, QStringLiteral("Ready")},
        {kIdIndicatorCaps, QStringLiteral("CAP")},
        {kIdIndicatorNum, QStringLiteral("NUM")},
        {kIdIndicatorScrl, QStringLiteral("SCRL")},
        {kIdFileNew, QStringLiteral("Create a new document\nNew")},
        {kIdFileOpen, QStringLiteral("Open an existing document\nOpen")},
        {kIdFileSave, QStringLiteral("Save the active document\nSave")},
        {kIdFileSaveAs, QStringLiteral("Save the active document with a new name\nSave As")},
        {kIdFileMru1, QStringLiteral("Open this document")},
        {kIdFileMru1 + 1, QStringLiteral("Open this document")},
        {kIdFileMru1 + 2, QStringLiteral("Open this document")},
        {kIdFileMru4, QStringLiteral("Open this document")},
        {kIdAppExit, QStringLiteral("Quit the application; prompts to save documents\nExit")},
        {kIdEditUndo, QStringLiteral("Undo the last action\nUndo")},
        {kIdEditCut, QStringLiteral("Cut the selection and put it on the Clipboard\nCut")},
        {kIdEditCopy, QStringLiteral("Copy the selection and put it on the Clipboard\nCopy")},
        {kIdEditPaste, QStringLiteral("Insert Clipboard contents\nPaste")},
        {kIdEditSelectAll, QStringLiteral("Select the entire document\nSelect All")},
        {kIdEditFind, QStringLiteral("Find the specified text\nFind")},
        {kIdEditRepeat, QStringLiteral("Repeat the last action\nRepeat")},
        {kIdEditReplace, QStringLiteral("Replace specific text with different text\nReplace")},
        {kIdClearScreen, QStringLiteral("Clear Screen\nClear Screen")},
        {kIdClearScreenBar, QStringLiteral("Clear Screen\nClear Screen(Ctrl-R)")},
        {kIdViewToolbar, QStringLiteral("Show or hide the toolbar\nToggle ToolBar")},
        {kIdViewStatusBar, QStringLiteral("Show or hide the status bar\nToggle StatusBar")},
        {kIdComSetup, QStringLiteral("COM Setup\nCOM Setup")},
        {kIdComPortStart, QStringLiteral("COM Port Start\nCOM Port Start(F9)")},
        {kIdComPortStop, QStringLiteral("COM Port Stop\nCOM Port Stop(F10)")},
        {kIdMemoryStart, QStringLiteral("Memory Transmission Start\nMemory Transmission Start(F11)")},
        {kIdMemoryStop, QStringLiteral("Memory Transmission Stop\nMemory Transmission Stop(F12)")},
        {kIdHowToUse, QStringLiteral("How to use..\nHow to use..")},
        {kIdAppAbout, QStringLiteral("Display program information, version number and copyright\nAbout")},
        {kIdNextPane, QStringLiteral("Switch to the next window pane\nNext Pane")},
        {kIdPrevPane, QStringLiteral("Switch back to the previous window pane\nPrevious Pane")},
    };
    return s_table;
}
}  // namespace

QString LoadString(int nId)
{
    return StringTable().value(nId);
}

QString StatusPrompt(int nId)
{
    const QString str = LoadString(nId);
    const int nBreak = str.indexOf(QLatin1Char('\n'));
    return nBreak < 0 ? str : str.left(nBreak);
}

QString ToolTip(int nId)
{
    const QString str = LoadString(nId);
    const int nBreak = str.indexOf(QLatin1Char('\n'));
    return nBreak < 0 ? QString() : str.mid(nBreak + 1);
}
}  // namespace Resource
