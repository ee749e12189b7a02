// The console client's command line.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "command.h"

namespace
{

Command Parse(std::initializer_list<const char*> words)
{
    std::vector<const char*> argv{"ostrakctl"};
    argv.insert(argv.end(), words);
    return parseCommand(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(OstrakctlCommandTest, ReadTakesNoArgument)
{
    EXPECT_EQ(Parse({"read"}).kind, CommandKind::Read);

    const Command extra = Parse({"read", "5A"});
    EXPECT_EQ(extra.kind, CommandKind::Invalid);
    EXPECT_NE(extra.error, nullptr);
}

TEST(OstrakctlCommandTest, WriteTakesOneOrTwoHexDigitsWithOrWithoutPrefix)
{
    const struct
    {
        const char* text;
        unsigned char value;
    } cases[] = {{"5A", 0x5A}, {"5a", 0x5A}, {"0xFF", 0xFF}, {"0X0f", 0x0F}, {"7", 0x07}, {"00", 0x00}};
    for (const auto& c : cases)
    {
        const Command command = Parse({"write", c.text});
        EXPECT_EQ(command.kind, CommandKind::Write) << c.text;
        EXPECT_EQ(command.value, c.value) << c.text;
    }
}

TEST(OstrakctlCommandTest, WriteRefusesWhatIsNotOneByte)
{
    for (const char* text : {"100", "1FF", "0x100", "", "0x", "-1", "+5", " 5", "5 ", "G0", "0x-1"})
    {
        const Command command = Parse({"write", text});
        EXPECT_EQ(command.kind, CommandKind::Invalid) << '"' << text << '"';
        EXPECT_NE(command.error, nullptr) << '"' << text << '"';
    }
}

TEST(OstrakctlCommandTest, MissingOrUnknownCommandOrMissingByteIsRefused)
{
    for (const Command& command :
         {Parse({}), Parse({"peek"}), Parse({"READ"}), Parse({"write"}), Parse({"write", "1", "2"})})
    {
        EXPECT_EQ(command.kind, CommandKind::Invalid);
        EXPECT_NE(command.error, nullptr);
    }
}

TEST(OstrakctlCommandTest, HelpIsAskedForOnlyAlone)
{
    for (const char* word : {"-h", "--help", "/?"})
    {
        EXPECT_EQ(Parse({word}).kind, CommandKind::Help) << word;
    }
    EXPECT_EQ(Parse({"--help", "read"}).kind, CommandKind::Invalid);
}
