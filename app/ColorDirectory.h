#pragma once
// The folder in which the system keeps its colour profiles, where the
// profile choosers start.

#include <string>

// The first existing of $XDG_DATA_HOME/icc (default ~/.local/share/icc) and
// DIR/color/icc for each DIR of $XDG_DATA_DIRS (default
// /usr/local/share:/usr/share); empty when none exists.
std::string GetColorDirectory();
