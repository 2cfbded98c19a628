// The simulator's EEPROM on disk: readable text, one stored parameter per
// line as "bank parameter value", '#' starts a comment. The file is replaced
// as a whole after every store, so a crash never leaves half a file.
#pragma once

#include <string>

#include "controller.h"

namespace tmcl {

// "bank parameter value" lines of every stored cell, in bank then parameter order.
std::string EepromListing(const SimulatedController& controller);

// Fills the controller's EEPROM from text; false with a message naming the
// line when a line is not three numbers or names no valid cell or value.
bool ParseEeprom(const std::string& text, SimulatedController& controller, std::string& error);

enum class LoadResult { kLoaded, kMissing, kFailed };
LoadResult LoadEepromFile(const std::string& path, SimulatedController& controller, std::string& error);
bool SaveEepromFile(const std::string& path, const SimulatedController& controller);

}  // namespace tmcl
