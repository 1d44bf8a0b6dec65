#include "log/OxilumeDoc.h"

COxilumeDoc::COxilumeDoc(QObject* pParent) : CTextDoc(pParent) {}

COxilumeDoc::~COxilumeDoc() = default;

bool COxilumeDoc::OnNewDocument()
{
    if (!CTextDoc::OnNewDocument())
        return false;
    // The link's new-document reset follows here.
    return true;
}
