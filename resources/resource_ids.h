#pragma once
// Identifiers of the launcher's resources, shared by the resource script and the code.

#define IDR_MAINFRAME 128
