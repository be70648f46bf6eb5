// The main window's timer sequence, kept apart from the window so that it can be driven
// tick by tick in tests: tick 2 starts the wizard, and the completion page opens on the
// 31st tick after the one that first saw the install-finished flag.
#ifndef VELTRANE_SHELL_TICKS_H
#define VELTRANE_SHELL_TICKS_H

enum { FinishTickShown = 1000000000 };

struct TickSequence {
    int count;          // ticks received, nested ones included
    int wizardStarted;  // set before the wizard runs, so nested ticks cannot start it again
    int finishTick;     // 0, the count that first saw the flag, or FinishTickShown
};

enum TickAction { TickNothing, TickStartWizard, TickShowCompletedPage };

// Counts one tick and says what the window has to do on it.
TickAction AdvanceTicks(TickSequence *sequence, int installFinished);

#endif
