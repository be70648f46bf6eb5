// The timer sequence tick by tick, and the source directory rule, without any window.
#include <gtest/gtest.h>

#include "shell/startup.h"
#include "shell/ticks.h"

namespace {

struct TickRun {
    TickSequence sequence = {0, 0, 0};
    int wizardStarts = 0;
    int pagesShown = 0;
    int lastPageTick = 0;

    void Tick(int installFinished)
    {
        switch (AdvanceTicks(&sequence, installFinished)) {
        case TickStartWizard:
            wizardStarts++;
            break;
        case TickShowCompletedPage:
            pagesShown++;
            lastPageTick = sequence.count;
            break;
        case TickNothing:
            break;
        }
    }
};

TEST(TimerSequence, FirstTickDoesNothingSecondStartsWizardOnce)
{
    TickRun run;
    run.Tick(0);
    EXPECT_EQ(0, run.wizardStarts) << "tick 1";
    run.Tick(0);
    EXPECT_EQ(1, run.wizardStarts) << "tick 2";
    EXPECT_EQ(1, run.sequence.wizardStarted);
    // Nested ticks while the wizard's pages are open only count.
    for (int i = 0; i < 50; i++)
        run.Tick(0);
    EXPECT_EQ(1, run.wizardStarts);
    EXPECT_EQ(52, run.sequence.count);
    EXPECT_EQ(0, run.sequence.finishTick);
    EXPECT_EQ(0, run.pagesShown);
}

TEST(TimerSequence, CompletedPageOpensOn31stTickAfterFinishIsSeen)
{
    TickRun run;
    for (int tick = 1; tick <= 39; tick++)
        run.Tick(0);
    run.Tick(1);
    EXPECT_EQ(40, run.sequence.finishTick) << "flag first seen on tick 40";
    for (int tick = 41; tick <= 70; tick++)
        run.Tick(1);
    EXPECT_EQ(0, run.pagesShown) << "nothing by tick 70";
    run.Tick(1);
    EXPECT_EQ(1, run.pagesShown);
    EXPECT_EQ(71, run.lastPageTick);
    EXPECT_EQ(FinishTickShown, run.sequence.finishTick);
}

TEST(TimerSequence, PageOpensOnceWhileTicksGoOnCounting)
{
    TickRun run;
    for (int tick = 1; tick <= 200; tick++)
        run.Tick(tick >= 3);
    EXPECT_EQ(1, run.wizardStarts);
    EXPECT_EQ(1, run.pagesShown);
    EXPECT_EQ(3 + 31, run.lastPageTick);
    EXPECT_EQ(200, run.sequence.count);
}

TEST(TimerSequence, FinishSetDuringWizardTickIsSeenOnTheNextTick)
{
    // The wizard returns inside tick 2 with the flag set; tick 3 first sees it.
    TickRun run;
    run.Tick(0);
    run.Tick(0);
    run.Tick(1);
    EXPECT_EQ(3, run.sequence.finishTick);
}

struct SourceCase {
    const char *current;
    int inPlace;
    const char *expected;
};

TEST(SourceDirectory, InPlaceKeepsCurrentDirectoryCopyModeAddsVeltrane)
{
    const SourceCase cases[] = {
        {"C:\\Suite", 1, "C:\\Suite"},
        {"D:\\", 1, "D:\\"},
        {"D:\\", 0, "D:\\veltrane"},
        {"D:\\Setup", 0, "D:\\Setup\\veltrane"},
        {"D:\\Setup\\", 0, "D:\\Setup\\veltrane"},
    };
    for (const SourceCase &c : cases) {
        char source[200];
        ComposeSourceDirectory(source, sizeof source, c.current, c.inPlace);
        EXPECT_STREQ(c.expected, source) << c.current << " in place " << c.inPlace;
    }
}

TEST(SourceDirectory, LongestCurrentDirectoryFitsInCopyMode)
{
    std::string current = "C:\\" + std::string(146, 'a');  // 149 characters
    char source[200];
    ComposeSourceDirectory(source, sizeof source, current.c_str(), 0);
    EXPECT_EQ(current + "\\veltrane", source);
}

} // namespace
