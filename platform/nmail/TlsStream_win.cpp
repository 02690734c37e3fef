// TLS through SChannel (secur32). SChannel only frames and encrypts: it is told to leave the certificate
// alone, the negotiated version is checked after the handshake (Wine ignores the disabled protocols), and
// post-handshake messages (TLS 1.3 session tickets, a renegotiation) go back through the handshake call.
// Brings in Winsock, windows.h and SSPI in the order they need.
#include "platform/nmail/CertificateCheck_win.h"

// UNICODE_STRING, which the newer credential structure uses, comes first.
#include <subauth.h>

#include <schannel.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/nmail/TlsStream.h"

namespace nmail {
namespace {

// Room for two whole records with their overhead: SChannel takes one record at a time.
constexpr size_t kIncomingCapacity = 2 * (16384 + 2048 + 5);

constexpr DWORD kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                           ISC_REQ_USE_SUPPLIED_CREDS;

bool IsRecordType(unsigned char byte) {
    return byte >= 0x14 && byte <= 0x18;
}

class Credentials {
public:
    Credentials() = default;
    Credentials(const Credentials&) = delete;
    Credentials& operator=(const Credentials&) = delete;
    ~Credentials() {
        if (valid_)
            FreeCredentialsHandle(&handle_);
    }

    // TLS 1.2 and 1.3, no validation by SChannel, no client certificate.
    SECURITY_STATUS Acquire() {
        constexpr DWORD kFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
        TLS_PARAMETERS tls{};
        tls.grbitDisabledProtocols =
            SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
        SCH_CREDENTIALS modern{};
        modern.dwVersion = SCH_CREDENTIALS_VERSION;
        modern.dwFlags = kFlags;
        modern.cTlsParameters = 1;
        modern.pTlsParameters = &tls;
        SECURITY_STATUS status = AcquireWith(&modern);
        if (status == SEC_E_OK)
            return status;
        // Windows before 10 version 1809 knows only the older structure, and TLS 1.2 at most.
        SCHANNEL_CRED older{};
        older.dwVersion = SCHANNEL_CRED_VERSION;
        older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        older.dwFlags = kFlags;
        return AcquireWith(&older);
    }

    CredHandle* get() { return &handle_; }

private:
    SECURITY_STATUS AcquireWith(void* data) {
        wchar_t package[] = UNISP_NAME_W;
        SECURITY_STATUS status = AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, data,
                                                           nullptr, nullptr, &handle_, nullptr);
        valid_ = status == SEC_E_OK;
        return status;
    }

    CredHandle handle_{};
    bool valid_ = false;
};

class Context {
public:
    Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ~Context() {
        if (valid_)
            DeleteSecurityContext(&handle_);
    }
    CtxtHandle* get() { return valid_ ? &handle_ : nullptr; }
    // Where the first handshake call puts the new context; Created() once it succeeded.
    CtxtHandle* target() { return &handle_; }
    void Created() { valid_ = true; }

private:
    CtxtHandle handle_{};
    bool valid_ = false;
};

// An output token SChannel allocated.
struct OutToken {
    OutToken() : buffer{0, SECBUFFER_TOKEN, nullptr}, desc{SECBUFFER_VERSION, 1, &buffer} {}
    OutToken(const OutToken&) = delete;
    OutToken& operator=(const OutToken&) = delete;
    ~OutToken() {
        if (buffer.pvBuffer != nullptr)
            FreeContextBuffer(buffer.pvBuffer);
    }
    SecBuffer buffer;
    SecBufferDesc desc;
};

TlsFailure FromIo(IoResult r) {
    switch (r) {
        case IoResult::TimedOut: return TlsFailure::TimedOut;
        case IoResult::Closed: return TlsFailure::Closed;
        case IoResult::Ok:
        case IoResult::Failed: break;
    }
    return TlsFailure::Handshake;
}

class SchannelStream final : public TlsStream {
public:
    explicit SchannelStream(std::unique_ptr<Stream> inner) : inner_(std::move(inner)), incoming_(kIncomingCapacity) {}

    ~SchannelStream() override {
        if (state_ == State::Secure)
            SendCloseNotify();
    }

    TlsError Handshake(const TlsSettings& settings, Deadline deadline) override {
        state_ = State::Broken;
        int n = MultiByteToWideChar(CP_ACP, 0, settings.host.data(), int(settings.host.size()), nullptr, 0);
        host_.assign(size_t(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, settings.host.data(), int(settings.host.size()), host_.data(), n);
        SECURITY_STATUS status = credentials_.Acquire();
        if (status != SEC_E_OK)
            return {TlsFailure::Handshake, static_cast<unsigned long>(status)};
        TlsError error = Negotiate(deadline);
        if (error.failure != TlsFailure::None)
            return error;
        SecPkgContext_ConnectionInfo info{};
        status = QueryContextAttributesW(context_.get(), SECPKG_ATTR_CONNECTION_INFO, &info);
        if (status != SEC_E_OK)
            return {TlsFailure::Handshake, static_cast<unsigned long>(status)};
        if ((info.dwProtocol & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) == 0)
            return {TlsFailure::OldProtocol, info.dwProtocol};
        error = CheckServerCertificate(*context_.get(), settings);
        if (error.failure != TlsFailure::None)
            return error;
        if (!QuerySizes())
            return {TlsFailure::Handshake, 0};
        state_ = State::Secure;
        return {};
    }

    IoResult Read(char* buffer, size_t capacity, size_t& got, Deadline deadline) override {
        if (state_ == State::Plain)
            return inner_->Read(buffer, capacity, got, deadline);
        for (;;) {
            if (state_ == State::Broken)
                return IoResult::Failed;
            if (plainBegin_ < plain_.size()) {
                got = std::min(capacity, plain_.size() - plainBegin_);
                std::memcpy(buffer, plain_.data() + plainBegin_, got);
                plainBegin_ += got;
                return IoResult::Ok;
            }
            if (closed_)
                return IoResult::Closed;
            if (used_ > 0 && Decrypt(deadline))
                continue;
            if (state_ == State::Broken)
                return IoResult::Failed;
            IoResult r = ReadMore(deadline);
            if (r != IoResult::Ok)
                return r;
        }
    }

    IoResult WriteAll(const char* data, size_t size, Deadline deadline) override {
        if (state_ == State::Plain)
            return inner_->WriteAll(data, size, deadline);
        if (state_ == State::Broken)
            return IoResult::Failed;
        while (size > 0) {
            size_t n = std::min<size_t>(size, sizes_.cbMaximumMessage);
            std::vector<char> record(sizes_.cbHeader + n + sizes_.cbTrailer);
            std::memcpy(record.data() + sizes_.cbHeader, data, n);
            SecBuffer parts[4] = {
                {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                {ULONG(n), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + n},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
            if (EncryptMessage(context_.get(), 0, &desc, 0) != SEC_E_OK)
                return IoResult::Failed;
            IoResult r =
                inner_->WriteAll(record.data(), parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer, deadline);
            if (r != IoResult::Ok)
                return r;
            data += n;
            size -= n;
        }
        return IoResult::Ok;
    }

private:
    enum class State { Plain, Secure, Broken };

    // The handshake calls, from the first ClientHello (no context yet) or, with a context, from the
    // bytes already held: a renegotiation or a post-handshake message.
    TlsError Negotiate(Deadline deadline) {
        bool first = context_.get() == nullptr;
        bool needMore = false;
        for (;;) {
            if (needMore) {
                IoResult r = ReadMore(deadline);
                if (notTls_)
                    return {TlsFailure::NotTls, 0};
                if (r != IoResult::Ok)
                    return {FromIo(r), 0};
            }
            SecBuffer in[2] = {{ULONG(used_), SECBUFFER_TOKEN, incoming_.data()}, {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
            OutToken out;
            ULONG attributes = 0;
            SECURITY_STATUS status = InitializeSecurityContextW(
                credentials_.get(), context_.get(), host_.data(), kRequest, 0, 0, first ? nullptr : &inDesc, 0,
                first ? context_.target() : nullptr, &out.desc, &attributes, nullptr);
            if (first && !FAILED(status))
                context_.Created();
            if (first && FAILED(status))
                return {TlsFailure::Handshake, static_cast<unsigned long>(status)};
            first = false;
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                needMore = true;
                continue;
            }
            // Also after a failure: it may be the alert that tells the server why.
            if (out.buffer.cbBuffer > 0 && out.buffer.pvBuffer != nullptr) {
                IoResult r = inner_->WriteAll(static_cast<char*>(out.buffer.pvBuffer), out.buffer.cbBuffer, deadline);
                if (r != IoResult::Ok && status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
                    return {TlsFailure::Handshake, static_cast<unsigned long>(status)};
                if (r != IoResult::Ok)
                    return {FromIo(r), 0};
            }
            if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
                return {TlsFailure::Handshake, static_cast<unsigned long>(status)};
            KeepExtra(in[1]);
            if (status == SEC_E_OK)
                return {};
            needMore = used_ == 0;
        }
    }

    // What SChannel did not consume moves to the front of the buffer.
    void KeepExtra(const SecBuffer& extra) {
        if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 && extra.cbBuffer <= used_) {
            std::memmove(incoming_.data(), incoming_.data() + used_ - extra.cbBuffer, extra.cbBuffer);
            used_ = extra.cbBuffer;
        } else {
            used_ = 0;
        }
    }

    // Decrypts the next record into plain_. False when more bytes are needed or the stream broke.
    bool Decrypt(Deadline deadline) {
        SecBuffer parts[4] = {{ULONG(used_), SECBUFFER_DATA, incoming_.data()},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        SECURITY_STATUS status = DecryptMessage(context_.get(), &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            return false;
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
            state_ = State::Broken;
            return false;
        }
        plain_.clear();
        plainBegin_ = 0;
        const SecBuffer* extra = nullptr;
        for (const SecBuffer& part : parts) {
            if (part.BufferType == SECBUFFER_DATA && part.pvBuffer != nullptr)
                plain_.assign(static_cast<char*>(part.pvBuffer), static_cast<char*>(part.pvBuffer) + part.cbBuffer);
            if (part.BufferType == SECBUFFER_EXTRA)
                extra = &part;
        }
        // The decrypted bytes lay inside incoming_: they are copied out before the rest moves.
        KeepExtra(extra != nullptr ? *extra : SecBuffer{0, SECBUFFER_EMPTY, nullptr});
        if (status == SEC_I_CONTEXT_EXPIRED)
            closed_ = true;  // The server's close_notify.
        if (status == SEC_I_RENEGOTIATE && (Negotiate(deadline).failure != TlsFailure::None || !QuerySizes()))
            state_ = State::Broken;
        return state_ != State::Broken;
    }

    // More bytes from the server after those held; the first of all must start a TLS record.
    IoResult ReadMore(Deadline deadline) {
        if (used_ == incoming_.size())
            return IoResult::Failed;  // A whole buffer without one complete record.
        size_t got = 0;
        IoResult r = inner_->Read(incoming_.data() + used_, incoming_.size() - used_, got, deadline);
        if (r != IoResult::Ok)
            return r;
        if (!sawFirstByte_) {
            sawFirstByte_ = true;
            notTls_ = !IsRecordType(static_cast<unsigned char>(incoming_[used_]));
            if (notTls_)
                return IoResult::Failed;
        }
        used_ += got;
        return IoResult::Ok;
    }

    bool QuerySizes() { return QueryContextAttributesW(context_.get(), SECPKG_ATTR_STREAM_SIZES, &sizes_) == SEC_E_OK; }

    // A polite close_notify, sent only when it can go at once.
    void SendCloseNotify() {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer shutdown{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc desc{SECBUFFER_VERSION, 1, &shutdown};
        if (ApplyControlToken(context_.get(), &desc) != SEC_E_OK)
            return;
        OutToken out;
        ULONG attributes = 0;
        SECURITY_STATUS status = InitializeSecurityContextW(credentials_.get(), context_.get(), host_.data(), kRequest,
                                                            0, 0, nullptr, 0, nullptr, &out.desc, &attributes, nullptr);
        if ((status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) && out.buffer.cbBuffer > 0)
            inner_->WriteAll(static_cast<char*>(out.buffer.pvBuffer), out.buffer.cbBuffer, Clock::now());
    }

    std::unique_ptr<Stream> inner_;
    Credentials credentials_;
    Context context_;
    std::wstring host_;
    SecPkgContext_StreamSizes sizes_{};
    std::vector<char> incoming_;  // Encrypted bytes from the server, used_ of them held.
    size_t used_ = 0;
    std::vector<char> plain_;  // Decrypted bytes not yet handed out, from plainBegin_.
    size_t plainBegin_ = 0;
    State state_ = State::Plain;
    bool closed_ = false;
    bool sawFirstByte_ = false;
    bool notTls_ = false;
};

}  // namespace

std::unique_ptr<TlsStream> TlsStream::Wrap(std::unique_ptr<Stream> inner) {
    return std::make_unique<SchannelStream>(std::move(inner));
}

}  // namespace nmail
