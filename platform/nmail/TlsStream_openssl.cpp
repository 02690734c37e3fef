// TLS through OpenSSL. Records travel through memory BIOs, so the Stream underneath keeps its deadlines;
// OpenSSL's own verifier checks the chain, the dates, the purpose and the name against our settings.
#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

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

bool IsIpAddress(const std::string& host) {
    unsigned char address[16];
    return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
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
                    return {FromVerifyResult(verified), 0};
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
        if (verified != X509_V_OK || SSL_get0_peer_certificate(ssl_.get()) == nullptr)
            return {FromVerifyResult(verified), 0};
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

    bool Prepare(const TlsSettings& settings) {
        ctx_.reset(SSL_CTX_new(TLS_client_method()));
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
        X509_VERIFY_PARAM* param = SSL_get0_param(ssl_.get());
        X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER);
        if (IsIpAddress(settings.host)) {
            if (X509_VERIFY_PARAM_set1_ip_asc(param, settings.host.c_str()) != 1)
                return false;
        } else {
            X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            if (X509_VERIFY_PARAM_set1_host(param, settings.host.c_str(), settings.host.size()) != 1 ||
                SSL_set_tlsext_host_name(ssl_.get(), settings.host.c_str()) != 1)
                return false;
        }
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
