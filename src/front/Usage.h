// The usage text, shown for /? or ? or when nothing is given.
#pragma once

void ShowUsage();
