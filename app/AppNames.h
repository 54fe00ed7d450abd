#pragma once
// The program's name and its maker's, which name the settings file and
// caption the windows and message boxes.

namespace app {

constexpr const char* kAppName = "Chromaport";
constexpr const char* kOrganisation = "Larkspur";

} // namespace app
