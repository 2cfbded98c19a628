// The device-setup calls that the library's port list uses, for a POSIX
// build: a device set is a snapshot of the serial devices in the kernel's
// device tree (posix_ports.cpp), and a device's key holds its "PortName".
#pragma once

#include "windows.h"

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using HDEVINFO = void*;
using PCSTR = const char*;

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;  // the device's place in its set
    ULONG_PTR Reserved;
};
using PSP_DEVINFO_DATA = SP_DEVINFO_DATA*;

#define DIGCF_PRESENT 0x2u
#define DICS_FLAG_GLOBAL 0x1u
#define DIREG_DEV 0x1u
#define SPDRP_HARDWAREID 0x1u
#define SPDRP_FRIENDLYNAME 0xCu

namespace sio {
namespace posix {

HDEVINFO SetupDiGetClassDevsA(const GUID* setupClass, PCSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA device);
BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property, LPDWORD type,
                                       PBYTE buffer, DWORD size, LPDWORD required);
HKEY SetupDiOpenDevRegKey(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD scope, DWORD profile, DWORD keyType,
                          REGSAM access);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

}  // namespace posix
}  // namespace sio

using sio::posix::SetupDiDestroyDeviceInfoList;
using sio::posix::SetupDiEnumDeviceInfo;
using sio::posix::SetupDiGetClassDevsA;
using sio::posix::SetupDiGetDeviceRegistryPropertyA;
using sio::posix::SetupDiOpenDevRegKey;
