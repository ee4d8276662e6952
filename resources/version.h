// The launcher's version, in the two forms its version record takes. The package tool names it
// as the launcher it builds packages for. Plain macros, so the resource compiler reads them too.
#pragma once

#define LINKMOOR_LAUNCHER_VERSION_NUMBERS 2,5,0,3540
#define LINKMOOR_LAUNCHER_VERSION_TEXT "2.5.0.3540"
