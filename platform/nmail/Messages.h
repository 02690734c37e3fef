// The library's failure texts, in Japanese, and how a server's reply is attached to them.
#pragma once

#include <string>
#include <string_view>

namespace nmail::text {

inline constexpr std::wstring_view kNoError = L"エラーはありません。";
inline constexpr std::wstring_view kNetworkStartFailed = L"ネットワーク機能 (Winsock) を初期化できませんでした。";
inline constexpr std::wstring_view kBadServerName = L"POP3 サーバー名が正しくありません。";
inline constexpr std::wstring_view kResolveFailed = L"POP3 サーバーのアドレスが見つかりませんでした。";
inline constexpr std::wstring_view kConnectFailed = L"POP3 サーバーに接続できませんでした。";
inline constexpr std::wstring_view kConnectTimedOut = L"POP3 サーバーへの接続が時間内に終わりませんでした。";
inline constexpr std::wstring_view kNoHelperThread =
    L"POP3 サーバーのアドレスを調べる処理を始められませんでした (スレッドを作れません)。";
inline constexpr std::wstring_view kTooManyConnections = L"同時に開ける接続の数を超えました。";
inline constexpr std::wstring_view kGreetingRefused = L"POP3 サーバーが接続を受け付けませんでした。";
inline constexpr std::wstring_view kBadHandle = L"接続ハンドルが正しくありません。";
inline constexpr std::wstring_view kConnectionDead = L"サーバーとの接続がすでに切れているため、処理できませんでした。";
inline constexpr std::wstring_view kBadCredentials =
    L"ユーザー ID またはパスワードに改行などの使えない文字が含まれているため、ログインしませんでした。";
inline constexpr std::wstring_view kNoApopTimestamp =
    L"サーバーが APOP に対応していないため (挨拶にタイムスタンプがありません)、ログインしませんでした。";
inline constexpr std::wstring_view kAlreadyLoggedIn = L"すでにログインしています。";
inline constexpr std::wstring_view kNotLoggedIn = L"まだログインしていません。";
inline constexpr std::wstring_view kLoginFailed = L"ログインできませんでした。";
inline constexpr std::wstring_view kStatFailed = L"メールの件数を取得できませんでした。";
inline constexpr std::wstring_view kBadMessageNumber = L"メール番号が正しくありません。";
inline constexpr std::wstring_view kTimedOut = L"サーバーの応答が時間内に届きませんでした。接続を切りました。";
inline constexpr std::wstring_view kDisconnected = L"サーバーとの接続が切れました。";
inline constexpr std::wstring_view kNetworkError = L"サーバーとの通信でエラーが起きました。接続を切りました。";
inline constexpr std::wstring_view kLineTooLong = L"サーバーの応答の行が長すぎます。接続を切りました。";
inline constexpr std::wstring_view kReplyTooLong = L"サーバーの応答が長すぎます。接続を切りました。";
inline constexpr std::wstring_view kReplyTooSlow = L"サーバーの応答が時間内に終わりませんでした。接続を切りました。";
inline constexpr std::wstring_view kMessagesTooLong =
    L"ログインから 5 分のうちにメールを読み終わらなかったため、接続を切りました。";
inline constexpr std::wstring_view kUnexpectedReply = L"サーバーから思いがけない応答がありました。接続を切りました。";

// Encrypted connections.
inline constexpr std::wstring_view kStlsRefused =
    L"サーバーが STLS (暗号化通信の開始) を受け付けなかったため、ログインせずに接続を切りました。";
inline constexpr std::wstring_view kTlsNotTls =
    L"このポートのサーバーは TLS (暗号化通信) を使っていません。POP3 サーバーの設定のポート番号を確かめてください。";
inline constexpr std::wstring_view kTlsTimedOut = L"TLS (暗号化通信) の準備が時間内に終わりませんでした。";
inline constexpr std::wstring_view kTlsClosed = L"TLS (暗号化通信) の準備中にサーバーが接続を切りました。";
inline constexpr std::wstring_view kTlsHandshakeFailed = L"TLS (暗号化通信) の準備に失敗しました。エラー コード: ";
inline constexpr std::wstring_view kTlsOldProtocol = L"サーバーが TLS 1.2 以降に対応していないため、接続を切りました。";
inline constexpr std::wstring_view kTlsUntrusted =
    L"サーバーの証明書の発行者が信頼されていないため、接続を切りました。";
inline constexpr std::wstring_view kTlsNameMismatch =
    L"サーバーの証明書の名前が POP3 サーバー名と一致しないため、接続を切りました。";
inline constexpr std::wstring_view kTlsExpired =
    L"サーバーの証明書の有効期限が切れている (または、まだ有効になっていない) ため、接続を切りました。";
inline constexpr std::wstring_view kTlsNotForServer =
    L"サーバーの証明書がサーバー用のものではないため、接続を切りました。";
inline constexpr std::wstring_view kTlsNewOnly =
    L"サーバーは TLS 1.3 にだけ対応していて、このシステムの TLS (1.2 まで) では接続できないため、接続を切りました。";
inline constexpr std::wstring_view kTlsNewOnlyLikely =
    L"TLS (暗号化通信) の準備中に、サーバーが何も返さずに接続を切りました。このシステムの TLS は 1.2 までのため、"
    L"サーバーが TLS 1.3 にだけ対応していると考えられます。";
// What follows some of the texts above, each on a line of its own: what the certificate holds, and the
// ways out, around the setting that would work ("pop3://host").
inline constexpr std::wstring_view kTlsCertificateNames = L"証明書にある名前: ";
inline constexpr std::wstring_view kTlsNoCertificateNames =
    L"この証明書には、サーバー名を示す欄 (subjectAltName) に名前がありません。";
inline constexpr std::wstring_view kTlsUnreadableNames =
    L"この証明書の、サーバー名を示す欄 (subjectAltName) を読み取れませんでした。";
inline constexpr std::wstring_view kTlsIssuer = L"発行者: ";
inline constexpr std::wstring_view kTlsUseNameOrClearText =
    L"POP3 サーバーの設定を証明書にある名前にするか、暗号化しない接続でよければ「";
inline constexpr std::wstring_view kTlsUseClearText = L"暗号化しない接続でよければ、POP3 サーバーの設定を「";
inline constexpr std::wstring_view kTlsWayOutEnd = L"」にしてください。";

// "メール 3 番の" + what: the texts of the per-message commands.
inline constexpr std::wstring_view kSizeFailed = L"のサイズを取得できませんでした。";
inline constexpr std::wstring_view kHeaderFailed = L"のヘッダーを取得できませんでした。";
inline constexpr std::wstring_view kFetchFailed = L"を受信できませんでした。";

// The text followed by "サーバーの応答: " and the reply, its control bytes made visible as '?' and cut at
// a sane length. An empty reply adds nothing. The reply is read as UTF-8 when it is valid UTF-8 (ASCII
// included), else in the ANSI code page, the one a server of the user's own language would speak.
std::wstring WithReply(std::wstring_view text, std::string_view reply);

// "メール n 番" + what, with the reply as above.
std::wstring ForMessage(int number, std::wstring_view what, std::string_view reply);

}  // namespace nmail::text
