#pragma once

// The Windows-1251 code page lives with the settings file, which reads files written on
// Windows through it; the terminal's data paths use the same table.
#include "app/CodePage.h"
