// Reading and writing the text of the server settings file "quillo.ini".
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/base/CodePage.h"
#include "settings/ServerName.h"
#include "settings/SettingsFiles.h"

using settings::FormatServerSettings;
using settings::ParseApopValue;
using settings::ParseServerSettings;
using settings::Pop3ServerRefusal;
using settings::SettingsValues;

namespace {

SettingsValues ParseBytes(std::string_view bytes, SettingsValues values = {}) {
    ParseServerSettings(bytes, values);
    return values;
}

SettingsValues Parse(std::wstring_view text, SettingsValues values = {}) {
    return ParseBytes(platform::ToAnsi(text), values);
}

TEST(ServerSettingsText, ReadsTheFourKeysInAnyOrderAndTheLaterLineWins) {
    SettingsValues v = Parse(L"MAIL=me@example.jp\r\nPOP3=old\r\nAPOP=1\r\nSMTP=smtp.example.jp\r\nPOP3=pop\r\n");
    EXPECT_EQ(v.SmtpServer, L"smtp.example.jp");
    EXPECT_EQ(v.Pop3Server, L"pop");
    EXPECT_EQ(v.MailAddress, L"me@example.jp");
    EXPECT_EQ(v.UseApop, 1);
}

TEST(ServerSettingsText, KeysMatchOnlyExactlyAndOtherLinesChangeNothing) {
    SettingsValues before;
    before.SmtpServer = L"kept";
    before.UseApop = 1;
    SettingsValues v = Parse(L"smtp=lower\r\n SMTP=blank first\r\nSMTP =space\r\n[SMTP]\r\nSMTP\r\n\r\nPOP3=p", before);
    EXPECT_EQ(v.SmtpServer, L"kept");
    EXPECT_EQ(v.UseApop, 1);  // no "APOP=" line
    EXPECT_EQ(v.Pop3Server, L"p");
}

TEST(ServerSettingsText, ValuesAreTakenUpTo100CharactersButThePop3ServerTrimmedAndWhole) {
    std::wstring longName(150, L'a');
    std::wstring japanese(150, L'あ');
    SettingsValues before;
    before.SmtpServer = L"replaced";
    SettingsValues v =
        Parse(L"SMTP=\r\nPOP3= pop.example.jp \r\nMAIL=" + japanese + L"\r\nPOP3=" + longName + L"\r\n", before);
    EXPECT_EQ(v.SmtpServer, L"");
    EXPECT_EQ(v.MailAddress, japanese.substr(0, 100));
    EXPECT_EQ(v.Pop3Server, longName);  // the check refuses it
    EXPECT_EQ(Parse(L"POP3=\u3000 pop.example.jp \t\r\n").Pop3Server, L"pop.example.jp");
}

TEST(ServerSettingsText, LinesEndAtCrLfCrOrLfAndAreConvertedOneByOne) {
    // A UTF-8 byte-order mark, and a line ending in a lone lead byte ("あ" in UTF-8 ends in 0x82).
    SettingsValues v = ParseBytes("\xEF\xBB\xBFSMTP=a\nPOP3=b\rMAIL=\xE3\x81\x82\r\n\nAPOP=1");
    EXPECT_EQ(v.SmtpServer, L"a");
    EXPECT_EQ(v.Pop3Server, L"b");
    EXPECT_EQ(v.UseApop, 1);
}

TEST(ServerSettingsText, Pop3ServersThatCanNeverNameAServerAreRefusedWithTheValueAndWhy) {
    const std::wstring accepted[] = {L"POP3S://pop.example.jp:995/", L"[2001:db8::1]:110", L"fe80::1%1",
                                     std::wstring(100, L'a')};
    for (const std::wstring& ok : accepted)
        EXPECT_EQ(Pop3ServerRefusal(ok), std::nullopt) << testing::PrintToString(ok);
    const std::pair<std::wstring, const wchar_t*> refused[] = {
        {L"\"pop.example.jp\"", L"引用符"}, {L"taro@pop.example.jp", L"「@」"}, {L"host:110:995", L"「:」"},
        {L"pop3s://h:1:2", L"「:」"},       {L"pop\u3000jp", L"空白"},          {std::wstring(101, L'a'), L"101 文字"},
    };
    for (const auto& [value, why] : refused) {
        std::wstring text = Pop3ServerRefusal(value).value_or(L"");
        EXPECT_NE(text.find(L"「" + value.substr(0, 100) + (value.size() > 100 ? L"…」" : L"」")), std::wstring::npos);
        EXPECT_NE(text.find(why), std::wstring::npos) << testing::PrintToString(text);
    }
}

TEST(ServerSettingsText, ApopTakesTheNumberAtTheStartRoundedHalfToEvenAndHeldInRange) {
    // clang-format off
    const std::pair<const wchar_t*, int> cases[] = {
        {L"1", 1},        {L"0", 0},          {L"", 0},          {L"abc", 0},        {L"0.5", 0},    {L"1.5", 2},
        {L"2.5", 2},      {L"-1.5", -2},      {L".5", 0},        {L"3.", 3},         {L"  7 ", 7},   {L"+4", 4},
        {L"-3", -3},      {L"12abc", 12},     {L"1.6.7", 2},     {L"-", 0},          {L"- 1", 0},    {L"1e3", 1},
        {L"32767", 32767}, {L"32767.6", 32767}, {L"99999", 32767}, {L"-99999", -32768}, {L"-32768.4", -32768},
    };
    // clang-format on
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseApopValue(text), expected) << testing::PrintToString(std::wstring(text));
    EXPECT_EQ(ParseApopValue(L"1" + std::wstring(400, L'0')), 32767);
    EXPECT_EQ(ParseApopValue(L"-1" + std::wstring(400, L'0')), -32768);
    EXPECT_EQ(ParseApopValue(L"0." + std::wstring(400, L'0') + L"1"), 0);
}

TEST(ServerSettingsText, WritesExactlyFourCrLfLines) {
    SettingsValues v;
    v.SmtpServer = L"smtp.example.jp";
    v.Pop3Server = L" pop ";
    v.MailAddress = L"";
    v.UseApop = 1;
    EXPECT_EQ(FormatServerSettings(v), L"SMTP=smtp.example.jp\r\nPOP3= pop \r\nMAIL=\r\nAPOP=1\r\n");
    v.UseApop = -5;
    EXPECT_EQ(Parse(FormatServerSettings(v)).UseApop, -5);
}

}  // namespace
