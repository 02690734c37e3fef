// The headless private-profile files: reading files in the layout Windows reads and writes, and
// writing files Windows reads the same way. Expected layouts are those kernel32 produces.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/Profile_headless.h"
#include "platform/base/CodePage.h"
#include "tests/support/TempFolder.h"

namespace {

class HeadlessProfileTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetAnsiCodePage(932); }

    std::wstring File() const { return (folder_.Path() / "test.ini").wstring(); }
    void Put(const std::string& bytes) const { TempFolder::Put(folder_.Path() / "test.ini", bytes); }
    std::string Take() const { return TempFolder::Take(folder_.Path() / "test.ini"); }
    std::string Read(const char* section, const char* key) {
        return profile_.ReadString(File(), section, key, "<none>");
    }
    void Write(const char* section, const char* key, const std::string& value) {
        ASSERT_TRUE(profile_.WriteString(File(), section, key, value));
    }

    TempFolder folder_;
    platform::HeadlessProfile profile_;
};

TEST_F(HeadlessProfileTest, ReadsNamesAndValuesAsWindowsDoes) {
    Put("; NAME=commented out\r\n"
        "[ exeini ]\r\n"
        "  Name \t=  \"quoted value\"  \r\n"
        "name2='single'\r\n"
        "NAME3 = a \"b\" c \r\n"
        "open=\"abc'\r\n"
        "empty=\"\"\r\n"
        "bare\r\n"
        "NAME=second key is never reached\r\n"
        "[EXEINI]\r\n"
        "LATER=only the first section counts\r\n"
        "[CR]\rone=1\rtwo = 2\n");

    EXPECT_EQ(Read("EXEINI", "NAME"), "quoted value");
    EXPECT_EQ(Read("  EXEINI ", " name "), "quoted value");
    EXPECT_EQ(Read("EXEINI", "NAME2"), "single");
    EXPECT_EQ(Read("EXEINI", "name3"), "a \"b\" c");
    EXPECT_EQ(Read("EXEINI", "open"), "\"abc'");
    EXPECT_EQ(Read("EXEINI", "empty"), "");
    EXPECT_EQ(Read("EXEINI", "bare"), "<none>");
    EXPECT_EQ(Read("EXEINI", "LATER"), "<none>");
    EXPECT_EQ(Read("EXEINI", "missing"), "<none>");
    EXPECT_EQ(Read("CR", "two"), "2");
    EXPECT_EQ(Read("missing", "NAME"), "<none>");
    EXPECT_EQ(profile_.ReadString((folder_.Path() / "none.ini").wstring(), "EXEINI", "NAME", "fb"), "fb");
}

TEST_F(HeadlessProfileTest, LaysOutNewFilesKeysAndSectionsAsWindowsDoes) {
    Write("App1", "key1", "string1");
    EXPECT_EQ(Take(), "[App1]\r\nkey1=string1\r\n");
    Write("App1", "key2", "string2");
    Write("App2", "key4", "string4");
    Write("app1", "KEY3", "string3");
    Write("App1", "Key1", "changed");
    EXPECT_EQ(Take(),
              "[App1]\r\nkey1=changed\r\nkey2=string2\r\nKEY3=string3\r\n"
              "[App2]\r\nkey4=string4\r\n");
}

TEST_F(HeadlessProfileTest, WritingKeepsEveryOtherLine) {
    Put("; settings\n"
        "[EXEINI]\r\n"
        "  NAME = old  \r\n"
        "; the password\r\n"
        "NAME2=secret\r\n"
        "\r\n"
        "[OTHER]\n"
        "x=1");
    Write("exeini", "name", "new value");
    Write("EXEINI", "NAME3", "1");
    Write("OTHER", "y", "2");
    Write("THIRD", "z", "3");
    EXPECT_EQ(Take(),
              "; settings\n"
              "[EXEINI]\r\n"
              "NAME=new value\r\n"
              "; the password\r\n"
              "NAME2=secret\r\n"
              "NAME3=1\r\n"
              "\r\n"
              "[OTHER]\n"
              "x=1\r\n"
              "y=2\r\n"
              "[THIRD]\r\n"
              "z=3\r\n");
}

TEST_F(HeadlessProfileTest, ReadsBackWhatItWrites) {
    const std::string japanese =
        "\x83\x54\x81\x5b\x83\x6f\x81\x5b \x83\x5d\x95\x5c";  // "サーバー ゾ表": '[' ']' '\' as second bytes
    const std::string sectionName = "\x83\x54\x81\x5b\x83\x6f\x81\x5b";  // "サーバー"
    const std::string long300(300, 'x');
    Write("EXEINI", "NAME", japanese);
    Write("EXEINI", "NAME2", "pass word=with;signs");
    Write(sectionName.c_str(), "KEY", japanese);
    Write("EXEINI", "LONG", long300);
    Write("EXEINI", "EMPTY", "");

    EXPECT_EQ(Read("EXEINI", "NAME"), japanese);
    EXPECT_EQ(Read("EXEINI", "NAME2"), "pass word=with;signs");
    EXPECT_EQ(Read(sectionName.c_str(), "KEY"), japanese);
    EXPECT_EQ(Read("EXEINI", "LONG"), long300);
    EXPECT_EQ(Read("EXEINI", "EMPTY"), "");
}

TEST_F(HeadlessProfileTest, ReadsIntegersAsGetPrivateProfileIntDoes) {
    Put("[S]\r\na=1\r\nb= 12 \r\nc=-5\r\nd=0x10\r\ne=abc\r\nf=\r\ng=12abc\r\nh=99999999999\r\ni=+7\r\n"
        "j=0X10\r\nk=\"42\"\r\nl=1.5\r\nm=- 3\r\nn=0b101\r\no=0o17\r\n"
        "p=0012345678901234567890123456789\r\nq=4294967297\r\n");
    // clang-format off
    const std::pair<const char*, int> cases[] = {
        {"a", 1},  {"b", 12}, {"c", -5}, {"d", 16}, {"e", 0},  {"f", 77},          {"g", 12},          {"h", 1215752191},
        {"i", 7},  {"j", 0},  {"k", 42}, {"l", 1},  {"m", 0},  {"n", 5},           {"o", 15},          {"p", 748637063},
        {"q", 1},  {"zz", 77},
    };
    // clang-format on
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(profile_.ReadInt(File(), "S", key, 77), expected) << key;
}

TEST_F(HeadlessProfileTest, WriteFailsWithoutTouchingAnything) {
    auto missing = folder_.Path() / "no folder" / "test.ini";
    EXPECT_FALSE(profile_.WriteString(missing.wstring(), "EXEINI", "NAME", "x"));
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));

    auto folderNamedLikeFile = folder_.Path() / "dir.ini";
    std::filesystem::create_directory(folderNamedLikeFile);
    EXPECT_FALSE(profile_.WriteString(folderNamedLikeFile.wstring(), "EXEINI", "NAME", "x"));
    EXPECT_TRUE(std::filesystem::is_directory(folderNamedLikeFile));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 1);
}

}  // namespace
