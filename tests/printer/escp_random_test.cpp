// Jobs of random bytes end with a page count or the job reader's end-of-job
// error, never with anything else.
#include <gtest/gtest.h>

#include <random>

#include "escp_test_support.h"

namespace zemprint::test {
namespace {

// Random bytes with the command bytes made frequent, so that the runs reach
// deep into the ESC, ESC ( and graphics-mode tables.
std::string randomJob(std::mt19937& random)
{
    static const std::string kCommandBytes = "\x1b(.GXUVtCc^*K@\x0d\x0a\x0c\x08\x09\x01\x02";
    std::uniform_int_distribution<int> length(0, 3000);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> pick(0, 3);
    std::uniform_int_distribution<std::size_t> command(0, kCommandBytes.size() - 1);
    std::string job(static_cast<std::size_t>(length(random)), '\0');
    for (char& c : job)
        c = pick(random) == 0 ? kCommandBytes[command(random)] : static_cast<char>(byte(random));
    return job;
}

TEST(EscpRandom, RandomJobsEndWithAPageCount)
{
    int pagesSeen = 0;
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        const std::string job = randomJob(random);
        EscpRun r;
        r.page.record = false;
        interpret(r, job, {.debug = seed % 2 == 0});
        EXPECT_TRUE(r.error.empty() || r.error.rfind("Read beyond end of file ", 0) == 0)
            << "seed " << seed << ": " << r.error;
        EXPECT_GE(r.page.pageCount(), 0);
        pagesSeen += r.page.pageCount();
    }
    // The jobs do print: a generator that only made empty runs would test nothing.
    EXPECT_GT(pagesSeen, 100);
}

}  // namespace
}  // namespace zemprint::test
