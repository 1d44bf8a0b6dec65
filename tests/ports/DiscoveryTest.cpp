// Port discovery: the offering rules on tables, the sysfs source on fixture
// trees (good and broken machines), the demo port and the --list-ports text.

#include "ListPorts.h"
#include "PortDiscovery.h"
#include "SysfsFixture.h"
#include "SysfsPortSource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using Names = std::vector<std::string>;
using Ports = std::vector<SPresentPort>;

// Hands out fixed lists and records the order in which they were asked for.
class CTablePortSource : public CPortSource
{
public:
    CTablePortSource(Names adapters, std::optional<Ports> present)
        : m_adapters(std::move(adapters)), m_present(std::move(present))
    {
    }
    Names ReadAdapterNames() override
    {
        m_strCalls += "A";
        return m_adapters;
    }
    std::optional<Ports> ReadPresentPorts() override
    {
        m_strCalls += "P";
        return m_present;
    }
    std::string m_strCalls;

private:
    Names m_adapters;
    std::optional<Ports> m_present;
};

SPresentPort Serial(const std::string& strPort, int n = 0)
{
    return {"\\Device\\Serial" + std::to_string(n), strPort};
}
SPresentPort Bluetooth(const std::string& strPort, int n = 0)
{
    return {"\\Device\\BthModem" + std::to_string(n), strPort};
}
std::string Adapter(const std::string& strPort)
{
    return "Prolific USB-to-Serial Comm Port (" + strPort + ")";
}

struct SCase
{
    const char* pszWhat;
    Names adapters;
    std::optional<Ports> present; // nullopt: the list cannot be read at all
    Names offered;
    Names sorted;
    int nPreselect;
};

const std::string kName49 = "COM" + std::string(46, '9');
const std::string kName50 = "COM" + std::string(47, '9');
// Longest adapter name that is read, and one byte more.
const std::string kAdapter254 = std::string(254 - 6, 'x') + "(COM3)";
const std::string kAdapter255 = std::string(255 - 6, 'x') + "(COM3)";

const std::vector<SCase> kCases = {
    {"only the adapter port that is present", {Adapter("COM3"), Adapter("COM5")},
     Ports{Serial("COM3", 0), Serial("COM4", 1)}, {"COM3"}, {"COM3"}, 0},
    {"three offered, the middle one preselected", {Adapter("COM3"), Adapter("COM4"), Adapter("COM5")},
     Ports{Serial("COM5"), Serial("COM3"), Serial("COM4")}, {"COM5", "COM3", "COM4"}, {"COM3", "COM4", "COM5"}, 1},
    {"two offered, the first in sorted order preselected", {Adapter("COM4"), Adapter("COM3")},
     Ports{Serial("COM4"), Serial("COM3")}, {"COM4", "COM3"}, {"COM3", "COM4"}, 0},
    {"digits sort as characters", {Adapter("COM3"), Adapter("COM10")}, Ports{Serial("COM3"), Serial("COM10")},
     {"COM3", "COM10"}, {"COM10", "COM3"}, 0},
    {"four offered, n-2 preselected", {},
     Ports{Bluetooth("COM1"), Bluetooth("COM2"), Bluetooth("COM3"), Bluetooth("COM4")},
     {"COM1", "COM2", "COM3", "COM4"}, {"COM1", "COM2", "COM3", "COM4"}, 2},
    {"adapter test is case-sensitive", {"Prolific USB-to-Serial Comm Port (com3)"}, Ports{Serial("COM3")}, {}, {},
     -1},
    {"two adapter names for one port offer it once", {Adapter("COM3"), "Another cable (COM3)"},
     Ports{Serial("COM3")}, {"COM3"}, {"COM3"}, 0},
    {"a Bluetooth port that is also an adapter port is offered twice", {Adapter("COM6")},
     Ports{Bluetooth("COM6")}, {"COM6", "COM6"}, {"COM6", "COM6"}, 0},
    {"Bluetooth ports need no adapter name", {}, Ports{Serial("COM1"), Bluetooth("COM8", 1)}, {"COM8"}, {"COM8"},
     0},
    {"BthModem is matched case-sensitively", {}, Ports{{"\\Device\\bthmodem0", "COM8"}}, {}, {}, -1},
    {"COM1 in parentheses does not offer COM10", {Adapter("COM1")}, Ports{Serial("COM10")}, {}, {}, -1},
    {"COM10 in parentheses does not offer COM1", {Adapter("COM10")}, Ports{Serial("COM1")}, {}, {}, -1},
    {"the bare port name without parentheses does not count", {"Prolific COM3 cable"}, Ports{Serial("COM3")}, {},
     {}, -1},
    {"a port name of 50 characters is skipped, 49 are kept", {Adapter(kName49), Adapter(kName50)},
     Ports{Bluetooth(kName50), Serial(kName49)}, {kName49}, {kName49}, 0},
    {"an adapter name over 254 bytes is skipped", {kAdapter255}, Ports{Serial("COM3")}, {}, {}, -1},
    {"an adapter name of 254 bytes is read", {kAdapter254}, Ports{Serial("COM3")}, {"COM3"}, {"COM3"}, 0},
    {"offered in enumeration order, not adapter order", {Adapter("COM5"), Adapter("COM3")},
     Ports{Serial("COM3"), Serial("COM5")}, {"COM3", "COM5"}, {"COM3", "COM5"}, 0},
    {"no present ports", {Adapter("COM3")}, Ports{}, {}, {}, -1},
    {"present ports unreadable: nothing, not even Bluetooth", {Adapter("COM3")}, std::nullopt, {}, {}, -1},
    {"no adapter names and no Bluetooth ports", {}, Ports{Serial("COM1"), Serial("COM2")}, {}, {}, -1},
    {"case-insensitive order, equal names kept in arrival order", {},
     Ports{Bluetooth("com2"), Bluetooth("COM10"), Bluetooth("Com1"), Bluetooth("com1"), Bluetooth("COM1A")},
     {"com2", "COM10", "Com1", "com1", "COM1A"}, {"Com1", "com1", "COM10", "COM1A", "com2"}, 3},
    {"sysfs-style names sort the same way", {"USB-Serial Controller (ttyUSB0)"},
     Ports{{"pl2303:ttyUSB0", "ttyUSB0"}, {"BthModem0", "rfcomm0"}, {"BthModem1", "rfcomm10"}},
     {"ttyUSB0", "rfcomm0", "rfcomm10"}, {"rfcomm0", "rfcomm10", "ttyUSB0"}, 1},
};

TEST(PortsDiscovery, TableOfCases)
{
    for (const SCase& c : kCases)
    {
        SCOPED_TRACE(c.pszWhat);
        CTablePortSource source(c.adapters, c.present);
        const Names offered = DiscoverPorts(source);
        EXPECT_EQ(source.m_strCalls, "AP") << "adapter names once, then present ports once";
        EXPECT_EQ(offered, c.offered);
        const Names sorted = SortPortNames(offered);
        EXPECT_EQ(sorted, c.sorted);
        EXPECT_EQ(DefaultPortIndex(static_cast<int>(sorted.size())), c.nPreselect);
    }
}

TEST(PortsDiscovery, DefaultIndexAndInsertPosition)
{
    const std::vector<std::pair<int, int>> index = {{-1, -1}, {0, -1}, {1, 0}, {2, 0}, {3, 1}, {10, 8}};
    for (const auto& [nCount, nExpected] : index)
        EXPECT_EQ(DefaultPortIndex(nCount), nExpected) << nCount;

    const Names list = {"COM1", "com2", "COM2", "COM3"};
    EXPECT_EQ(SortedInsertIndex(list, "COM0"), 0u);
    EXPECT_EQ(SortedInsertIndex(list, "Com2"), 3u); // after both equal names
    EXPECT_EQ(SortedInsertIndex(list, "COM30"), 4u);
    EXPECT_EQ(SortedInsertIndex({}, "COM1"), 0u);
    EXPECT_LT(ComparePortNames("COM1", "COM10"), 0);
    EXPECT_GT(ComparePortNames("COM3", "COM10"), 0);
    EXPECT_EQ(ComparePortNames("ttyusb0", "TTYUSB0"), 0);
    // Bytes above 127 compare as unsigned, after every ASCII letter.
    EXPECT_GT(ComparePortNames("COM\xe9", "COMz"), 0);
}

// --- The sysfs source -------------------------------------------------------

const std::string kLong49 = "ttyUSB" + std::string(43, 'x');
const std::string kLong50 = "ttyUSB" + std::string(44, 'y');

// A PC with a PL2303 cable, an FTDI cable, a CDC modem, a bound Bluetooth
// port, one real and one placeholder 16550, consoles, and two PL2303 ports
// whose names are 49 and 50 characters long.
void BuildTypicalMachine(CSysfsFixture& fx)
{
    fx.AddUsbSerial("ttyUSB0", "1-1", "067b", "2303", "pl2303");
    fx.AddUsbSerial("ttyUSB1", "1-2", "0403", "6001", "ftdi_sio");
    fx.AddAcm("ttyACM0", "1-3", "2341", "0043");
    fx.AddVirtual("rfcomm0");
    fx.AddSerialCore("ttyS0", "pnp0/00:04", "4");
    fx.AddSerialCore("ttyS1", "platform/serial8250", "0");
    fx.AddVirtual("tty0");
    fx.AddVirtual("ptmx");
    fx.AddVirtual("console");
    fx.AddUsbSerial(kLong49, "1-4", "067B", "2303", "pl2303");
    fx.AddUsbSerial(kLong50, "1-5", "067b", "2303", "pl2303");
}

std::vector<std::pair<std::string, std::string>> Pairs(const std::optional<Ports>& ports)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    if (ports)
        for (const auto& p : *ports)
            pairs.emplace_back(p.strDevice, p.strPort);
    return pairs;
}

TEST(PortsSysfs, TypicalMachine)
{
    CSysfsFixture fx;
    BuildTypicalMachine(fx);
    CSysfsPortSource source(fx.RootString(), "");

    EXPECT_EQ(source.ReadAdapterNames(),
              (Names{"USB-Serial Controller (ttyUSB0)", "USB-Serial Controller (" + kLong49 + ")"}));

    const auto present = source.ReadPresentPorts();
    ASSERT_TRUE(present.has_value());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"BthModem0", "rfcomm0"},     {"cdc_acm:ttyACM0", "ttyACM0"},   {"serial8250:ttyS0", "ttyS0"},
        {"pl2303:ttyUSB0", "ttyUSB0"}, {"ftdi_sio:ttyUSB1", "ttyUSB1"}, {"pl2303:" + kLong49, kLong49},
    };
    EXPECT_EQ(Pairs(present), expected);

    const Names offered = DiscoverPorts(source);
    EXPECT_EQ(offered, (Names{"rfcomm0", "ttyUSB0", kLong49}));

    std::ostringstream out;
    EXPECT_EQ(ListOfferedPorts(out, source), 0);
    EXPECT_EQ(out.str(), "  rfcomm0\n* ttyUSB0\n  " + kLong49 + "\n");
}

TEST(PortsSysfs, MissingOrEmptyClassFolder)
{
    CSysfsFixture fx;
    {
        CSysfsPortSource source(fx.RootString(), "");
        EXPECT_FALSE(source.ReadPresentPorts().has_value()) << "no class/tty: cannot be read at all";
        EXPECT_TRUE(source.ReadAdapterNames().empty());
        EXPECT_TRUE(DiscoverPorts(source).empty());
    }
    fx.MakeDir("class/tty");
    {
        CSysfsPortSource source(fx.RootString(), "");
        const auto present = source.ReadPresentPorts();
        ASSERT_TRUE(present.has_value());
        EXPECT_TRUE(present->empty());
    }
    {
        CSysfsPortSource source(fx.RootString() + "/no/such/folder", "");
        EXPECT_FALSE(source.ReadPresentPorts().has_value());
    }
}

// Everything that can go wrong in a copied or damaged tree. None of it may
// hang or crash, and the good port beside it must still be offered.
TEST(PortsSysfs, BrokenMachine)
{
    CSysfsFixture fx;
    fx.AddUsbSerial("ttyUSB0", "1-1", "067b", "2303", "pl2303");

    // class/tty entries that are links in a loop, dangling, or plain files.
    fx.RawLink("class/tty/ttyLoopA", "ttyLoopB");
    fx.RawLink("class/tty/ttyLoopB", "ttyLoopA");
    fx.RawLink("class/tty/ttySelf", "ttySelf");
    fx.RawLink("class/tty/rfcomm7", "../../devices/virtual/tty/gone");
    fx.WriteFile("class/tty/ttyUSB7", "not a directory\n");

    // A PL2303 port whose device link loops on itself.
    fx.AddUsbSerial("ttyUSB2", "1-2", "067b", "2303", "pl2303");
    std::filesystem::remove(fx.Root() / "class/tty/ttyUSB2/device");
    fx.RawLink("devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB2/tty/ttyUSB2/device", "device");

    // PL2303 ports whose ids cannot be read: a FIFO (would block a plain
    // open), a folder, a missing product, an unreadable file, a link loop.
    const std::string kUsb = "devices/pci0000:00/0000:00:14.0/usb1/";
    fx.AddUsbSerial("ttyUSB3", "1-3", "067b", "2303", "pl2303");
    std::filesystem::remove(fx.Root() / (kUsb + "1-3/idVendor"));
    ASSERT_EQ(::mkfifo((fx.Root() / (kUsb + "1-3/idVendor")).c_str(), 0644), 0);
    fx.AddUsbSerial("ttyUSB4", "1-4", "067b", "2303", "pl2303");
    std::filesystem::remove(fx.Root() / (kUsb + "1-4/idVendor"));
    fx.MakeDir(kUsb + "1-4/idVendor");
    fx.AddUsbSerial("ttyUSB5", "1-5", "067b", "2303", "pl2303");
    std::filesystem::remove(fx.Root() / (kUsb + "1-5/idProduct"));
    fx.AddUsbSerial("ttyUSB6", "1-6", "067b", "2303", "pl2303");
    std::filesystem::remove(fx.Root() / (kUsb + "1-6/idVendor"));
    fx.RawLink(kUsb + "1-6/idVendor", "idVendor");
    fx.AddUsbSerial("ttyUSB8", "1-8", "067b", "2303", "pl2303");
    ::chmod((fx.Root() / (kUsb + "1-8/idVendor")).c_str(), 0);
    const bool bRoot = ::geteuid() == 0; // root reads it anyway

    // Odd names: a blank and parentheses (kept: the name is what opens), a
    // newline and a leading dot (dropped), rfcomm without a number.
    fx.AddUsbSerial("tty USB(9)", "1-9", "067b", "2303", "pl2303");
    fx.AddUsbSerial("tty\nUSB10", "1-10", "067b", "2303", "pl2303");
    fx.AddUsbSerial(".ttyUSB11", "1-11", "067b", "2303", "pl2303");
    fx.AddVirtual("rfcommX");
    // Junk in the ids: upper case and blanks are fine, other text is not.
    fx.AddUsbSerial("ttyUSB12", "1-12", " 067B ", "2303\r", "pl2303");
    fx.AddUsbSerial("ttyUSB13", "1-13", "067b2303", "", "pl2303");

    CSysfsPortSource source(fx.RootString(), "");
    Names expectedAdapters = {"USB-Serial Controller (tty USB(9))", "USB-Serial Controller (ttyUSB0)",
                              "USB-Serial Controller (ttyUSB12)"};
    if (bRoot)
        expectedAdapters.push_back("USB-Serial Controller (ttyUSB8)");
    EXPECT_EQ(source.ReadAdapterNames(), expectedAdapters);

    const auto present = source.ReadPresentPorts();
    ASSERT_TRUE(present.has_value());
    Names presentNames;
    for (const auto& p : *present)
        presentNames.push_back(p.strPort);
    EXPECT_EQ(presentNames, (Names{"tty USB(9)", "ttyUSB0", "ttyUSB12", "ttyUSB13", "ttyUSB3", "ttyUSB4",
                                   "ttyUSB5", "ttyUSB6", "ttyUSB8"}));

    Names expectedOffered = {"tty USB(9)", "ttyUSB0", "ttyUSB12"};
    if (bRoot)
        expectedOffered.push_back("ttyUSB8");
    EXPECT_EQ(DiscoverPorts(source), expectedOffered);
}

// A tree with thousands of entries is cut short, not walked for ever.
TEST(PortsSysfs, OversizedClassFolderIsBounded)
{
    CSysfsFixture fx;
    fx.MakeDir("class/tty");
    fx.MakeDir("devices/virtual/tty/rfcomm0");
    for (int i = 0; i < 5000; ++i)
        fx.RawLink("class/tty/rfcomm" + std::to_string(i), "../../devices/virtual/tty/rfcomm0");
    CSysfsPortSource source(fx.RootString(), "");
    const auto present = source.ReadPresentPorts();
    ASSERT_TRUE(present.has_value());
    EXPECT_FALSE(present->empty());
    EXPECT_LE(present->size(), 4096u);
}

// --- The demo port ------------------------------------------------------------

class CPty
{
public:
    CPty()
    {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0)
            if (const char* pszName = ::ptsname(m_fd))
                m_strPath = pszName;
    }
    ~CPty()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    const std::string& Path() const { return m_strPath; }

private:
    int m_fd = -1;
    std::string m_strPath;
};

TEST(PortsDemo, OfferedAsAnAdapterPort)
{
    CPty pty;
    ASSERT_FALSE(pty.Path().empty());
    CSysfsFixture fx;
    BuildTypicalMachine(fx);

    CSysfsPortSource source(fx.RootString(), pty.Path());
    const Names adapters = source.ReadAdapterNames();
    ASSERT_FALSE(adapters.empty());
    EXPECT_EQ(adapters.back(), "Oxilume Demo Device (" + pty.Path() + ")");
    const auto present = source.ReadPresentPorts();
    ASSERT_TRUE(present.has_value());
    EXPECT_EQ(present->back().strDevice, "OxilumeDemo");
    EXPECT_EQ(present->back().strPort, pty.Path());

    // "/dev/pts/N" sorts before every tty name.
    EXPECT_EQ(SortPortNames(DiscoverPorts(source)), (Names{pty.Path(), "rfcomm0", "ttyUSB0", kLong49}));

    // Also on a machine whose sysfs cannot be read.
    CSysfsPortSource bare(fx.RootString() + "/missing", pty.Path());
    EXPECT_EQ(DiscoverPorts(bare), Names{pty.Path()});
}

TEST(PortsDemo, GoneEmulatorIsNotOffered)
{
    CSysfsFixture fx;
    BuildTypicalMachine(fx);
    CSysfsPortSource source(fx.RootString(), "/dev/pts/no-such-pty");
    EXPECT_EQ(DiscoverPorts(source), (Names{"rfcomm0", "ttyUSB0", kLong49}));
}

// The default source takes its root and demo port from the environment, and
// ListOfferedPorts uses it.
TEST(PortsDemo, EnvironmentChoosesTreeAndDemoPort)
{
    CPty pty;
    ASSERT_FALSE(pty.Path().empty());
    CSysfsFixture fx;
    BuildTypicalMachine(fx);

    ::setenv("OXILUME_SYSFS", fx.RootString().c_str(), 1);
    ::unsetenv("OXILUME_DEMO_PORT");
    {
        std::ostringstream out;
        EXPECT_EQ(ListOfferedPorts(out), 0);
        EXPECT_EQ(out.str(), "  rfcomm0\n* ttyUSB0\n  " + kLong49 + "\n");
    }
    ::setenv("OXILUME_DEMO_PORT", pty.Path().c_str(), 1);
    {
        std::ostringstream out;
        EXPECT_EQ(ListOfferedPorts(out), 0);
        EXPECT_EQ(out.str(), "  " + pty.Path() + "\n  rfcomm0\n* ttyUSB0\n  " + kLong49 + "\n");
    }
    ::setenv("OXILUME_SYSFS", (fx.RootString() + "/missing").c_str(), 1);
    ::unsetenv("OXILUME_DEMO_PORT");
    {
        std::ostringstream out;
        EXPECT_EQ(ListOfferedPorts(out), 0);
        EXPECT_EQ(out.str(), "");
    }
    ::setenv("OXILUME_SYSFS", "", 1); // empty means the real /sys
    EXPECT_EQ(CSysfsPortSource().Root(), "/sys");
    ::unsetenv("OXILUME_SYSFS");
    EXPECT_EQ(CSysfsPortSource().Root(), "/sys");
}
} // namespace
