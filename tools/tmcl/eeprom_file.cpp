// Reading and writing the EEPROM text file.
#include "eeprom_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdio.h>
#endif

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <sstream>

namespace tmcl {
namespace {

constexpr char kFileHeader[] =
    "# tmcl-sim EEPROM: one stored global parameter per line: bank parameter value\n";

// Three whole numbers and nothing else; a number out of range fails the
// stream instead of wrapping.
bool ParseLine(const std::string& line, int& bank, int& parameter, int32_t& value) {
    std::istringstream fields(line);
    long long wideBank = 0;
    long long wideParameter = 0;
    long long wideValue = 0;
    std::string extra;
    if (!(fields >> wideBank >> wideParameter >> wideValue) || (fields >> extra)) return false;
    if (wideBank < 0 || wideBank >= kBankCount) return false;
    if (wideParameter < 0 || wideParameter >= kParametersPerBank) return false;
    if (wideValue < INT32_MIN || wideValue > INT32_MAX) return false;
    bank = static_cast<int>(wideBank);
    parameter = static_cast<int>(wideParameter);
    value = static_cast<int32_t>(wideValue);
    return SimulatedController::ValidCell(bank, parameter);
}

bool IsBlankOrComment(const std::string& line) {
    size_t first = line.find_first_not_of(" \t\r");
    return first == std::string::npos || line[first] == '#';
}

}  // namespace

std::string EepromListing(const SimulatedController& controller) {
    std::string listing;
    char line[64];
    for (int bank = 0; bank < kBankCount; ++bank) {
        for (int parameter = 0; parameter < kParametersPerBank; ++parameter) {
            const EepromCell& cell = controller.Eeprom(bank, parameter);
            if (!cell.stored) continue;
            std::snprintf(line, sizeof line, "%d %d %" PRId32 "\n", bank, parameter, cell.value);
            listing += line;
        }
    }
    return listing;
}

bool ParseEeprom(const std::string& text, SimulatedController& controller, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (IsBlankOrComment(line)) continue;
        int bank = 0;
        int parameter = 0;
        int32_t value = 0;
        if (!ParseLine(line, bank, parameter, value)) {
            error = "line " + std::to_string(number) + ": expected \"bank(0-3) parameter(0-" +
                    std::to_string(kParametersPerBank - 1) + ") value\", got \"" + line + "\"";
            return false;
        }
        controller.LoadEeprom(bank, parameter, value);
    }
    return true;
}

LoadResult LoadEepromFile(const std::string& path, SimulatedController& controller, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (errno == ENOENT) return LoadResult::kMissing;
        error = "cannot read " + path;
        return LoadResult::kFailed;
    }
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    std::fclose(file);
    if (!ParseEeprom(text, controller, error)) {
        error = path + ": " + error;
        return LoadResult::kFailed;
    }
    return LoadResult::kLoaded;
}

namespace {

// Moves from over to, replacing it in one step.
bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
#else
    return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

// Written beside the target and moved over it, so readers see the old or the
// new file, never a partial one.
bool SaveEepromFile(const std::string& path, const SimulatedController& controller) {
    std::string temporary = path + ".new";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    std::string text = kFileHeader + EepromListing(controller);
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
    if (written && ReplaceFile(temporary, path)) return true;
    std::remove(temporary.c_str());
    return false;
}

}  // namespace tmcl
