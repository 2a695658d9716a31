// The log files' checks that the command loop makes (the commands and the
// rest of the log machinery are in logs.cpp).
#pragma once

// Flushes every open log; a log whose file could not be written (a full
// disk) is closed and reported. 0, or 699 after the message.
int out_checklogs();
