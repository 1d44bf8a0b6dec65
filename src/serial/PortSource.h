#pragma once

#include <optional>
#include <string>
#include <vector>

// One serial port that the system lists as present now.
struct SPresentPort
{
    // The system's internal name of the port's device. Bluetooth modem ports
    // carry "BthModem" in it.
    std::string strDevice;
    // What the user sees and what the serial link opens (ttyUSB0, rfcomm0).
    std::string strPort;
};

// Where port discovery gets its two lists from. The discovery rules stay the
// same on every system; only the source changes (sysfs on Linux, the
// registry on Windows, a table in tests).
class CPortSource
{
public:
    virtual ~CPortSource() = default;

    // Friendly names of the PL2303 adapters the system knows, each expected
    // to end in "(" + port name + ")". Empty when there are none or they
    // cannot be read.
    virtual std::vector<std::string> ReadAdapterNames() = 0;

    // The serial ports present now, in the system's enumeration order. No
    // value at all when the list cannot be read, which is not the same as an
    // empty list: nothing is offered then, not even Bluetooth ports.
    virtual std::optional<std::vector<SPresentPort>> ReadPresentPorts() = 0;
};
