// What other subsystems may ask about an open log (logs.cpp).
#pragma once
#include <string>

// The log called name ("" the unnamed one): its absolute file name, status
// ("on" or "off" while paused) and type ("zmcl" or "text"); false when it is
// not open.
bool out_loginfo(const std::string& name, std::string* filename, std::string* status, std::string* type);
