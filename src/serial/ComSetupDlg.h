#pragma once

#include <QString>
#include <memory>

class CPortSource;
class QComboBox;
class QDialog;
class QPushButton;
class QWidget;

// The COM Setup dialog: picks the port the link opens from the ports that
// discovery offers, or takes a typed name.
//
// The object lives as long as the document and keeps the text accepted last;
// the dialog window exists only while DoModal runs. Each opening puts the
// earlier text into the edit field, fills the list afresh from discovery and
// then preselects by the list's rule, so an earlier choice shows only when
// no port is found.
class CComSetupDlg
{
public:
    // DoModal's results in the framework's numbering.
    enum EResult { ResultOK = 1, ResultCancel = 2 };

    // pOwner is the window the dialog opens over; without one DoModal uses
    // the application's active window.
    explicit CComSetupDlg(QWidget* pOwner = nullptr);
    ~CComSetupDlg();
    CComSetupDlg(const CComSetupDlg&) = delete;
    CComSetupDlg& operator=(const CComSetupDlg&) = delete;

    // Runs the dialog until it closes: ResultOK for OK or Enter (m_strComPort then
    // holds the edit field's text as typed), ResultCancel for Cancel, Esc or the
    // close box (m_strComPort unchanged).
    int DoModal(QWidget* pOwner = nullptr);

    // Where discovery reads from; null (the default) reads the system afresh
    // at every opening.
    void SetPortSource(std::shared_ptr<CPortSource> pSource);

    // The window while DoModal runs, else null.
    QDialog* Window() const { return m_pWindow; }

    QString m_strComPort;
    // Valid only while the window exists.
    QComboBox* m_wndPortCombo = nullptr;
    QPushButton* m_pOkButton = nullptr;
    QPushButton* m_pCancelButton = nullptr;

private:
    void BuildWindow(QWidget* pOwner);
    void OnInitDialog();
    void DestroyWindow();

    QWidget* m_pOwner;
    QDialog* m_pWindow = nullptr;
    std::shared_ptr<CPortSource> m_pSource;
};
