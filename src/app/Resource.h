#pragma once

#include <QString>

// Command numbers, string numbers and the string table of the application.
namespace Resource
{
enum ECommand : int
{
    kIdFileNew = 57600,
    kIdFileOpen = 57601,
    kIdFileSave = 57603,
    kIdFileSaveAs = 57604,
    kIdFilePrint = 57607,
    kIdFilePrintDirect = 57608,
    kIdFilePrintPreview = 57609,
    kIdFileMru1 = 57616,
    kIdFileMru4 = 57619,
    kIdAppExit = 57665,
    kIdEditUndo = 57643,
    kIdEditCut = 57635,
    kIdEditCopy = 57634,
    kIdEditPaste = 57637,
    kIdEditSelectAll = 57642,
    kIdEditFind = 57636,
    kIdEditRepeat = 57640,
    kIdEditReplace = 57641,
    kIdObjectProperties = 57860,
    kIdNextPane = 57680,
    kIdPrevPane = 57681,
    kIdCancelInPlace = 32768,
    kIdClearScreen = 32771,
    kIdComSetup = 32772,
    kIdComPortStart = 32773,
    kIdComPortStop = 32774,
    kIdMemoryStart = 32775,
    kIdMemoryStop = 32776,
    kIdClearScreenBar = 32777,
    kIdHowToUse = 32778,
    kIdAppAbout = 57664,
    kIdViewToolbar = 59392,
    kIdViewStatusBar = 59393,
    kIdIndicatorCaps = 59137,
    kIdIndicatorNum = 59138,
    kIdIndicatorScrl = 59139,
};

enum EString : int
{
    kIdsTemplate = 128,
    kIdsOleInitFailed = 100,
    kIdsAppTitle = 57344,
    kIdsIdleMessage = 57345,
};

// The string of the table, or an empty one. A command's string holds its
// status prompt, "\n", and its tool tip.
QString LoadString(int nId);
// The part before "\n" (the status prompt) and the part after it (the tool tip).
QString StatusPrompt(int nId);
QString ToolTip(int nId);
}  // namespace Resource
