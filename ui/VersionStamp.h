#pragma once
// The program's version: the modification time of the program file.

#include <ctime>
#include <string>

// The time in local time through strftime; empty when it cannot be converted
// or the result is empty or longer than 127 characters.
std::string FormatLocalTime(std::time_t time, const char* format);
// The file's modification time as "%y%m%d.%H%M" in local time (110303.0905 for
// 3 March 2011 at 09:05); empty when the file cannot be read.
std::string GetFileVersionStamp(const std::string& path);
// The stamp of the running program's own file.
std::string GetVersionStamp();
