#include "sys_override.h"

std::vector<HANDLE> FreeHandleValues(int count) {
    std::vector<HANDLE> values;
    for (int i = 0; i < count; ++i) values.push_back(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    for (HANDLE value : values) ::CloseHandle(value);
    return values;
}
