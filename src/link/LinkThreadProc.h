#pragma once

#include "link/LinkInfo.h"

// The link worker's entry: runs the reader loop on the port and view of the
// link block until a pass ends with m_bStopped set. Returns 0.
int LinkThreadProc(CLinkInfo* pLink);
