// TLS through OpenSSL, as the engine of TlsEngine.cpp's stream: the native build runs the record layer that
// ships with SChannel. OpenSSL's own verifier checks the chain, the dates and the purpose after the handshake,
// and the names are matched by the rules both engines share (CertificateName.h).
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <vector>

#include "platform/base/Utf8.h"
#include "platform/nmail/CertificateName.h"
#include "platform/nmail/TlsEngine.h"

namespace nmail {
namespace {

struct CtxFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct StoreCtxFree {
    void operator()(X509_STORE_CTX* check) const { X509_STORE_CTX_free(check); }
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
    return platform::FromUtf8(text, L'?');
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

// Everything OpenSSL reads or writes, or nothing.
std::vector<char> Drain(BIO* bio) {
    std::vector<char> bytes(BIO_ctrl_pending(bio));
    if (!bytes.empty() && BIO_read(bio, bytes.data(), int(bytes.size())) != int(bytes.size()))
        bytes.clear();
    return bytes;
}

// OpenSSL as a record engine over memory BIOs. Each call hands OpenSSL the bytes held so far and takes back
// what it left unread, so between calls the input BIO is empty and the stream holds every byte not yet used,
// as with SChannel. OpenSSL answers what needs answering (a KeyUpdate, a refused renegotiation) itself; the
// answer goes out as the step's token.
class OpenSslEngine final : public TlsEngine {
public:
    unsigned long Begin(const std::string& host) override {
        ctx_.reset(SSL_CTX_new(TLS_client_method()));
        if (!ctx_ || SSL_CTX_set_min_proto_version(ctx_.get(), TLS1_2_VERSION) != 1 ||
            SSL_CTX_set_default_verify_paths(ctx_.get()) != 1)
            return LastError();
        // A TLS 1.2 renegotiation would bring a certificate nobody checks; the server is told no.
        SSL_CTX_set_options(ctx_.get(), SSL_OP_NO_RENEGOTIATION);
        // As with SChannel, the certificate is left to Check(), once the extra root is known.
        SSL_CTX_set_verify(ctx_.get(), SSL_VERIFY_NONE, nullptr);
        ssl_.reset(SSL_new(ctx_.get()));
        BIO* in = BIO_new(BIO_s_mem());
        BIO* out = BIO_new(BIO_s_mem());
        if (!ssl_ || in == nullptr || out == nullptr) {
            BIO_free(in);
            BIO_free(out);
            return LastError();
        }
        BIO_set_mem_eof_return(in, -1);  // An empty input means "wait for more", not the end.
        SSL_set_bio(ssl_.get(), in, out);
        in_ = in;
        out_ = out;
        const std::string sni = ServerNameIndication(host);
        if (!sni.empty() && SSL_set_tlsext_host_name(ssl_.get(), sni.c_str()) != 1)
            return LastError();
        SSL_set_connect_state(ssl_.get());
        return 0;
    }

    EngineStep Handshake(std::span<const char> input) override {
        ERR_clear_error();
        if (!Feed(input))
            return Finish(EngineStatus::Failed);
        int r = SSL_do_handshake(ssl_.get());
        if (r == 1)
            return Finish(EngineStatus::Ok);
        // All the input was taken: the stream reads on even when OpenSSL has nothing to say.
        bool more = SSL_get_error(ssl_.get(), r) == SSL_ERROR_WANT_READ;
        return Finish(more ? EngineStatus::ContinueNeeded : EngineStatus::Failed);
    }

    EngineStep Decrypt(std::span<char> input) override {
        ERR_clear_error();
        if (!Feed(input))
            return Finish(EngineStatus::Failed);
        std::vector<char> data(kMaxPlain);
        size_t got = 0;
        EngineStatus status = EngineStatus::Ok;  // Also for a record that held no data, or half a record.
        if (SSL_read_ex(ssl_.get(), data.data(), data.size(), &got) != 1) {
            int error = SSL_get_error(ssl_.get(), 0);
            if (error == SSL_ERROR_ZERO_RETURN)
                status = EngineStatus::ContextExpired;
            else if (error != SSL_ERROR_WANT_READ)
                status = EngineStatus::Failed;
        }
        data.resize(got);
        EngineStep step = Finish(status);
        step.data = std::move(data);
        return step;
    }

    bool Encrypt(std::span<const char> data, std::vector<char>& record) override {
        size_t written = 0;
        if (SSL_write_ex(ssl_.get(), data.data(), data.size(), &written) != 1)
            return false;
        record = Drain(out_);  // After any answer still waiting, such as our KeyUpdate.
        return true;
    }

    size_t MaxMessage() override { return SSL_is_init_finished(ssl_.get()) ? kMaxPlain : 0; }

    TlsError Check(const TlsSettings& settings, Deadline) override {
        if (SSL_version(ssl_.get()) < TLS1_2_VERSION)
            return {TlsFailure::OldProtocol, 0};
        if (!settings.extraRootFile.empty() &&
            SSL_CTX_load_verify_locations(ctx_.get(), settings.extraRootFile.c_str(), nullptr) != 1)
            return {TlsFailure::Handshake, LastError()};
        X509* cert = SSL_get0_peer_certificate(ssl_.get());
        long verified = cert == nullptr ? X509_V_ERR_UNSPECIFIED : Verify(cert);
        if (verified != X509_V_OK)
            return Refused(verified);
        return CheckNames(NamesOf(cert), settings.host);
    }

    bool Tls13() override { return SSL_version(ssl_.get()) == TLS1_3_VERSION; }

    std::vector<char> CloseNotify() override {
        if (SSL_shutdown(ssl_.get()) < 0)
            return {};
        return Drain(out_);
    }

private:
    static constexpr size_t kMaxPlain = SSL3_RT_MAX_PLAIN_LENGTH;

    static unsigned long LastError() { return std::max(ERR_peek_last_error(), 1ul); }

    bool Feed(std::span<const char> input) {
        return input.empty() || BIO_write(in_, input.data(), int(input.size())) == int(input.size());
    }

    // The step with what OpenSSL wrote for the server, and the bytes it left unread handed back.
    EngineStep Finish(EngineStatus status) {
        EngineStep step;
        step.status = status;
        step.code = status == EngineStatus::Failed ? LastError() : 0;
        step.token = Drain(out_);
        step.extra = Drain(in_).size();
        return step;
    }

    // The chain the server sent, checked as OpenSSL checks a server's during the handshake.
    long Verify(X509* cert) {
        std::unique_ptr<X509_STORE_CTX, StoreCtxFree> check(X509_STORE_CTX_new());
        if (!check || X509_STORE_CTX_init(check.get(), SSL_CTX_get_cert_store(ctx_.get()), cert,
                                          SSL_get_peer_cert_chain(ssl_.get())) != 1)
            return X509_V_ERR_UNSPECIFIED;
        X509_STORE_CTX_set_default(check.get(), "ssl_server");
        return X509_verify_cert(check.get()) == 1 ? X509_V_OK : X509_STORE_CTX_get_error(check.get());
    }

    TlsError Refused(long verified) {
        TlsFailure failure = FromVerifyResult(verified);
        return {failure, 0, failure == TlsFailure::Untrusted ? TopIssuer(ssl_.get()) : std::wstring()};
    }

    std::unique_ptr<SSL_CTX, CtxFree> ctx_;
    std::unique_ptr<SSL, SslFree> ssl_;
    BIO* in_ = nullptr;   // Owned by ssl_.
    BIO* out_ = nullptr;  // Owned by ssl_.
};

}  // namespace

std::unique_ptr<TlsStream> TlsStream::Wrap(std::unique_ptr<Stream> inner) {
    return MakeEngineStream(std::move(inner), std::make_unique<OpenSslEngine>());
}

}  // namespace nmail
