// The six settings-file operations on real files: "quillo.ini" in the working directory, the flag and
// account files under the program folder's "★MailData".
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <climits>
#include <filesystem>
#include <string>

#include "platform/Profile_headless.h"
#include "platform/base/CodePage.h"
#include "platform/base/CodePagePieces.h"
#include "settings/SettingsFiles.h"
#include "settings/StoredPassword.h"
#include "tests/support/TempFolder.h"

using settings::SealPassword;
using settings::SettingsFiles;
using settings::SettingsValues;

namespace {

namespace fs = std::filesystem;

class SettingsFilesTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetAnsiCodePage(932); }

    fs::path Program() const { return folders_.Program(); }
    fs::path MailData() const { return folders_.MailData(); }
    fs::path Work() const { return folders_.Work(); }

    ProgramFolders folders_;
    platform::HeadlessProfile profile_;
    SettingsFiles files_{profile_, Program().wstring()};
};

TEST_F(SettingsFilesTest, SavedServerSettingsLoadBackUnchanged) {
    SettingsValues saved;
    saved.SmtpServer = L"smtp.example.jp";
    saved.Pop3Server = L"ポップ3";
    saved.MailAddress = std::wstring(100, L'名');
    saved.UseApop = 1;
    files_.SaveServerSettings(saved);

    const std::string pop = "\x83\x7c\x83\x62\x83\x76\x33";  // "ポップ3"
    std::string name100;
    for (int i = 0; i < 100; ++i)
        name100 += "\x96\xbc";
    EXPECT_EQ(TempFolder::Take(Work() / "quillo.ini"),
              "SMTP=smtp.example.jp\r\nPOP3=" + pop + "\r\nMAIL=" + name100 + "\r\nAPOP=1\r\n");

    SettingsValues loaded;
    files_.LoadServerSettings(loaded);
    EXPECT_EQ(loaded.SmtpServer, saved.SmtpServer);
    EXPECT_EQ(loaded.Pop3Server, saved.Pop3Server);
    EXPECT_EQ(loaded.MailAddress, saved.MailAddress);
    EXPECT_EQ(loaded.UseApop, 1);
}

TEST_F(SettingsFilesTest, ServerSettingsComeOnlyFromAReadableFileInTheWorkingDirectory) {
    SettingsValues values;
    values.Pop3Server = L"kept";
    TempFolder::Put(Program() / "quillo.ini", "POP3=beside the program\r\n");
    files_.LoadServerSettings(values);
    EXPECT_EQ(values.Pop3Server, L"kept");

    fs::create_directory(Work() / "quillo.ini");
    files_.LoadServerSettings(values);
    EXPECT_EQ(values.Pop3Server, L"kept");

    fs::current_path(Program());
    files_.LoadServerSettings(values);
    EXPECT_EQ(values.Pop3Server, L"beside the program");

    // Past 1 MiB the file is not read at all; up to it, it is.
    std::string padded = "POP3=big\r\n" + std::string(1024 * 1024 - 10, ' ');
    TempFolder::Put(Program() / "quillo.ini", padded);
    files_.LoadServerSettings(values);
    EXPECT_EQ(values.Pop3Server, L"big");
    TempFolder::Put(Program() / "quillo.ini", padded + " ");
    values.Pop3Server = L"kept";
    files_.LoadServerSettings(values);
    EXPECT_EQ(values.Pop3Server, L"kept");
}

TEST_F(SettingsFilesTest, FailedSaveLeavesTheEarlierFileWhole) {
    const std::string earlier = "SMTP=a\r\nPOP3=b\r\nMAIL=c\r\nAPOP=0\r\n";
    TempFolder::Put(Work() / "quillo.ini", earlier);
    SettingsValues big;
    big.Pop3Server = std::wstring(8000, L'x');

    // Writing stops after 4 KB, as on a full disk.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    sighandler_t previous = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    files_.SaveServerSettings(big);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);

    EXPECT_EQ(TempFolder::Take(Work() / "quillo.ini"), earlier);
    EXPECT_EQ(std::distance(fs::directory_iterator(Work()), {}), 1);  // no temporary file left behind
}

TEST_F(SettingsFilesTest, AccountValuesRoundTripAndMissingOnesAreEmpty) {
    EXPECT_EQ(files_.ReadAccountValue("NAME"), L"");
    files_.WriteAccountValue("NAME", L"ユーザー 名");
    files_.WriteAccountValue("NAME2", L"pass word");
    files_.WriteAccountValue("NAME3", L"1");
    EXPECT_EQ(files_.ReadAccountValue("NAME"), L"ユーザー 名");
    EXPECT_EQ(files_.ReadAccountValue("NAME2"), L"pass word");
    EXPECT_EQ(files_.ReadAccountValue("NAME3"), L"1");
    EXPECT_EQ(TempFolder::Take(MailData() / "iniIdPass.ini"),
              "[EXEINI]\r\nNAME=\x83\x86\x81\x5b\x83\x55\x81\x5b \x96\xbc\r\nNAME2=pass word\r\nNAME3=1\r\n");
}

TEST_F(SettingsFilesTest, AccountValuesAreCutTo255BytesWithoutSplittingACharacter) {
    std::string a300(300, 'A');
    std::string kana150;  // "あ" 150 times: 300 bytes
    for (int i = 0; i < 150; ++i)
        kana150 += "\x82\xa0";
    TempFolder::Put(MailData() / "iniIdPass.ini",
                    "[EXEINI]\r\nNAME=" + a300 + "\r\nNAME2=" + kana150 + "\r\nNAME3=A" + kana150 + "\r\n");
    EXPECT_EQ(files_.ReadAccountValue("NAME"), std::wstring(255, L'A'));
    EXPECT_EQ(files_.ReadAccountValue("NAME2"), std::wstring(127, L'あ'));
    EXPECT_EQ(files_.ReadAccountValue("NAME3"), L"A" + std::wstring(127, L'あ'));
}

TEST_F(SettingsFilesTest, PasswordIsStoredProtectedWholeAndNeverInName2) {
    TempFolder::Put(MailData() / "iniIdPass.ini", "[EXEINI]\r\nNAME=taro\r\nNAME2=old clear\r\nNAME3=1\r\n");
    // Characters the ANSI code page cannot hold, one outside the BMP, and more than 255 bytes.
    const std::wstring password = L"pä ß€\U0001F600" + std::wstring(300, L'x');
    files_.WriteAccountPassword(password);
    EXPECT_EQ(files_.ReadAccountPassword(), password);
    EXPECT_EQ(files_.ReadAccountValue("NAME2"), L"");
    std::string sealed = SealPassword(password);
    EXPECT_EQ(TempFolder::Take(MailData() / "iniIdPass.ini"),
              "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME3=1\r\nNAME2PROTECTED=" + sealed + "\r\n");
    EXPECT_EQ(sealed.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    // The stored bytes themselves, pinned: base64 of the stand-in's mark and entropy, then UTF-16LE (with a
    // surrogate pair).
    files_.WriteAccountPassword(L"p\u00e4\u20ac\U0001F600");
    EXPECT_EQ(TempFolder::Take(MailData() / "iniIdPass.ini"),
              "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME3=1\r\nNAME2PROTECTED=VU5QUk9URUNURUQtU1RBTkQtSU46Mzc6U29y"
              "YWJ1bmUgaW5pSWRQYXNzLmluaSBOQU1FMlBST1RFQ1RFRHAA5ACsID3YAN4=\r\n");

    files_.WriteAccountPassword(L"");
    EXPECT_EQ(files_.ReadAccountPassword(), L"");
    EXPECT_EQ(TempFolder::Take(MailData() / "iniIdPass.ini"),
              "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME3=1\r\nNAME2PROTECTED=\r\n");
}

TEST_F(SettingsFilesTest, UnreadableProtectedPasswordIsEmptyAndLeftAlone) {
    std::string sealed = SealPassword(L"secret");
    std::string altered = sealed;
    altered[0] = altered[0] == 'A' ? 'B' : 'A';  // the stand-in checks only the start
    for (const std::string& value : {altered, sealed.substr(1), std::string("not base64!"), sealed + "===="}) {
        SCOPED_TRACE(value);
        const std::string file = "[EXEINI]\r\nNAME2=\r\nNAME2PROTECTED=" + value + "\r\n";
        TempFolder::Put(MailData() / "iniIdPass.ini", file);
        EXPECT_EQ(files_.ReadAccountPassword(), L"");
        EXPECT_EQ(TempFolder::Take(MailData() / "iniIdPass.ini"), file);
    }
}

TEST_F(SettingsFilesTest, ClearPasswordIsUsedWholeThenStoredProtected) {
    std::string kana150;  // "あ" 150 times: 300 bytes
    for (int i = 0; i < 150; ++i)
        kana150 += "\x82\xa0";
    TempFolder::Put(MailData() / "iniIdPass.ini", "[EXEINI]\r\nNAME=taro\r\nNAME2=" + kana150 + "\r\nNAME3=1\r\n");
    EXPECT_EQ(files_.ReadAccountPassword(), std::wstring(150, L'あ'));
    EXPECT_EQ(TempFolder::Take(MailData() / "iniIdPass.ini"),
              "[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME3=1\r\nNAME2PROTECTED=" + SealPassword(std::wstring(150, L'あ')) +
                  "\r\n");
    EXPECT_EQ(files_.ReadAccountPassword(), std::wstring(150, L'あ'));

    // A clear value beside a protected one was written after it (by an earlier version): it wins.
    TempFolder::Put(MailData() / "iniIdPass.ini",
                    "[EXEINI]\r\nNAME2=newer\r\nNAME2PROTECTED=" + SealPassword(L"older") + "\r\n");
    EXPECT_EQ(files_.ReadAccountPassword(), L"newer");
    EXPECT_EQ(TempFolder::Take(MailData() / "iniIdPass.ini"),
              "[EXEINI]\r\nNAME2=\r\nNAME2PROTECTED=" + SealPassword(L"newer") + "\r\n");
}

TEST_F(SettingsFilesTest, DisconnectFlagIsAnIntegerAndZeroWhenMissing) {
    EXPECT_EQ(files_.ReadDisconnectFlag(), 0);
    files_.WriteDisconnectFlag(L"1");
    EXPECT_EQ(TempFolder::Take(MailData() / "ini.ini"), "[EXEINI]\r\nNUMBER=1\r\n");
    EXPECT_EQ(files_.ReadDisconnectFlag(), 1);
    files_.WriteDisconnectFlag(L"0");
    EXPECT_EQ(files_.ReadDisconnectFlag(), 0);
    TempFolder::Put(MailData() / "ini.ini", "[exeini]\r\nnumber = 2\r\n");
    EXPECT_EQ(files_.ReadDisconnectFlag(), 2);
}

TEST_F(SettingsFilesTest, WithoutTheMailDataFolderReadsAreEmptyAndWritesAreLost) {
    fs::remove(MailData());
    files_.WriteDisconnectFlag(L"1");
    files_.WriteAccountValue("NAME", L"id");
    EXPECT_FALSE(fs::exists(MailData()));
    EXPECT_EQ(files_.ReadDisconnectFlag(), 0);
    EXPECT_EQ(files_.ReadAccountValue("NAME"), L"");
}

// Texts past 2 GiB convert in pieces; a cut never splits a character (shown with small limits).
TEST(CodePagePieces, CutsBetweenCharacters) {
    EXPECT_EQ(platform::WidePieceLength(L"abc", 4), 3u);
    EXPECT_EQ(platform::WidePieceLength(L"ab\xD83D\xDE00", 3), 2u);
    EXPECT_EQ(platform::WidePieceLength(L"abc\xD83D\xDE00", 3), 3u);
    EXPECT_EQ(platform::AnsiPieceLength("\x82\xa0\x82\xa0", 3), 3u);  // no single-byte character: cut at the limit
    EXPECT_EQ(platform::AnsiPieceLength("a\n\x82\xa0\x82\xa0", 5), 2u);
    EXPECT_EQ(platform::AnsiPieceLength("ab", 5), 2u);
    static_assert(platform::kMaxConversionPiece * 2 < size_t(INT_MAX));
}

}  // namespace
