#pragma once

// Builds sysfs-shaped trees in a temporary folder, laid out like the
// kernel's: devices under devices/, class/tty entries as relative links to
// them, device and driver links relative too, so the tree works wherever it
// is copied.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

class CSysfsFixture
{
public:
    CSysfsFixture()
    {
        std::string strTemplate = (std::filesystem::temp_directory_path() / "oxilume-sysfs-XXXXXX").string();
        if (::mkdtemp(strTemplate.data()))
            m_root = strTemplate;
    }
    ~CSysfsFixture()
    {
        std::error_code ec;
        // Undo chmod 000 so that the tree can go when not running as root.
        for (auto it = std::filesystem::recursive_directory_iterator(m_root, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (!it->is_symlink(ec))
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_root, ec);
    }
    CSysfsFixture(const CSysfsFixture&) = delete;
    CSysfsFixture& operator=(const CSysfsFixture&) = delete;

    const std::filesystem::path& Root() const { return m_root; }
    std::string RootString() const { return m_root.string(); }

    void MakeDir(const std::filesystem::path& rel) { std::filesystem::create_directories(m_root / rel); }

    void WriteFile(const std::filesystem::path& rel, const std::string& strText)
    {
        MakeDir(rel.parent_path());
        std::ofstream(m_root / rel, std::ios::binary) << strText;
    }

    // A link at rel pointing at target (both relative to the root), written
    // as a relative link like the kernel's.
    void Link(const std::filesystem::path& rel, const std::filesystem::path& target)
    {
        MakeDir(rel.parent_path());
        const auto from = (m_root / rel).parent_path();
        std::filesystem::create_symlink((m_root / target).lexically_relative(from), m_root / rel);
    }

    // A link with a literal target, for loops and dangling links.
    void RawLink(const std::filesystem::path& rel, const std::string& strTarget)
    {
        MakeDir(rel.parent_path());
        std::filesystem::create_symlink(strTarget, m_root / rel);
    }

    // A USB serial adapter: the USB device (vendor, product) at usb1/<bus>,
    // its interface <bus>:1.0, the usb-serial port and its tty.
    void AddUsbSerial(const std::string& strTty, const std::string& strBusPort, const std::string& strVendor,
                      const std::string& strProduct, const std::string& strDriver)
    {
        const std::filesystem::path usb = "devices/pci0000:00/0000:00:14.0/usb1/" + strBusPort;
        WriteFile(usb / "idVendor", strVendor + "\n");
        WriteFile(usb / "idProduct", strProduct + "\n");
        const auto iface = usb / (strBusPort + ":1.0");
        WriteFile(iface / "bInterfaceClass", "ff\n");
        const auto port = iface / strTty;
        MakeDir("bus/usb-serial/drivers/" + strDriver);
        Link(port / "driver", "bus/usb-serial/drivers/" + strDriver);
        const auto tty = port / "tty" / strTty;
        WriteFile(tty / "dev", "188:0\n");
        Link(tty / "device", port);
        Link("class/tty/" + strTty, tty);
    }

    // A CDC ACM modem: the tty's device is the USB interface itself.
    void AddAcm(const std::string& strTty, const std::string& strBusPort, const std::string& strVendor,
                const std::string& strProduct)
    {
        const std::filesystem::path usb = "devices/pci0000:00/0000:00:14.0/usb1/" + strBusPort;
        WriteFile(usb / "idVendor", strVendor + "\n");
        WriteFile(usb / "idProduct", strProduct + "\n");
        const auto iface = usb / (strBusPort + ":1.0");
        MakeDir("bus/usb/drivers/cdc_acm");
        Link(iface / "driver", "bus/usb/drivers/cdc_acm");
        const auto tty = iface / "tty" / strTty;
        WriteFile(tty / "dev", "166:0\n");
        Link(tty / "device", iface);
        Link("class/tty/" + strTty, tty);
    }

    // A serial-core port (ttyS): its UART type, 0 when nothing is there.
    void AddSerialCore(const std::string& strTty, const std::string& strDevice, const std::string& strType)
    {
        const std::filesystem::path dev = "devices/" + strDevice;
        MakeDir("bus/platform/drivers/serial8250");
        Link(dev / "driver", "bus/platform/drivers/serial8250");
        const auto tty = dev / "tty" / strTty;
        WriteFile(tty / "type", strType + "\n");
        Link(tty / "device", dev);
        Link("class/tty/" + strTty, tty);
    }

    // A virtual tty (consoles, ptmx, bound RFCOMM ports): no device link.
    void AddVirtual(const std::string& strTty)
    {
        const std::filesystem::path tty = "devices/virtual/tty/" + strTty;
        WriteFile(tty / "dev", "4:0\n");
        Link("class/tty/" + strTty, tty);
    }

private:
    std::filesystem::path m_root;
};
