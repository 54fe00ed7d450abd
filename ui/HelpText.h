#pragma once

#include <string>

// The help window's text: its pieces joined in order, lines ending in "\r\n".
std::string BuildHelpText();
