#include "app/cli/Arguments.h"

#include <gtest/gtest.h>

namespace {

using Mode = CCommandLine::Mode;

CCommandLine Parse(std::vector<std::string> arguments, bool withWindow = true)
{
    return CCommandLine::Parse(arguments, withWindow);
}

TEST(Arguments, EachRunGoesToItsOwnFormAndSlashWordsStayWithTheWindow)
{
    EXPECT_EQ(Parse({}).mode, Mode::Window);
    EXPECT_EQ(Parse({ "/metalib", "-x", "/p", "a.patch" }).mode, Mode::Window);
    EXPECT_EQ(Parse({ "-h" }).mode, Mode::Batch);
    // A mistyped option is a usage error, never a window that takes it for a file.
    const CCommandLine typo = Parse({ "--readdres", "a.patch" });
    EXPECT_EQ(typo.mode, Mode::Batch);
    EXPECT_EQ(typo.problem, "unknown option --readdres");
    // --print-pdf anywhere makes the PDF form, with its own options and usage.
    const CCommandLine pdf = Parse({ "--date", "today", "a.patch", "--print-pdf", "o.pdf" });
    EXPECT_EQ(pdf.mode, Mode::PrintPdf);
    EXPECT_TRUE(pdf.problem.empty()) << pdf.problem;
    EXPECT_EQ(pdf.batch.printPdf, "o.pdf");
    EXPECT_EQ(pdf.batch.date, "today");
    EXPECT_NE(std::string(pdf.Usage()).find("--print-pdf OUT.pdf"), std::string::npos);
    EXPECT_EQ(Parse({ "--print-pdf", "o.pdf", "--readdress", "a.patch" }).problem,
        "unknown option --readdress");
    EXPECT_EQ(Parse({ "--print-pdf", "o.pdf" }).problem, "no project file given");

    // Without the window everything is a batch run.
    EXPECT_EQ(Parse({ "a.patch" }, false).mode, Mode::Batch);
    EXPECT_TRUE(Parse({ "a.patch" }, false).problem.empty());
    EXPECT_EQ(Parse({}, false).problem, "no FILE given");
    const CCommandLine noPdf = Parse({ "--print-pdf", "o.pdf", "a.patch" }, false);
    EXPECT_EQ(noPdf.mode, Mode::Batch);
    EXPECT_EQ(noPdf.problem, "--print-pdf needs the build with the window (Qt)");
}

TEST(Arguments, VersionAndHelpNeedNoFileButStillRefuseUnknownWords)
{
    CCommandLine line = Parse({ "--version" });
    EXPECT_TRUE(line.version);
    EXPECT_TRUE(line.problem.empty());
    line = Parse({ "--version", "--library", "/x/metalib.xml" });
    EXPECT_TRUE(line.version);
    EXPECT_EQ(line.batch.library, "/x/metalib.xml");
    EXPECT_EQ(Parse({ "--version", "--bogus" }).problem, "unknown option --bogus");
    EXPECT_TRUE(Parse({ "--help" }).help);
    EXPECT_EQ(Parse({ "--section", "0", "a.patch" }).problem, "--section needs a number from 1");
    EXPECT_EQ(Parse({ "--section", "12", "a.patch" }).batch.section, 12);
    EXPECT_EQ(Parse({ "a.patch", "--save-as" }).problem, "--save-as needs a value");
    // An option's value is never taken for an option or the file.
    line = Parse({ "--save-as", "--odd-name", "a.patch" });
    EXPECT_TRUE(line.problem.empty());
    EXPECT_EQ(line.batch.saveAs, "--odd-name");
    EXPECT_EQ(line.batch.file, "a.patch");
}

} // namespace
