// Where each Path variable lives in the registry. The locations are stored
// scrambled (length byte, then each character XOR 0x5E).
#pragma once

#include <cstddef>
#include <string>

extern const unsigned char UserLocation[17];
extern const unsigned char MachineLocation[66];

std::string DescrambleLocation(const unsigned char* stored, std::size_t capacity);
// Sets RootKey and ValuePath from MachineScope.
void ChooseVariable();
