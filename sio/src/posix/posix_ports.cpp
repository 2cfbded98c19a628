// The ports the system has, on Linux. A COM name reaches a device through a
// binding made in this process (SioPortIndex of a device path, or the port
// list finding a serial device), which holds until the process ends, or else
// through the port map (SIO_PORT_MAP, read each time). The port list is the
// serial devices of the kernel's device tree: only files under /sys are
// read, no device is opened. The library's port-list unit reads it through
// the device-setup calls, as on Windows.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "posix_calls.h"
#include "posix_objects.h"
#include "posix_ports.h"
#include "setupapi.h"
#include "sio.h"

// The library's reading of COM names (port_names.cpp, renamed for this
// build); kept out of the shared library's exports.
extern "C" __attribute__((visibility("hidden"))) int SioComPortIndex(const char* name);

namespace sio {
namespace posix {
namespace {

constexpr char kPortMapVariable[] = "SIO_PORT_MAP";
constexpr int kMostDevices = 64;
constexpr size_t kNameSize = 32;
constexpr int kSetCount = 4;
// A list walk asks for every COM name in turn; the tree is read again once
// this long has passed, so that a device plugged in later shows.
constexpr long long kRescanMs = 100;

char bound[kBindablePorts][kPathSize];  // "" while free
pthread_mutex_t portsLock = PTHREAD_MUTEX_INITIALIZER;
long long lastScanMs = -1;

// A device set: the serial devices' names ("ttyUSB0") when it was made.
struct DeviceSet {
    bool used;
    int count;
    char names[kMostDevices][kNameSize];
};
DeviceSet sets[kSetCount];

struct Locked {
    Locked() { pthread_mutex_lock(&portsLock); }
    ~Locked() { pthread_mutex_unlock(&portsLock); }
};

// The port map's path for COM<number>.
bool MappedPath(int number, char* path) {
    const char* map = getenv(kPortMapVariable);
    for (const char* entry = map; entry && *entry;) {
        const char* end = strchr(entry, ',');
        const size_t length = end ? static_cast<size_t>(end - entry) : strlen(entry);
        char* rest = nullptr;
        if (length > 3 && strncasecmp(entry, "COM", 3) == 0) {
            const long named = strtol(entry + 3, &rest, 10);
            const size_t pathLength = length - static_cast<size_t>(rest + 1 - entry);
            if (rest < entry + length && *rest == '=' && named == number && pathLength > 0 &&
                pathLength < kPathSize) {
                memcpy(path, rest + 1, pathLength);
                path[pathLength] = '\0';
                return true;
            }
        }
        entry = end ? end + 1 : nullptr;
    }
    return false;
}

// Under portsLock.
bool PathOf(int index, char* path) {
    if (bound[index][0] != '\0') {
        strcpy(path, bound[index]);
        return true;
    }
    return MappedPath(index + 1, path);
}

// The index that names path, else binds it to the lowest index that neither
// a binding nor the map names; -1 when all are taken. Under portsLock.
int Bind(const char* path) {
    char named[kPathSize];
    int free = -1;
    for (int index = 0; index < kBindablePorts; ++index) {
        if (!PathOf(index, named)) {
            if (free < 0) free = index;
        } else if (strcmp(named, path) == 0) {
            return index;
        }
    }
    if (free >= 0) strcpy(bound[free], path);
    return free;
}

// The first line of a file, without its line end; "" when it cannot be read.
void ReadLine(const char* path, char* text, size_t size) {
    text[0] = '\0';
    const int fd = os.open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const ssize_t got = ::read(fd, text, size - 1);
    ::close(fd);
    text[got > 0 ? got : 0] = '\0';
    text[strcspn(text, "\n")] = '\0';
}

// "ttyS2" before "ttyS10".
bool NameBefore(const char* a, const char* b) {
    while (*a && *b) {
        if (*a >= '0' && *a <= '9' && *b >= '0' && *b <= '9') {
            char* endA = nullptr;
            char* endB = nullptr;
            const unsigned long numberA = strtoul(a, &endA, 10);
            const unsigned long numberB = strtoul(b, &endB, 10);
            if (numberA != numberB) return numberA < numberB;
            a = endA;
            b = endB;
        } else {
            if (*a != *b) return *a < *b;
            ++a;
            ++b;
        }
    }
    return *a == '\0' && *b != '\0';
}

// The serial devices under the tree's tty class, in name order: entries that
// have a device, less UARTs of unknown type (the slots a driver reserves
// without hardware). Returns how many, at most kMostDevices.
int ListDevices(char (&names)[kMostDevices][kNameSize]) {
    char folder[kPathSize];
    snprintf(folder, sizeof folder, "%s/class/tty", os.sysfs);
    const int fd = os.open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    int count = 0;
    alignas(8) char buffer[4096];
    for (ssize_t got; (got = getdents64(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' || strlen(name) >= kNameSize || count == kMostDevices) continue;
            char path[kPathSize];
            struct stat info;
            snprintf(path, sizeof path, "%s/%s/device", folder, name);
            if (stat(path, &info) != 0) continue;
            char type[16];
            snprintf(path, sizeof path, "%s/%s/type", folder, name);
            ReadLine(path, type, sizeof type);
            if (strcmp(type, "0") == 0) continue;
            int at2 = count++;
            for (; at2 > 0 && NameBefore(name, names[at2 - 1]); --at2) strcpy(names[at2], names[at2 - 1]);
            strcpy(names[at2], name);
        }
    }
    ::close(fd);
    return count;
}

// Binds every serial device the tree has to a COM name ("/dev/" and its
// name), at most once per kRescanMs. Under portsLock.
void BindDevices() {
    const long long now = NowMs();
    if (lastScanMs >= 0 && now - lastScanMs < kRescanMs) return;
    lastScanMs = now;
    char names[kMostDevices][kNameSize];
    const int count = ListDevices(names);
    for (int i = 0; i < count; ++i) {
        char path[kPathSize];
        snprintf(path, sizeof path, "/dev/%s", names[i]);
        Bind(path);
    }
}

DeviceSet* SetOf(const void* handle) {
    for (DeviceSet& set : sets)
        if (handle == &set && set.used) return &set;
    return nullptr;
}

// The device's name in set, or null. Under portsLock.
const char* DeviceName(HDEVINFO handle, const SP_DEVINFO_DATA* device) {
    const DeviceSet* set = SetOf(handle);
    if (!set || !device || device->DevInst >= static_cast<DWORD>(set->count)) return nullptr;
    return set->names[device->DevInst];
}

// The device folder of tty name and its ancestors up to the tree's root:
// calls visit(folder) until it returns true.
template <typename Visit>
void WalkUp(const char* name, Visit visit) {
    char link[kPathSize];
    char folder[PATH_MAX];
    snprintf(link, sizeof link, "%s/class/tty/%s/device", os.sysfs, name);
    if (!realpath(link, folder)) return;
    char root[PATH_MAX];
    if (!realpath(os.sysfs, root)) return;
    const size_t rootLength = strlen(root);
    while (strlen(folder) > rootLength && strncmp(folder, root, rootLength) == 0) {
        if (visit(folder)) return;
        *strrchr(folder, '/') = '\0';
    }
}

// The driver of tty name: the first up the tree beyond the serial core's own
// layers ("port", "ctrl").
void DriverName(const char* name, char* text, size_t size) {
    snprintf(text, size, "serial");
    WalkUp(name, [&](const char* folder) {
        char link[PATH_MAX + 8];
        char target[PATH_MAX];
        snprintf(link, sizeof link, "%s/driver", folder);
        const ssize_t length = readlink(link, target, sizeof target - 1);
        if (length <= 0) return false;
        target[length] = '\0';
        const char* driver = strrchr(target, '/') ? strrchr(target, '/') + 1 : target;
        if (strcmp(driver, "port") == 0 || strcmp(driver, "ctrl") == 0) return false;
        snprintf(text, size, "%s", driver);
        return true;
    });
}

// The USB ids and product name of tty name's adapter; false when it is no
// USB device.
bool UsbIds(const char* name, char* vendor, char* product, char* productName) {
    bool found = false;
    WalkUp(name, [&](const char* folder) {
        char path[PATH_MAX + 16];
        snprintf(path, sizeof path, "%s/idVendor", folder);
        ReadLine(path, vendor, 8);
        if (vendor[0] == '\0') return false;
        snprintf(path, sizeof path, "%s/idProduct", folder);
        ReadLine(path, product, 8);
        snprintf(path, sizeof path, "%s/product", folder);
        ReadLine(path, productName, 128);
        found = product[0] != '\0';
        return true;
    });
    return found;
}

// Parses "COM<n>" (n 1..256) into an index; -1 for anything else.
int ComIndex(LPCSTR name) {
    if (!name || strncasecmp(name, "COM", 3) != 0 || name[3] < '1' || name[3] > '9') return -1;
    char* rest = nullptr;
    const long number = strtol(name + 3, &rest, 10);
    return *rest == '\0' && number <= kBindablePorts ? static_cast<int>(number) - 1 : -1;
}

}  // namespace

bool PortPath(int index, char* path) {
    if (index < 0 || index >= kBindablePorts) return false;
    Locked hold;
    return PathOf(index, path);
}

DWORD QueryDosDeviceA(LPCSTR name, LPSTR target, DWORD size) {
    const int index = ComIndex(name);
    char path[kPathSize];
    {
        Locked hold;
        BindDevices();
        if (index < 0 || !PathOf(index, path)) {
            Fail(ERROR_FILE_NOT_FOUND);
            return 0;
        }
    }
    // A list of texts: the path and the list's own end.
    const DWORD length = static_cast<DWORD>(strlen(path));
    if (!target || size < length + 2) {
        Fail(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(target, path, length + 1);
    target[length + 1] = '\0';
    return length + 2;
}

HDEVINFO SetupDiGetClassDevsA(const GUID*, PCSTR, HWND, DWORD) {
    Locked hold;
    BindDevices();
    for (DeviceSet& set : sets) {
        if (set.used) continue;
        set.used = true;
        set.count = ListDevices(set.names);
        return &set;
    }
    Fail(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, PSP_DEVINFO_DATA device) {
    Locked hold;
    const DeviceSet* set = SetOf(handle);
    if (!set || !device) return Fail(ERROR_INVALID_PARAMETER);
    if (index >= static_cast<DWORD>(set->count)) return Fail(ERROR_NO_MORE_ITEMS);
    device->DevInst = index;
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
    Locked hold;
    DeviceSet* set = SetOf(handle);
    if (!set) return Fail(ERROR_INVALID_HANDLE);
    set->used = false;
    return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO handle, PSP_DEVINFO_DATA device, DWORD property, LPDWORD type,
                                       PBYTE buffer, DWORD size, LPDWORD required) {
    char name[kNameSize];
    {
        Locked hold;
        const char* named = DeviceName(handle, device);
        if (!named) return Fail(ERROR_INVALID_PARAMETER);
        strcpy(name, named);
    }
    char text[kPathSize + 2];
    char vendor[8];
    char product[8];
    char productName[128];
    const bool usb = UsbIds(name, vendor, product, productName);
    DWORD length;
    DWORD kind = REG_SZ;
    if (property == SPDRP_FRIENDLYNAME) {
        // The adapter's product name where it has one, else its driver's.
        char driver[64];
        if (!usb || productName[0] == '\0') DriverName(name, driver, sizeof driver);
        snprintf(text, sizeof text, "%s (%s)", usb && productName[0] ? productName : driver, name);
        length = static_cast<DWORD>(strlen(text)) + 1;
    } else if (property == SPDRP_HARDWAREID && usb) {
        snprintf(text, sizeof text, "USB\\VID_%s&PID_%s", vendor, product);
        length = static_cast<DWORD>(strlen(text)) + 2;  // a list of texts
        text[length - 1] = '\0';
        kind = REG_MULTI_SZ;
    } else {
        return Fail(ERROR_INVALID_DATA);  // the device has no such property
    }
    if (required) *required = length;
    if (!buffer || size < length) return Fail(ERROR_INSUFFICIENT_BUFFER);
    if (type) *type = kind;
    memcpy(buffer, text, length);
    return TRUE;
}

// A device's key names its set and place: (set + 1) * kMostDevices + place.
HKEY SetupDiOpenDevRegKey(HDEVINFO handle, PSP_DEVINFO_DATA device, DWORD, DWORD, DWORD, REGSAM) {
    Locked hold;
    if (!DeviceName(handle, device)) {
        Fail(ERROR_INVALID_PARAMETER);
        return reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    }
    const auto set = static_cast<uintptr_t>(static_cast<DeviceSet*>(handle) - sets);
    return reinterpret_cast<HKEY>((set + 1) * kMostDevices + device->DevInst);
}

// A device key's one value, "PortName": the COM name its device is bound to.
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (!valueName || strcmp(valueName, "PortName") != 0) return ERROR_FILE_NOT_FOUND;
    const uintptr_t value = reinterpret_cast<uintptr_t>(key);
    const uintptr_t set = value / kMostDevices - 1;
    if (value < kMostDevices || set >= kSetCount) return ERROR_INVALID_HANDLE;
    char text[16] = "";
    {
        Locked hold;
        SP_DEVINFO_DATA device{};
        device.DevInst = static_cast<DWORD>(value % kMostDevices);
        const char* name = DeviceName(&sets[set], &device);
        if (!name) return ERROR_INVALID_HANDLE;
        char devicePath[kPathSize];
        char path[kPathSize];
        snprintf(devicePath, sizeof devicePath, "/dev/%s", name);
        for (int index = 0; index < kBindablePorts && text[0] == '\0'; ++index)
            if (PathOf(index, path) && strcmp(path, devicePath) == 0)
                snprintf(text, sizeof text, "COM%d", index + 1);
    }
    if (text[0] == '\0') return ERROR_FILE_NOT_FOUND;
    const DWORD length = static_cast<DWORD>(strlen(text)) + 1;
    if (type) *type = REG_SZ;
    if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const DWORD room = *size;
    *size = length;
    if (!data) return ERROR_SUCCESS;
    if (room < length) return ERROR_MORE_DATA;
    memcpy(data, text, length);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY) { return ERROR_SUCCESS; }

}  // namespace posix
}  // namespace sio

// On Linux a port's name may also be a terminal device's path: it is bound to
// a COM name for the life of the process. Only the path's file is looked at
// (it must be a character device); nothing is opened.
extern "C" int SioPortIndex(const char* name) {
    using namespace sio::posix;
    if (!name || name[0] != '/') return SioComPortIndex(name);
    struct stat info;
    if (strlen(name) >= kPathSize || stat(name, &info) != 0 || !S_ISCHR(info.st_mode)) return IE_BADID;
    Locked hold;
    const int index = Bind(name);
    return index >= 0 ? index : IE_BADID;
}
