#include "link/LinkThreadProc.h"

#include "link/ReaderLoop.h"

int LinkThreadProc(CLinkInfo* pLink)
{
    CReaderLoop loop(*pLink);
    if (loop.Start())
    {
        while (loop.RunPass())
        {
        }
    }
    return loop.End();
}
