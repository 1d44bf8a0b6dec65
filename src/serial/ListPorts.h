#pragma once

#include <iosfwd>

class CPortSource;

// Prints the ports that COM Setup would offer right now, one a line in the
// dialog's order; the one it would preselect reads "* " + name, the others
// "  " + name. Prints nothing when nothing is offered. Returns the exit code
// (always 0: an empty list is an answer, not a failure).
int ListOfferedPorts(std::ostream& out);
int ListOfferedPorts(std::ostream& out, CPortSource& source);
