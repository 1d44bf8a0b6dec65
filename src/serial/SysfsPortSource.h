#pragma once

#include "PortSource.h"

#include <optional>
#include <string>
#include <vector>

// Port discovery's two lists on Linux, read from a sysfs tree. The tree alone
// describes the machine, so a copy of another machine's /sys (or a test's
// fixture) is read as that machine.
//
// Present ports are the ttys under class/tty that are real hardware (they
// have a device link; serial-core ports whose UART type reads 0 are only
// placeholders) and the bound RFCOMM ports, which are virtual ttys named
// rfcommN and get a device name holding "BthModem". Adapter names are made
// for each present tty whose USB device is a PL2303 (067b:2303):
// "USB-Serial Controller (ttyUSB0)".
//
// A demo port (the built-in emulator's pseudo-terminal) is offered as if it
// were an adapter port: adapter name "Oxilume Demo Device (<path>)", device
// name "OxilumeDemo", port name the path itself.
//
// The walk reads one directory, stats a handful of fixed paths per entry and
// never follows links recursively, so loops and junk only shorten the lists.
class CSysfsPortSource : public CPortSource
{
public:
    // The root named by OXILUME_SYSFS, else "/sys", and the demo port named by
    // OXILUME_DEMO_PORT (none when unset or empty).
    CSysfsPortSource();
    // An explicit root and demo port (empty for none); the environment is
    // not consulted.
    CSysfsPortSource(std::string strRoot, std::string strDemoPort);

    std::vector<std::string> ReadAdapterNames() override;
    std::optional<std::vector<SPresentPort>> ReadPresentPorts() override;

    const std::string& Root() const { return m_strRoot; }

    static const char* const kRootVariable;     // "OXILUME_SYSFS"
    static const char* const kDemoPortVariable; // "OXILUME_DEMO_PORT"

private:
    struct STty
    {
        std::string strName;
        std::string strDevice;
        bool bPl2303 = false;
    };

    // No value when class/tty cannot be read at all.
    std::optional<std::vector<STty>> ScanTtys() const;
    bool DemoPortUsable() const;

    std::string m_strRoot;
    std::string m_strDemoPort;
};
