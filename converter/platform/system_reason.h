// The system's own words for an error code, for messages to the user.
#pragma once
#include <string>

// On Windows code is a GetLastError or registry result, told in the ANSI
// code page; elsewhere an errno value. Never empty.
std::string SystemReason(long code);
