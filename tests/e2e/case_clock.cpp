// Every case of an e2e program is bounded on its own: the driver's waits end by the case's
// bound (50 s after the last step of the case that came) and at its first failure,
// so a wrong box or a missing page fails that case within the bound, and when the case
// ends, whatever way, the programs it started are ended, so the next case starts clean.
// A case stuck outside the driver's waits (a loop of its own) is stopped by a watchdog:
// at the bound it ends the case's programs, and if the case is still not over 10 s later,
// it ends the test program with a message naming the case.
#include <stdio.h>

#include <gtest/gtest.h>

#include "driver.h"

namespace {

enum {
    CaseBoundMilliseconds = 50000,  // a stuck case, its programs ended, is over within 60 s
    GraceMilliseconds = 10000,      // after the bound, for the case to notice and end
};

class CaseClock : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo &info) override
    {
        snprintf(name, sizeof name, "%s.%s", info.test_suite_name(), info.name());
        StartCaseClock(CaseBoundMilliseconds);
        over = CreateEventA(NULL, TRUE, FALSE, NULL);
        watchdog = CreateThread(NULL, 0, Watch, this, 0, NULL);
    }

    // Once the case has failed, what follows only reports: nothing waits any more, so the
    // case ends at once instead of waiting out every step after the one that went wrong.
    void OnTestPartResult(const testing::TestPartResult &result) override
    {
        if (result.failed())
            ExpireCaseClock();
    }

    void OnTestEnd(const testing::TestInfo &) override
    {
        SetEvent(over);
        WaitForSingleObject(watchdog, INFINITE);
        CloseHandle(watchdog);
        CloseHandle(over);
        StopCaseClock();
    }

private:
    static DWORD WINAPI Watch(void *context)
    {
        CaseClock *clock = (CaseClock *)context;
        // The bound moves on with every step of the case: wait until it has really passed.
        for (DWORD left; (left = CaseMilliseconds(INFINITE)) > 0;)
            if (WaitForSingleObject(clock->over, left) == WAIT_OBJECT_0)
                return 0;
        EndCasePrograms();
        if (WaitForSingleObject(clock->over, GraceMilliseconds) == WAIT_OBJECT_0)
            return 0;
        fprintf(stderr, "case_clock: %s did not end within %d s of its bound; the test "
                "program ends here\n", clock->name, GraceMilliseconds / 1000);
        fflush(stderr);
        fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 1);
        return 0;
    }

    char name[256];
    HANDLE over;
    HANDLE watchdog;
};

// Hooks the clock into GoogleTest when the program starts, before main runs the cases.
const bool hooked = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new CaseClock);
    return true;
}();

}  // namespace
