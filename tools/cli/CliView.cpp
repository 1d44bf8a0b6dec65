#include "CliView.h"

CCliView::CCliView(std::FILE* pOut, std::FILE* pErr, std::function<void()> fnNotify)
    : m_pOut(pOut), m_pErr(pErr), m_fnNotify(std::move(fnNotify))
{
}

void CCliView::InsertText(const std::string& strText)
{
    std::fwrite(strText.data(), 1, strText.size(), m_pOut);
    std::fflush(m_pOut);
    if (strText == "End of Data Tranmission\r\n")
    {
        m_bEndOfData.store(true);
        if (m_fnNotify)
            m_fnNotify();
    }
    else if (strText == "**** Connection failed. Please check connection. ****\r\n" ||
             strText == "*** Retry Connection failed. please check connection. ***\r\n")
    {
        if (m_fnNotify)
            m_fnNotify();
    }
}

void CCliView::ShowMessage(const std::string& strText)
{
    ErrorLine(strText);
}

void CCliView::PortMessage(const std::string& strText)
{
    ErrorLine(strText);
}

void CCliView::ErrorLine(const std::string& strText)
{
    std::fwrite(strText.data(), 1, strText.size(), m_pErr);
    std::fputc('\n', m_pErr);
    std::fflush(m_pErr);
}
