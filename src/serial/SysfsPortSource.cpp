#include "SysfsPortSource.h"

#include "PortDiscovery.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const char* const CSysfsPortSource::kRootVariable = "OXILUME_SYSFS";
const char* const CSysfsPortSource::kDemoPortVariable = "OXILUME_DEMO_PORT";

namespace
{
// No real machine has this many ttys; a tree that claims more is broken and
// is cut short rather than walked for ever.
constexpr std::size_t kMaxTtyEntries = 4096;
// sysfs attributes read here are a few bytes long.
constexpr std::size_t kMaxAttributeBytes = 256;
// class/tty/X/device is the port; its USB device is at most a few levels up
// (ttyACM: the interface's parent; ttyUSB: the usb-serial port's
// grandparent).
constexpr int kUsbAncestorLevels = 4;

std::string EnvOrEmpty(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue ? std::string(pszValue) : std::string();
}

bool IsDirectory(const std::string& strPath)
{
    struct stat st;
    return ::stat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Reads a small regular file and drops blanks and newlines around it. A FIFO
// or device planted in the tree is refused without blocking on it.
bool ReadAttribute(const std::string& strPath, std::string& strValue)
{
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        ::close(fd);
        return false;
    }
    char buffer[kMaxAttributeBytes];
    const ssize_t nRead = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (nRead < 0)
        return false;
    const auto IsBlank = [](char ch) { return ch == '\n' || ch == '\r' || ch == ' ' || ch == '\t'; };
    std::size_t nBegin = 0;
    std::size_t nEnd = static_cast<std::size_t>(nRead);
    while (nBegin < nEnd && IsBlank(buffer[nBegin]))
        ++nBegin;
    while (nEnd > nBegin && IsBlank(buffer[nEnd - 1]))
        --nEnd;
    strValue.assign(buffer + nBegin, nEnd - nBegin);
    return true;
}

bool EqualsIgnoringCase(const std::string& strA, const char* pszB)
{
    return ComparePortNames(strA, pszB) == 0;
}

// The last component of a link's target, or empty when it is no link.
std::string LinkTargetName(const std::string& strPath)
{
    char buffer[4096];
    const ssize_t nLength = ::readlink(strPath.c_str(), buffer, sizeof buffer);
    if (nLength <= 0 || static_cast<std::size_t>(nLength) >= sizeof buffer)
        return std::string();
    std::string strTarget(buffer, static_cast<std::size_t>(nLength));
    while (!strTarget.empty() && strTarget.back() == '/')
        strTarget.pop_back();
    const std::size_t nSlash = strTarget.rfind('/');
    return nSlash == std::string::npos ? strTarget : strTarget.substr(nSlash + 1);
}

// Names that could not be shown on one line or opened under /dev.
bool IsUsableName(const std::string& strName)
{
    if (strName.empty() || strName[0] == '.' || strName.size() > kMaxPortNameLength)
        return false;
    for (char ch : strName)
    {
        const auto by = static_cast<unsigned char>(ch);
        if (by < 0x20 || by == 0x7f || ch == '/')
            return false;
    }
    return true;
}

// rfcomm followed by digits only.
bool IsRfcommName(const std::string& strName)
{
    static const std::string kPrefix = "rfcomm";
    if (strName.size() <= kPrefix.size() || strName.compare(0, kPrefix.size(), kPrefix) != 0)
        return false;
    return std::all_of(strName.begin() + static_cast<std::ptrdiff_t>(kPrefix.size()), strName.end(),
                       [](char ch) { return ch >= '0' && ch <= '9'; });
}

// The first USB device above the port decides: a hub or a composite parent
// further up says nothing about this port.
bool IsPl2303Port(const std::string& strDevicePath)
{
    std::string strLevel = strDevicePath;
    for (int i = 0; i < kUsbAncestorLevels; ++i)
    {
        // The level that has an idVendor entry decides, readable or not, so
        // a damaged entry never hands the question to the hub above.
        struct stat st;
        if (::lstat((strLevel + "/idVendor").c_str(), &st) == 0)
        {
            std::string strVendor;
            std::string strProduct;
            return ReadAttribute(strLevel + "/idVendor", strVendor) &&
                   ReadAttribute(strLevel + "/idProduct", strProduct) && EqualsIgnoringCase(strVendor, "067b") &&
                   EqualsIgnoringCase(strProduct, "2303");
        }
        strLevel += "/..";
    }
    return false;
}
} // namespace

CSysfsPortSource::CSysfsPortSource()
    : m_strRoot(EnvOrEmpty(kRootVariable)), m_strDemoPort(EnvOrEmpty(kDemoPortVariable))
{
    if (m_strRoot.empty())
        m_strRoot = "/sys";
}

CSysfsPortSource::CSysfsPortSource(std::string strRoot, std::string strDemoPort)
    : m_strRoot(std::move(strRoot)), m_strDemoPort(std::move(strDemoPort))
{
}

std::optional<std::vector<CSysfsPortSource::STty>> CSysfsPortSource::ScanTtys() const
{
    const std::string strClassDir = m_strRoot + "/class/tty";
    DIR* pDir = ::opendir(strClassDir.c_str());
    if (!pDir)
        return std::nullopt;

    std::vector<std::string> names;
    std::size_t nSeen = 0;
    while (const dirent* pEntry = ::readdir(pDir))
    {
        if (++nSeen > kMaxTtyEntries)
            break;
        std::string strName = pEntry->d_name;
        if (IsUsableName(strName))
            names.push_back(std::move(strName));
    }
    ::closedir(pDir);
    // readdir's order is the file system's; a sorted walk gives the same
    // list for the same machine every time.
    std::sort(names.begin(), names.end());

    std::vector<STty> ttys;
    for (const std::string& strName : names)
    {
        const std::string strTtyDir = strClassDir + "/" + strName;
        if (!IsDirectory(strTtyDir))
            continue;

        const std::string strDevicePath = strTtyDir + "/device";
        const bool bHasDevice = IsDirectory(strDevicePath);

        STty tty;
        tty.strName = strName;
        if (IsRfcommName(strName))
        {
            tty.strDevice = "BthModem" + strName.substr(6);
        }
        else if (bHasDevice)
        {
            // Serial-core ports report their UART type; 0 means nothing is
            // behind the port (the spare ttyS entries of every PC).
            std::string strType;
            if (ReadAttribute(strTtyDir + "/type", strType) && strType == "0")
                continue;
            std::string strDriver = LinkTargetName(strDevicePath + "/driver");
            if (strDriver.empty())
                strDriver = "serial";
            tty.strDevice = strDriver + ":" + strName;
            tty.bPl2303 = IsPl2303Port(strDevicePath);
        }
        else
        {
            continue; // consoles, pseudo-terminals and other virtual ttys
        }
        if (tty.strDevice.size() > kMaxDeviceNameLength)
            continue;
        ttys.push_back(std::move(tty));
    }
    return ttys;
}

bool CSysfsPortSource::DemoPortUsable() const
{
    if (m_strDemoPort.empty() || m_strDemoPort.size() > kMaxPortNameLength)
        return false;
    // An emulator that has gone leaves a stale variable behind.
    struct stat st;
    return ::stat(m_strDemoPort.c_str(), &st) == 0;
}

std::vector<std::string> CSysfsPortSource::ReadAdapterNames()
{
    std::vector<std::string> names;
    if (const auto ttys = ScanTtys())
        for (const STty& tty : *ttys)
            if (tty.bPl2303)
                names.push_back("USB-Serial Controller (" + tty.strName + ")");
    if (DemoPortUsable())
        names.push_back("Oxilume Demo Device (" + m_strDemoPort + ")");
    return names;
}

std::optional<std::vector<SPresentPort>> CSysfsPortSource::ReadPresentPorts()
{
    auto ttys = ScanTtys();
    const bool bDemo = DemoPortUsable();
    if (!ttys && !bDemo)
        return std::nullopt;

    std::vector<SPresentPort> ports;
    if (ttys)
        for (STty& tty : *ttys)
            ports.push_back(SPresentPort{std::move(tty.strDevice), std::move(tty.strName)});
    if (bDemo)
        ports.push_back(SPresentPort{"OxilumeDemo", m_strDemoPort});
    return ports;
}
