// TLS through OpenSSL. Records travel through memory BIOs, so the Stream underneath keeps its deadlines;
// OpenSSL's own verifier checks the chain, the dates and the purpose, and the names are matched by the
// rules both backends share (CertificateName.h).
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "platform/nmail/CertificateName.h"
#include "platform/nmail/TlsStream.h"

namespace nmail {
namespace {

constexpr size_t kChunk = 17 * 1024;  // One full record and its overhead.

struct CtxFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

CertificateNames NamesOf(X509* cert) {
    CertificateNames names;
    int found = -1;  // -1 when there is none, -2 when there are several.
    auto* entries = static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, &found, nullptr));
    names.unreadable = entries == nullptr && found != -1;
    for (int i = 0; i < sk_GENERAL_NAME_num(entries); ++i) {
        const GENERAL_NAME* entry = sk_GENERAL_NAME_value(entries, i);
        if (entry->type == GEN_DNS || entry->type == GEN_IPADD) {
            const ASN1_STRING* value = entry->type == GEN_DNS ? entry->d.dNSName : entry->d.iPAddress;
            std::string bytes(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)), ASN1_STRING_length(value));
            (entry->type == GEN_DNS ? names.dns : names.ips).push_back(std::move(bytes));
        }
    }
    GENERAL_NAMES_free(entries);
    return names;
}

// UTF-8 as wide text; a broken sequence gives '?'.
std::wstring FromUtf8(const std::string& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t more = lead < 0x80 ? 0 : lead >= 0xf0 ? 3 : lead >= 0xe0 ? 2 : lead >= 0xc0 ? 1 : 4;
        wchar_t c = more == 0 ? lead : lead & (0x3f >> more);
        if (more > 3 || i + more >= text.size()) {
            out += L'?';
            ++i;
            continue;
        }
        for (size_t k = 1; k <= more; ++k)
            c = wchar_t(c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3f));
        out += c;
        i += more + 1;
    }
    return out;
}

// The common name (or else the whole name) of the issuer of the last certificate the server sent: the
// issuer nobody vouched for.
std::wstring TopIssuer(SSL* ssl) {
    STACK_OF(X509)* sent = SSL_get_peer_cert_chain(ssl);
    if (sk_X509_num(sent) == 0)
        return {};
    X509_NAME* issuer = X509_get_issuer_name(sk_X509_value(sent, sk_X509_num(sent) - 1));
    int at = X509_NAME_get_index_by_NID(issuer, NID_commonName, -1);
    unsigned char* utf8 = nullptr;
    int n = at < 0 ? -1 : ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(issuer, at)));
    std::string text = n >= 0 ? std::string(reinterpret_cast<char*>(utf8), size_t(n)) : std::string();
    OPENSSL_free(utf8);
    if (text.empty()) {
        char line[256];
        text = X509_NAME_oneline(issuer, line, sizeof line);
    }
    return FromUtf8(text);
}

// A handshake that failed for want of a common version; natively that is always a server too old for us.
bool IsVersionFailure(unsigned long error) {
    int reason = ERR_GET_REASON(error);
    return ERR_GET_LIB(error) == ERR_LIB_SSL &&
           (reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION || reason == SSL_R_UNSUPPORTED_PROTOCOL ||
            reason == SSL_R_VERSION_TOO_LOW || reason == SSL_R_WRONG_SSL_VERSION);
}

TlsFailure FromVerifyResult(long result) {
    switch (result) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_CERT_NOT_YET_VALID: return TlsFailure::Expired;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH: return TlsFailure::NameMismatch;
        case X509_V_ERR_INVALID_PURPOSE: return TlsFailure::NotForServer;
        default: return TlsFailure::Untrusted;
    }
}

class OpenSslStream final : public TlsStream {
public:
    explicit OpenSslStream(std::unique_ptr<Stream> inner) : inner_(std::move(inner)) {}

    ~OpenSslStream() override {
        // A polite close_notify, sent only when it can go at once.
        if (state_ == State::Secure && SSL_shutdown(ssl_.get()) >= 0)
            Flush(Clock::now());
    }

    TlsError Handshake(const TlsSettings& settings, Deadline deadline) override {
        state_ = State::Broken;
        if (!Prepare(settings))
            return {TlsFailure::Handshake, ERR_peek_last_error()};
        for (;;) {
            ERR_clear_error();
            int r = SSL_do_handshake(ssl_.get());
            IoResult sent = Flush(deadline);
            if (r == 1)
                break;
            if (SSL_get_error(ssl_.get(), r) != SSL_ERROR_WANT_READ) {
                long verified = SSL_get_verify_result(ssl_.get());
                if (verified != X509_V_OK)
                    return Refused(verified);
                if (IsVersionFailure(ERR_peek_last_error()))
                    return {TlsFailure::OldProtocol, ERR_peek_last_error()};
                return {TlsFailure::Handshake, ERR_peek_last_error()};
            }
            if (sent != IoResult::Ok)
                return {HandshakeFailureOf(sent), 0};
            IoResult got = Pull(deadline);
            if (notTls_)
                return {TlsFailure::NotTls, 0};
            if (got != IoResult::Ok)
                return {HandshakeFailureOf(got), 0};
        }
        if (SSL_version(ssl_.get()) < TLS1_2_VERSION)
            return {TlsFailure::OldProtocol, 0};
        long verified = SSL_get_verify_result(ssl_.get());
        X509* cert = SSL_get0_peer_certificate(ssl_.get());
        if (verified != X509_V_OK || cert == nullptr)
            return Refused(verified);
        if (TlsError names = CheckNames(NamesOf(cert), settings.host); names.failure != TlsFailure::None)
            return names;
        state_ = State::Secure;
        return {};
    }

    IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) override {
        if (state_ == State::Plain)
            return inner_->Read(buffer, capacity, got, deadline);
        if (state_ == State::Broken)
            return IoResult::Failed;
        for (;;) {
            if (SSL_read_ex(ssl_.get(), buffer, capacity, &got) == 1) {
                // A key update the server asked for is answered right away.
                return Flush(deadline) == IoResult::Ok ? IoResult::Ok : IoResult::Failed;
            }
            int error = SSL_get_error(ssl_.get(), 0);
            if (error == SSL_ERROR_ZERO_RETURN)
                return IoResult::Closed;
            if (error != SSL_ERROR_WANT_READ)
                return IoResult::Failed;
            IoResult r = Flush(deadline);
            if (r == IoResult::Ok)
                r = Pull(deadline);
            if (r != IoResult::Ok)
                return r;
        }
    }

    IoResult WriteAll(const char* data, size_t size, Deadline deadline) override {
        if (state_ == State::Plain)
            return inner_->WriteAll(data, size, deadline);
        if (state_ == State::Broken)
            return IoResult::Failed;
        size_t written = 0;
        if (size > 0 && SSL_write_ex(ssl_.get(), data, size, &written) != 1)
            return IoResult::Failed;
        return Flush(deadline);
    }

private:
    enum class State { Plain, Secure, Broken };

    TlsError Refused(long verified) {
        TlsFailure failure = FromVerifyResult(verified);
        return {failure, 0, failure == TlsFailure::Untrusted ? TopIssuer(ssl_.get()) : std::wstring()};
    }

    bool Prepare(const TlsSettings& settings) {
        ctx_.reset(SSL_CTX_new(TLS_client_method()));
        // A TLS 1.2 renegotiation would bring a certificate nobody checks; the server is told no.
        if (ctx_)
            SSL_CTX_set_options(ctx_.get(), SSL_OP_NO_RENEGOTIATION);
        if (!ctx_ || SSL_CTX_set_min_proto_version(ctx_.get(), TLS1_2_VERSION) != 1 ||
            SSL_CTX_set_default_verify_paths(ctx_.get()) != 1)
            return false;
        if (!settings.extraRootFile.empty() &&
            SSL_CTX_load_verify_locations(ctx_.get(), settings.extraRootFile.c_str(), nullptr) != 1)
            return false;
        SSL_CTX_set_verify(ctx_.get(), SSL_VERIFY_PEER, nullptr);
        ssl_.reset(SSL_new(ctx_.get()));
        BIO* in = BIO_new(BIO_s_mem());
        BIO* out = BIO_new(BIO_s_mem());
        if (!ssl_ || in == nullptr || out == nullptr) {
            BIO_free(in);
            BIO_free(out);
            return false;
        }
        BIO_set_mem_eof_return(in, -1);  // An empty input means "wait for more", not the end.
        SSL_set_bio(ssl_.get(), in, out);
        in_ = in;
        out_ = out;
        X509_VERIFY_PARAM_set_purpose(SSL_get0_param(ssl_.get()), X509_PURPOSE_SSL_SERVER);
        const std::string sni = ServerNameIndication(settings.host);
        if (!sni.empty() && SSL_set_tlsext_host_name(ssl_.get(), sni.c_str()) != 1)
            return false;
        SSL_set_connect_state(ssl_.get());
        return true;
    }

    // Sends whatever OpenSSL has written.
    IoResult Flush(Deadline deadline) {
        char chunk[kChunk];
        while (BIO_ctrl_pending(out_) > 0) {
            int n = BIO_read(out_, chunk, sizeof chunk);
            if (n <= 0)
                return IoResult::Failed;
            IoResult r = inner_->WriteAll(chunk, size_t(n), deadline);
            if (r != IoResult::Ok)
                return r;
        }
        return IoResult::Ok;
    }

    // Hands OpenSSL the next bytes from the server.
    IoResult Pull(Deadline deadline) {
        char chunk[kChunk];
        size_t got = 0;
        IoResult r = inner_->Read(chunk, sizeof chunk, got, deadline);
        if (r != IoResult::Ok)
            return r;
        if (!sawFirstByte_) {
            sawFirstByte_ = true;
            notTls_ = !IsTlsRecordType(static_cast<unsigned char>(chunk[0]));
            if (notTls_)
                return IoResult::Failed;
        }
        return BIO_write(in_, chunk, int(got)) == int(got) ? IoResult::Ok : IoResult::Failed;
    }

    std::unique_ptr<Stream> inner_;
    std::unique_ptr<SSL_CTX, CtxFree> ctx_;
    std::unique_ptr<SSL, SslFree> ssl_;
    BIO* in_ = nullptr;   // Owned by ssl_.
    BIO* out_ = nullptr;  // Owned by ssl_.
    State state_ = State::Plain;
    bool sawFirstByte_ = false;
    bool notTls_ = false;
};

}  // namespace

std::unique_ptr<TlsStream> TlsStream::Wrap(std::unique_ptr<Stream> inner) {
    return std::make_unique<OpenSslStream>(std::move(inner));
}

}  // namespace nmail
