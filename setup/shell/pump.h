#ifndef VELTRANE_SHELL_PUMP_H
#define VELTRANE_SHELL_PUMP_H

#include <windows.h>

// Handles what waits in the thread's queue and returns when it is empty; never waits.
// Only keyboard, client-area mouse, command, timer and paint messages are dispatched;
// the rest are discarded, except a quit request, which is posted again on return.
void PumpMessages(void);

// 1 when PumpMessages dispatches this message, 0 when it discards it.
int IsPumpedMessage(UINT message);

#endif
