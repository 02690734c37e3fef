// TLS through SChannel (secur32), as the engine of TlsEngine.cpp's stream. SChannel only frames and
// encrypts: it is told to leave the certificate to CheckServerCertificate, and the agreed version is
// checked after the handshake.
// Brings in windows.h and SSPI in the order they need.
#include "platform/nmail/CertificateCheck_win.h"

// UNICODE_STRING, which the newer credential structure uses, comes first.
#include <subauth.h>

#include <schannel.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/CodePage.h"
#include "platform/base/Scoped.h"
#include "platform/nmail/CertificateName.h"
#include "platform/nmail/TlsEngine.h"

namespace nmail {
namespace {

constexpr DWORD kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                           ISC_REQ_USE_SUPPLIED_CREDS;

// SSPI's handles are pairs, marked empty as SecInvalidateHandle marks them.
struct SspiEmpty {
    static SecHandle Empty() {
        SecHandle handle;
        SecInvalidateHandle(&handle);
        return handle;
    }
    static bool Held(const SecHandle& handle) { return SecIsValidHandle(&handle); }
};
struct CredentialsTraits : SspiEmpty {
    using Handle = CredHandle;
    static void Free(CredHandle& handle) { FreeCredentialsHandle(&handle); }
};
struct ContextTraits : SspiEmpty {
    using Handle = CtxtHandle;
    static void Free(CtxtHandle& handle) { DeleteSecurityContext(&handle); }
};
using Credentials = platform::Scoped<CredentialsTraits>;
using Context = platform::Scoped<ContextTraits>;

// SSPI takes its handles by pointer but only reads them.
template <typename Traits>
SecHandle* Use(const platform::Scoped<Traits>& owner) {
    return owner ? const_cast<SecHandle*>(&owner.Get()) : nullptr;
}

// Credentials for TLS 1.2 and 1.3, no validation by SChannel, no client certificate.
SECURITY_STATUS AcquireWith(Credentials& credentials, void* data) {
    wchar_t package[] = UNISP_NAME_W;
    SECURITY_STATUS status = AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, data, nullptr,
                                                       nullptr, credentials.Put(), nullptr);
    if (status != SEC_E_OK)
        credentials.Release();
    return status;
}

SECURITY_STATUS Acquire(Credentials& credentials) {
    constexpr DWORD kFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    TLS_PARAMETERS tls{};
    tls.grbitDisabledProtocols =
        SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = kFlags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &tls;
    SECURITY_STATUS status = AcquireWith(credentials, &modern);
    if (status == SEC_E_OK)
        return status;
    // Windows before 10 version 1809 knows only the older structure, and TLS 1.2 at most.
    SCHANNEL_CRED older{};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    older.dwFlags = kFlags;
    return AcquireWith(credentials, &older);
}

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

EngineStatus FromStatus(SECURITY_STATUS status) {
    switch (status) {
        case SEC_E_OK: return EngineStatus::Ok;
        case SEC_I_CONTINUE_NEEDED: return EngineStatus::ContinueNeeded;
        case SEC_E_INCOMPLETE_MESSAGE: return EngineStatus::IncompleteMessage;
        case SEC_I_RENEGOTIATE: return EngineStatus::Renegotiate;
        case SEC_I_CONTEXT_EXPIRED: return EngineStatus::ContextExpired;
        default: return EngineStatus::Failed;
    }
}

// What the engine did not consume: the size of the SECBUFFER_EXTRA among `parts`, if any.
size_t ExtraOf(const SecBuffer* parts, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (parts[i].BufferType == SECBUFFER_EXTRA)
            return parts[i].cbBuffer;
    }
    return 0;
}

class SchannelEngine final : public TlsEngine {
public:
    unsigned long Begin(const std::string& host) override {
        // The target name goes out only as SNI: SChannel leaves the certificate to Check().
        host_ = platform::FromAnsi(ServerNameIndication(host));
        SECURITY_STATUS status = Acquire(credentials_);
        return status == SEC_E_OK ? 0 : static_cast<unsigned long>(status);
    }

    EngineStep Handshake(std::span<const char> input) override {
        bool first = !context_;
        // SChannel reads the input only; the buffer type has no const.
        SecBuffer in[2] = {{ULONG(input.size()), SECBUFFER_TOKEN, const_cast<char*>(input.data())},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        OutToken out;
        ULONG attributes = 0;
        SECURITY_STATUS status = InitializeSecurityContextW(
            Use(credentials_), Use(context_), Target(), kRequest, 0, 0, first ? nullptr : &inDesc, 0,
            first ? context_.Put() : nullptr, &out.desc, &attributes, nullptr);
        if (first && FAILED(status))
            context_.Release();
        EngineStep step;
        step.status = FromStatus(status);
        step.code = static_cast<unsigned long>(status);
        if (out.buffer.cbBuffer > 0 && out.buffer.pvBuffer != nullptr) {
            const char* token = static_cast<const char*>(out.buffer.pvBuffer);
            step.token.assign(token, token + out.buffer.cbBuffer);
        }
        if (!first)
            step.extra = ExtraOf(in, 2);
        return step;
    }

    EngineStep Decrypt(std::span<char> input) override {
        SecBuffer parts[4] = {{ULONG(input.size()), SECBUFFER_DATA, input.data()},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        SECURITY_STATUS status = DecryptMessage(Use(context_), &desc, 0, nullptr);
        DecryptBuffer buffers[4];
        for (size_t i = 0; i < 4; ++i) {
            const SecBuffer& part = parts[i];
            DecryptBuffer::Type type = part.BufferType == SECBUFFER_DATA    ? DecryptBuffer::Type::Data
                                       : part.BufferType == SECBUFFER_EXTRA ? DecryptBuffer::Type::Extra
                                                                            : DecryptBuffer::Type::Other;
            buffers[i] = {type, static_cast<const char*>(part.pvBuffer), part.cbBuffer};
        }
        return DecryptStep(FromStatus(status), static_cast<unsigned long>(status), buffers);
    }

    bool Encrypt(std::span<const char> data, std::vector<char>& record) override {
        record.assign(sizes_.cbHeader + data.size() + sizes_.cbTrailer, '\0');
        std::memcpy(record.data() + sizes_.cbHeader, data.data(), data.size());
        SecBuffer parts[4] = {
            {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {ULONG(data.size()), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + data.size()},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
        if (EncryptMessage(Use(context_), 0, &desc, 0) != SEC_E_OK)
            return false;
        record.resize(parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer);
        return true;
    }

    size_t MaxMessage() override {
        if (QueryContextAttributesW(Use(context_), SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK)
            return 0;
        return sizes_.cbMaximumMessage;
    }

    TlsError Check(const TlsSettings& settings, Deadline deadline) override {
        SecPkgContext_ConnectionInfo info{};
        SECURITY_STATUS status = QueryContextAttributesW(Use(context_), SECPKG_ATTR_CONNECTION_INFO, &info);
        if (status != SEC_E_OK)
            return {TlsFailure::Handshake, static_cast<unsigned long>(status)};
        // Wine ignores the disabled protocols, so the version is checked after the fact.
        if ((info.dwProtocol & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) == 0)
            return {TlsFailure::OldProtocol, info.dwProtocol};
        tls13_ = (info.dwProtocol & SP_PROT_TLS1_3_CLIENT) != 0;
        return CheckServerCertificate(*Use(context_), settings, deadline);
    }

    bool Tls13() override { return tls13_; }

    std::vector<char> CloseNotify() override {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer shutdown{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc desc{SECBUFFER_VERSION, 1, &shutdown};
        if (ApplyControlToken(Use(context_), &desc) != SEC_E_OK)
            return {};
        OutToken out;
        ULONG attributes = 0;
        SECURITY_STATUS status = InitializeSecurityContextW(Use(credentials_), Use(context_), Target(), kRequest, 0, 0,
                                                            nullptr, 0, nullptr, &out.desc, &attributes, nullptr);
        if ((status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED) || out.buffer.pvBuffer == nullptr)
            return {};
        const char* alert = static_cast<const char*>(out.buffer.pvBuffer);
        return std::vector<char>(alert, alert + out.buffer.cbBuffer);
    }

private:
    wchar_t* Target() { return host_.empty() ? nullptr : host_.data(); }

    Credentials credentials_;
    Context context_;
    std::wstring host_;  // Empty for an address.
    SecPkgContext_StreamSizes sizes_{};
    bool tls13_ = false;
};

}  // namespace

std::unique_ptr<TlsStream> TlsStream::Wrap(std::unique_ptr<Stream> inner) {
    return MakeEngineStream(std::move(inner), std::make_unique<SchannelEngine>());
}

}  // namespace nmail
