// Names for the cases of table-driven tests, so ctest lists them readably.
#pragma once

#include <gtest/gtest.h>

#include <string>

// Names a case after its `name` field.
template <typename Case>
std::string ParamName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// Names a case of a test run in both library modes (the parameter: synchronous).
inline std::string ModeName(const testing::TestParamInfo<bool>& info) {
    return info.param ? "Sync" : "Overlapped";
}
