// Turns a REG_SZ Path value into REG_EXPAND_SZ, protected by a backup value.
#pragma once

bool RepairVariableType();
