#pragma once

#include <QString>
#include <memory>

class CDeviceEmulator;

// Demo mode's stand-in for an oximeter: the project's device emulator on a
// pseudo-terminal, with a few hundred stored readings, so that the whole
// program can be tried without a device.
class CDemoDevice
{
public:
    static constexpr int kStoredRecords = 300;

    CDemoDevice();
    ~CDemoDevice();
    CDemoDevice(const CDemoDevice&) = delete;
    CDemoDevice& operator=(const CDemoDevice&) = delete;

    // Opens the pseudo-terminal and runs the device on a thread of its own.
    bool Start();
    void Stop();
    // The terminal's device path, the name to choose in COM Setup.
    QString PortPath() const;
    CDeviceEmulator* Emulator() const { return m_pEmulator.get(); }

private:
    std::unique_ptr<CDeviceEmulator> m_pEmulator;
};
