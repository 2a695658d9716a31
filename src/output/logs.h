// The log files' checks that the command loop makes (the commands and the
// rest of the log machinery are in cmd/logs.cpp).
#pragma once
#include <string>

// Flushes every open log; a log whose file could not be written (a full
// disk) is closed and reported. 0, or 699 after the message.
int out_checklogs();

// The log called name ("" the unnamed one): its absolute file name, status
// ("on" or "off" while paused) and type ("zmcl" or "text"); false when it is
// not open.
bool out_loginfo(const std::string& name, std::string* filename, std::string* status, std::string* type);
