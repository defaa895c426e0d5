// Recognises the receiver product of a log from its first bytes.
#pragma once

#include <cstdint>
#include <string>

namespace polvane {

class InputFile;

// The product code 0..9 of the file (never 6); 0 when it is unknown or cannot be read.
std::int16_t IdentifyProduct(const std::string& path);
// The same of a file already open (read from its start; where it is left is unspecified).
std::int16_t IdentifyProduct(InputFile& file);

// The text the product label shows for a code ("(None)" for 0 and unknown codes).
const char* ProductLabel(std::int16_t code);

}  // namespace polvane
