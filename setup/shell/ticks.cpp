#include "shell/ticks.h"

TickAction AdvanceTicks(TickSequence *sequence, int installFinished)
{
    int count = sequence->count + 1;

    sequence->count = count;
    if (count > 1 && !sequence->wizardStarted) {
        sequence->wizardStarted = 1;
        return TickStartWizard;
    }
    if (!installFinished)
        return TickNothing;
    if (sequence->finishTick == 0) {
        sequence->finishTick = count;
        return TickNothing;
    }
    // The sentinel keeps every later tick below, also those of the open page.
    if (sequence->finishTick == FinishTickShown || count <= sequence->finishTick + 30)
        return TickNothing;
    sequence->finishTick = FinishTickShown;
    return TickShowCompletedPage;
}
