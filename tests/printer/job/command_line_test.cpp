#include "printer/job/command_line.h"

#include <gtest/gtest.h>

#include "printer/base/errors.h"

namespace zemprint {
namespace {

TEST(CommandLine, JobSourcesAndOwnership)
{
    struct Case {
        std::vector<std::string> args;
        JobSource source;
        const char* job;
        const char* printer;
        bool deleteJob;
        bool alwaysShowDialog;
    };
    const Case cases[] = {
        {{}, JobSource::SamplePage, "", "", true, true},
        {{"-"}, JobSource::StandardInput, "", "", true, false},
        {{"-", "Office"}, JobSource::StandardInput, "", "Office", true, false},
        {{"/spool/ZEMab12.tmp", "Office Laser"}, JobSource::File, "/spool/ZEMab12.tmp", "Office Laser", true, false},
        {{"JOB.TMP"}, JobSource::File, "JOB.TMP", "", true, false},
        {{"letter.prn"}, JobSource::File, "letter.prn", "", false, false},
        {{"letter.prn", ""}, JobSource::File, "letter.prn", "", false, false},
    };
    for (const auto& c : cases) {
        const IntakePlan plan = planIntake(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(plan.source, c.source) << label;
        EXPECT_EQ(plan.jobFile, c.job) << label;
        EXPECT_EQ(plan.printerName, c.printer) << label;
        EXPECT_EQ(plan.deleteJobFile, c.deleteJob) << label;
        EXPECT_EQ(plan.alwaysShowDialog, c.alwaysShowDialog) << label;
    }
}

TEST(CommandLine, ThreeArgumentsAreIllegal)
{
    try {
        planIntake({"a.prn", "Office", "extra"});
        FAIL() << "three arguments accepted";
    } catch (const EZEMPrint& error) {
        EXPECT_STREQ(error.what(), "Illegal parameters");
    }
}

TEST(CommandLine, HelpAndVersionOnlyAlone)
{
    EXPECT_EQ(infoRequest({"--help"}), InfoRequest::Help);
    EXPECT_EQ(infoRequest({"--version"}), InfoRequest::Version);
    EXPECT_EQ(infoRequest({"--help", "Office"}), InfoRequest::None);
    EXPECT_EQ(infoRequest({"job.prn"}), InfoRequest::None);
}

}  // namespace
}  // namespace zemprint
