// What the command loop and the reset-all ask of the output channel: the log
// files' checks (the commands and the rest of the log machinery are in
// cmd/logs.cpp) and the reset of the channel's settings.
#pragma once
#include <string>

// Flushes every open log; a log whose file could not be written (a full
// disk) is closed and reported. 0, or 699 after the message.
int out_checklogs();

// The log called name ("" the unnamed one): its absolute file name, status
// ("on" or "off" while paused) and type ("zmcl" or "text"); false when it is
// not open.
bool out_loginfo(const std::string& name, std::string* filename, std::string* status, std::string* type);

// The channel's settings back to their start: output levels, `set linesize`
// (the console's width again), `set more`, `set pagesize`, `set dp`, the error
// routines' markup flag. The destinations (console, capture, batch log) and
// the hooks are the front end's and stay; logs opened by `log` are closed by
// out_logs_reset.
void out_reset();
