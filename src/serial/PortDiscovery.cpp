#include "PortDiscovery.h"

#include "SysfsPortSource.h"

std::unique_ptr<CPortSource> MakeSystemPortSource()
{
    // A Win32 build would return its registry source here.
    return std::make_unique<CSysfsPortSource>();
}

std::vector<std::string> ReadAdapterNames()
{
    return MakeSystemPortSource()->ReadAdapterNames();
}

std::optional<std::vector<SPresentPort>> ReadPresentPorts()
{
    return MakeSystemPortSource()->ReadPresentPorts();
}

std::vector<std::string> DiscoverPorts()
{
    auto pSource = MakeSystemPortSource();
    return DiscoverPorts(*pSource);
}

std::vector<std::string> DiscoverPorts(CPortSource& source)
{
    std::vector<std::string> offered;

    // The source should already have dropped over-long texts; doing it here
    // as well keeps every source to the same limits.
    std::vector<std::string> adapters;
    for (auto& strName : source.ReadAdapterNames())
        if (strName.size() <= kMaxAdapterNameLength)
            adapters.push_back(std::move(strName));

    const auto present = source.ReadPresentPorts();
    if (!present)
        return offered;

    for (const SPresentPort& port : *present)
    {
        if (port.strPort.size() > kMaxPortNameLength || port.strDevice.size() > kMaxDeviceNameLength)
            continue;

        // The parentheses keep COM1 from matching an adapter on COM10.
        const std::string strNeedle = "(" + port.strPort + ")";
        for (const std::string& strAdapter : adapters)
        {
            if (strAdapter.find(strNeedle) != std::string::npos)
            {
                offered.push_back(port.strPort);
                break;
            }
        }

        // Independent of the adapter test: a port that passes both is
        // offered twice.
        if (port.strDevice.find("BthModem") != std::string::npos)
            offered.push_back(port.strPort);
    }
    return offered;
}

namespace
{
unsigned char FoldCase(char ch)
{
    const auto by = static_cast<unsigned char>(ch);
    return (by >= 'A' && by <= 'Z') ? static_cast<unsigned char>(by - 'A' + 'a') : by;
}
} // namespace

int ComparePortNames(const std::string& strA, const std::string& strB)
{
    const std::size_t nCommon = strA.size() < strB.size() ? strA.size() : strB.size();
    for (std::size_t i = 0; i < nCommon; ++i)
    {
        const unsigned char byA = FoldCase(strA[i]);
        const unsigned char byB = FoldCase(strB[i]);
        if (byA != byB)
            return byA < byB ? -1 : 1;
    }
    if (strA.size() == strB.size())
        return 0;
    return strA.size() < strB.size() ? -1 : 1;
}

std::size_t SortedInsertIndex(const std::vector<std::string>& list, const std::string& strName)
{
    std::size_t nIndex = 0;
    while (nIndex < list.size() && ComparePortNames(list[nIndex], strName) <= 0)
        ++nIndex;
    return nIndex;
}

std::vector<std::string> SortPortNames(const std::vector<std::string>& offered)
{
    std::vector<std::string> sorted;
    for (const std::string& strName : offered)
        sorted.insert(sorted.begin() + static_cast<std::ptrdiff_t>(SortedInsertIndex(sorted, strName)), strName);
    return sorted;
}

int DefaultPortIndex(int nCount)
{
    if (nCount <= 0)
        return -1;
    if (nCount == 1)
        return 0;
    return nCount - 2;
}
