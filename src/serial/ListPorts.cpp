#include "ListPorts.h"

#include "PortDiscovery.h"

#include <ostream>

int ListOfferedPorts(std::ostream& out)
{
    auto pSource = MakeSystemPortSource();
    return ListOfferedPorts(out, *pSource);
}

int ListOfferedPorts(std::ostream& out, CPortSource& source)
{
    const std::vector<std::string> sorted = SortPortNames(DiscoverPorts(source));
    const int nDefault = DefaultPortIndex(static_cast<int>(sorted.size()));
    for (std::size_t i = 0; i < sorted.size(); ++i)
        out << (static_cast<int>(i) == nDefault ? "* " : "  ") << sorted[i] << '\n';
    out.flush();
    return 0;
}
