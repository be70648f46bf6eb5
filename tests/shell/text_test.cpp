// setup's own formatting and its walks by character. The rows in the double-byte code
// pages run natively, where the code page is chosen; under Wine the system's own
// (single-byte) code page is used, as setup.exe uses it.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "shell/startup.h"
#include "shell/text.h"
#include "wizard/installdir.h"

namespace {

TEST(FormatText, CutTextStaysTerminatedAndTellsTheWholeLength)
{
    struct Case {
        int size;
        const char *expected;
    } cases[] = {{1, ""}, {5, "C:\\a"}, {12, "C:\\ab\\x.ini"}, {40, "C:\\ab\\x.ini 100%"}};
    for (const Case &c : cases) {
        char out[40];
        memset(out, 'Z', sizeof out);
        int length = FormatText(out, c.size, "%s\\%s 100%%", "C:\\ab", "x.ini");
        EXPECT_EQ(16, length) << "size " << c.size;
        EXPECT_STREQ(c.expected, out) << "size " << c.size;
        if (c.size < 40) {
            EXPECT_EQ('Z', out[c.size]) << "written past the buffer of size " << c.size;
        }
    }
}

// A drive's root never comes out as a bare "X:", which is that drive's current folder, nor
// gives "\\" after the drive; other directories keep their text.
TEST(JoinDirectory, DriveRootStandsAsXColonBackslash)
{
    const struct {
        const char *directory, *rest, *expected;
    } cases[] = {
        {"C:", "", "C:\\"},
        {"c:\\", "", "c:\\"},
        {"C:", "\\links.inf", "C:\\links.inf"},
        {"D:\\", "\\conf\\alpha.cfg", "D:\\conf\\alpha.cfg"},
        {"C:", "tail", "C:\\tail"},
        {"C:\\veltrane", "\\orvane", "C:\\veltrane\\orvane"},
        {"C:\\veltrane", "tail", "C:\\veltranetail"},
    };
    for (const auto &c : cases) {
        char out[40];
        JoinDirectory(out, sizeof out, c.directory, c.rest);
        EXPECT_STREQ(c.expected, out) << c.directory << " + " << c.rest;
    }
}

// Each entry the page refuses, with the reason its box gives; "" for one it takes.
TEST(JudgeInstallDirectory, OnlyAFullLocalPathWithNamesWindowsCanMake)
{
    const char *const path = "\n\nType a drive letter, a colon and a backslash followed by "
                             "folder names, such as c:\\veltrane";
    const char *const name = "\n\nChoose another folder name";
    const struct {
        const char *entry, *reason, *advice;
    } cases[] = {
        {"c:\\veltrane", "", ""},
        {"C:\\", "", ""},
        {"z:\\a\\b.c\\", "", ""},
        {"c:\\console\\con2\\nulx.txt\\.hidden", "", ""},
        {"inst", "is not a full path", path},
        {"\\", "is not a full path", path},
        {"\\veltrane", "is not a full path", path},
        {"c:", "is not a full path", path},
        {"c:veltrane", "is not a full path", path},
        {"1:\\veltrane", "is not a full path", path},
        {"\\\\server\\share", "is a network path", path},
        {"c:/veltrane/", "holds a forward slash", path},
        {"c:\\veltrane\\\\", "holds two backslashes in a row", path},
        {"c:\\\\veltrane", "holds two backslashes in a row", path},
        {"c:\\a<b", "holds a character that names cannot hold: < > : \" | ? *", name},
        {"c:\\a\"b", "holds a character that names cannot hold: < > : \" | ? *", name},
        {"c:\\a:b", "holds a character that names cannot hold: < > : \" | ? *", name},
        {"c:\\a?\\b", "holds a character that names cannot hold: < > : \" | ? *", name},
        {"c:\\a>b", "holds a character that names cannot hold: < > : \" | ? *", name},
        {"c:\\a|b", "holds a character that names cannot hold: < > : \" | ? *", name},
        {"c:\\a*", "holds a character that names cannot hold: < > : \" | ? *", name},
        {"c:\\a\tb", "holds a control character", name},
        {"C:\\CON", "holds a device name: CON", name},
        {"c:\\x\\nul.txt\\y", "holds a device name: nul.txt", name},
        {"c:\\Com1", "holds a device name: Com1", name},
        {"c:\\lpt9.a.b", "holds a device name: lpt9.a.b", name},
        {"c:\\pRn", "holds a device name: pRn", name},
        {"c:\\aUx\\x", "holds a device name: aUx", name},
        {"c:\\LpT1", "holds a device name: LpT1", name},
        {"c:\\cOm9.txt", "holds a device name: cOm9.txt", name},
        {"c:\\ClOcK$", "holds a device name: ClOcK$", name},
        {"c:\\CoNiN$", "holds a device name: CoNiN$", name},
        {"c:\\cOnOuT$", "holds a device name: cOnOuT$", name},
        {"c:\\velt.", "holds a folder name that ends in a dot: velt.", name},
        {"c:\\..\\x", "holds a folder name that ends in a dot: ..", name},
        {"c:\\velt \\x", "holds a folder name that ends in a blank: velt ", name},
    };
    for (const auto &c : cases) {
        char message[400] = "untouched";
        int result = JudgeInstallDirectory(c.entry, message, sizeof message);
        if (!*c.reason) {
            EXPECT_EQ(0, result) << c.entry << ": " << message;
            continue;
        }
        EXPECT_EQ(-1, result) << c.entry;
        EXPECT_EQ(std::string("The install directory ") + c.entry + " " + c.reason + c.advice,
                  message);
    }
}

#ifndef _WIN32
// One character whose second byte is 0x5C in each double-byte code page. No character of
// 949 ends in 0x5C, but Windows pairs any lead byte with the byte after it all the same.
// With it the ends of the code page's lead-byte ranges and the bytes just outside them.
struct CodePageCase {
    int codePage;
    const char *character;
    const char *leadEnds;
    const char *besideLeads;
};
const CodePageCase DoubleByteCases[] = {
    {932, "\x95\x5c", "\x81\x9f\xe0\xfc", "\x80\xa0\xdf\xfd"},  // 表
    {936, "\x81\x5c", "\x81\xfe", "\x80\xff"},
    {949, "\x81\x5c", "\x81\xfe", "\x80\xff"},
    {950, "\xb3\x5c", "\x81\xfe", "\x80\xff"},  // 許
};

void PrintTo(const CodePageCase &c, std::ostream *out)
{
    *out << "code page " << c.codePage;
}

class DoubleByte : public ::testing::TestWithParam<CodePageCase> {
protected:
    void SetUp() override { UseCodePage(GetParam().codePage); }
    void TearDown() override { UseCodePage(1252); }
};

TEST_P(DoubleByte, SecondByteBackslashIsNoSeparator)
{
    std::string folder = std::string("C:\\") + GetParam().character;

    EXPECT_FALSE(EndsInBackslash(folder.c_str()));
    EXPECT_TRUE(EndsInBackslash((folder + "\\").c_str()));
    char source[200];
    ComposeSourceDirectory(source, sizeof source, folder.c_str(), 0);
    EXPECT_EQ(folder + "\\veltrane", source);

    // A cut inside the character keeps none of it; the length still tells the whole text.
    char out[5];
    EXPECT_EQ(6, FormatText(out, sizeof out, "%s!", folder.c_str()));
    EXPECT_STREQ("C:\\", out);
    char cut[] = {'C', ':', '\\', folder[3], 0};
    DropSplitCharacter(cut);
    EXPECT_STREQ("C:\\", cut);

    // The character is a folder name like any other, and keeps its second byte when a
    // name is joined to the folder.
    char message[300] = "";
    EXPECT_EQ(0, JudgeInstallDirectory((folder + "\\x").c_str(), message, sizeof message))
        << message;
    char joined[20];
    JoinDirectory(joined, sizeof joined, folder.c_str(), "\\x");
    EXPECT_EQ(folder + "\\x", joined);

    // In a single-byte code page the same bytes do end in a backslash.
    UseCodePage(1252);
    EXPECT_EQ(-1, JudgeInstallDirectory((folder + "\\x").c_str(), message, sizeof message));
    EXPECT_TRUE(EndsInBackslash(folder.c_str()));
}

// Each text ends in a lone lead byte, in a buffer of its exact size, so that a walk that
// pairs it with the terminator reads past the buffer.
TEST_P(DoubleByte, LeadByteRangeEndsAndALoneLeadByteAtTheEnd)
{
    for (const char *lead = GetParam().leadEnds; *lead; lead++) {
        SCOPED_TRACE(testing::Message() << "lead byte 0x" << std::hex << (*lead & 0xff));
        char alone[] = {*lead, 0};
        char last[] = {'C', ':', '\\', *lead, 0};
        char paired[] = {'C', ':', '\\', *lead, '\\', 0};
        EXPECT_FALSE(EndsInBackslash(alone));
        EXPECT_FALSE(EndsInBackslash(last));
        EXPECT_FALSE(EndsInBackslash(paired));
        EXPECT_EQ(0, WholeCharactersLength(alone, 1));
        EXPECT_EQ(3, WholeCharactersLength(last, 4));
        EXPECT_EQ(5, WholeCharactersLength(paired, 5));

        // A lone lead byte is a character of its own where the text ends, but pairs with a
        // backslash that follows it in the format: a cut between the two keeps neither.
        char out[6];
        EXPECT_EQ(4, FormatText(out, sizeof out, last));
        EXPECT_EQ(std::string(last), out);
        EXPECT_EQ(5, FormatText(out, sizeof out, "%s\\", last));
        EXPECT_EQ(std::string(paired), out);
        EXPECT_EQ(5, FormatText(out, 5, "%s\\", last));
        EXPECT_STREQ("C:\\", out);

        DropSplitCharacter(alone);
        EXPECT_STREQ("", alone);
        DropSplitCharacter(last);
        EXPECT_STREQ("C:\\", last);
    }
    for (const char *other = GetParam().besideLeads; *other; other++) {
        SCOPED_TRACE(testing::Message() << "single byte 0x" << std::hex << (*other & 0xff));
        char last[] = {'C', ':', '\\', *other, 0};
        char before[] = {'C', ':', '\\', *other, '\\', 0};
        EXPECT_TRUE(EndsInBackslash(before));
        EXPECT_EQ(4, WholeCharactersLength(last, 4));
        DropSplitCharacter(last);
        EXPECT_EQ(4u, strlen(last));
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, DoubleByte, ::testing::ValuesIn(DoubleByteCases),
                         [](const ::testing::TestParamInfo<CodePageCase> &info) {
                             return std::to_string(info.param.codePage);
                         });
#endif

}  // namespace
