// PortIQ.exe: a GUI program without a window of its own. The run shows its report in a
// message box and ends; the exit code is 0.
#include <windows.h>

#include "app/enum_devices_app.h"
#include "platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    portiq::win32::Win32DeviceTree deviceTree;
    portiq::win32::Win32System system;
    portiq::win32::Win32Wave wave;
    portiq::win32::Win32Usb usb;
    portiq::InstallPlatform(portiq::Platform{&deviceTree, &system, &wave, &usb});
    portiq::CEnumDevicesApp app;
    app.InitInstance();
    return 0;
}
