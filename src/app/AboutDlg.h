#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box: the icon, the name and version, a notice line and OK. OK,
// Enter, Esc and the close box all end it; it changes nothing.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* pParent = nullptr);

    static const char* const kCaption;      // "About Oxilume"
    static const char* const kVersionText;  // "Oxi Lume Softwre Version V1.1"
    static const char* const kNoticeText;

    QLabel* m_pIcon = nullptr;
    QLabel* m_pVersion = nullptr;
    QLabel* m_pNotice = nullptr;
    QPushButton* m_pOk = nullptr;
};
