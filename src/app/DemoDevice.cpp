#include "app/DemoDevice.h"

#include "DeviceEmulator.h"

CDemoDevice::CDemoDevice()
{
    CEmulatorOptions options;
    options.m_nRecords = kStoredRecords;
    m_pEmulator = std::make_unique<CDeviceEmulator>(options);
}

CDemoDevice::~CDemoDevice()
{
    Stop();
}

bool CDemoDevice::Start()
{
    return m_pEmulator->Start();
}

void CDemoDevice::Stop()
{
    if (m_pEmulator)
        m_pEmulator->Stop();
}

QString CDemoDevice::PortPath() const
{
    return QString::fromStdString(m_pEmulator->PortPath());
}
