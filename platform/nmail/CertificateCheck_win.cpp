// Server certificate check with the system's chain engine. Wine accepts a chain whose issuer is missing,
// does not match IP entries and takes "*.test" for "pop.test", so the chain's own error bits are looked at
// here too and the names are matched by the program's own rules.
#include "platform/nmail/CertificateCheck_win.h"

#include <schannel.h>
#include <wincrypt.h>
#include <wininet.h>  // The SECURITY_FLAG_IGNORE_* bits of the SSL policy.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/CodePage.h"
#include "platform/base/File.h"
#include "platform/base/ScopedWin_win.h"
#include "platform/nmail/CertificateName.h"

namespace nmail {
namespace {

using platform::win::Scoped;

struct CertTraits {
    using Handle = PCCERT_CONTEXT;
    static PCCERT_CONTEXT Empty() { return nullptr; }
    static void Free(PCCERT_CONTEXT c) { CertFreeCertificateContext(c); }
};
struct ChainTraits {
    using Handle = PCCERT_CHAIN_CONTEXT;
    static PCCERT_CHAIN_CONTEXT Empty() { return nullptr; }
    static void Free(PCCERT_CHAIN_CONTEXT c) { CertFreeCertificateChain(c); }
};
struct StoreTraits {
    using Handle = HCERTSTORE;
    static HCERTSTORE Empty() { return nullptr; }
    static void Free(HCERTSTORE s) { CertCloseStore(s, 0); }
};

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The subjectAltName entries of `cert`.
CertificateNames NamesOf(PCCERT_CONTEXT cert) {
    CertificateNames names;
    PCERT_EXTENSION ext =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, cert->pCertInfo->cExtension, cert->pCertInfo->rgExtension);
    CERT_ALT_NAME_INFO* info = nullptr;
    DWORD size = 0;
    if (ext == nullptr)
        return names;
    if (!CryptDecodeObjectEx(kEncoding, X509_ALTERNATE_NAME, ext->Value.pbData, ext->Value.cbData,
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &info, &size)) {
        names.unreadable = true;
        return names;
    }
    for (DWORD i = 0; i < info->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = info->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS) {
            names.ips.emplace_back(reinterpret_cast<const char*>(entry.IPAddress.pbData), entry.IPAddress.cbData);
        } else if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME) {
            // An IA5String: anything outside ASCII cannot be a name and matches nothing.
            std::string dns;
            for (const wchar_t* c = entry.pwszDNSName; *c != 0; ++c)
                dns += *c < 0x80 ? char(*c) : '\0';
            names.dns.push_back(std::move(dns));
        }
    }
    LocalFree(info);
    return names;
}

// The name of the issuer at the top of the chain: the one nobody vouched for.
std::wstring TopIssuer(PCCERT_CHAIN_CONTEXT chain) {
    if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0)
        return {};
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    PCCERT_CONTEXT top = simple->rgpElement[simple->cElement - 1]->pCertContext;
    wchar_t name[256] = L"";
    CertGetNameStringW(top, CERT_NAME_SIMPLE_DISPLAY_TYPE, CERT_NAME_ISSUER_FLAG, nullptr, name, 256);
    return name;
}

// The first certificate of a PEM file, or null.
Scoped<CertTraits> LoadPem(const std::string& path) {
    // A root is a few KiB; the bound only keeps a wrong file from being held whole.
    std::string pem = platform::ReadWholeFile(platform::FromAnsi(path), 1 << 20).value_or(std::string());
    DWORD size = 0;
    if (pem.empty() || !CryptStringToBinaryA(pem.data(), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                                             nullptr, nullptr))
        return Scoped<CertTraits>();
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.data(), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                              nullptr))
        return Scoped<CertTraits>();
    return Scoped<CertTraits>(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size));
}

bool EndsAt(PCCERT_CHAIN_CONTEXT chain, PCCERT_CONTEXT root) {
    if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0)
        return false;
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    PCCERT_CONTEXT last = simple->rgpElement[simple->cElement - 1]->pCertContext;
    return CertCompareCertificate(X509_ASN_ENCODING, last->pCertInfo, root->pCertInfo) != FALSE;
}

TlsError FromChainBits(DWORD bits, PCCERT_CHAIN_CONTEXT chain) {
    if (bits & CERT_TRUST_IS_NOT_TIME_VALID)
        return {TlsFailure::Expired, bits};
    if (bits & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        return {TlsFailure::NotForServer, bits};
    return {TlsFailure::Untrusted, bits, TopIssuer(chain)};
}

TlsError FromPolicyError(DWORD error) {
    switch (error) {
        case 0: return {};
        case DWORD(CERT_E_CN_NO_MATCH): return {TlsFailure::NameMismatch, error};
        case DWORD(CERT_E_EXPIRED): return {TlsFailure::Expired, error};
        case DWORD(CERT_E_WRONG_USAGE):
        case DWORD(CERT_E_PURPOSE): return {TlsFailure::NotForServer, error};
        default: return {TlsFailure::Untrusted, error};
    }
}

// A chain for server use through the certificates the server sent and the extra root.
Scoped<ChainTraits> BuildChain(PCCERT_CONTEXT cert, PCCERT_CONTEXT extraRoot, Deadline deadline) {
    Scoped<StoreTraits> store(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
    Scoped<StoreTraits> extra(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!store || !extra)
        return Scoped<ChainTraits>();
    CertAddStoreToCollection(store.Get(), cert->hCertStore, 0, 0);
    if (extraRoot != nullptr) {
        CertAddCertificateContextToStore(extra.Get(), extraRoot, CERT_STORE_ADD_ALWAYS, nullptr);
        CertAddStoreToCollection(store.Get(), extra.Get(), 0, 0);
    }
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    para.dwUrlRetrievalTimeout = DWORD(std::clamp<long long>(left, 1, 60000));
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, cert, nullptr, store.Get(), &para, 0, nullptr, &chain))
        return Scoped<ChainTraits>();
    return Scoped<ChainTraits>(chain);
}

}  // namespace

TlsError CheckServerCertificate(CtxtHandle& context, const TlsSettings& settings, Deadline deadline) {
    PCCERT_CONTEXT presented = nullptr;
    SECURITY_STATUS status = QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &presented);
    Scoped<CertTraits> cert(presented);
    if (status != SEC_E_OK || !cert)
        return {TlsFailure::Untrusted, static_cast<unsigned long>(status)};
    Scoped<CertTraits> extraRoot;
    if (!settings.extraRootFile.empty())
        extraRoot = LoadPem(settings.extraRootFile);

    Scoped<ChainTraits> chain = BuildChain(cert.Get(), extraRoot.Get(), deadline);
    if (!chain)
        return {TlsFailure::Untrusted, GetLastError()};
    DWORD bits = chain.Get()->TrustStatus.dwErrorStatus;
    // The tests' own root counts as trusted, and only for a chain that ends in it.
    bool endsAtExtraRoot = extraRoot && EndsAt(chain.Get(), extraRoot.Get());
    if (endsAtExtraRoot)
        bits &= ~DWORD(CERT_TRUST_IS_UNTRUSTED_ROOT);
    if (bits != CERT_TRUST_NO_ERROR)
        return FromChainBits(bits, chain.Get());

    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    // The names are matched below: the policy's own match is looser under Wine.
    ssl.fdwChecks = SECURITY_FLAG_IGNORE_CERT_CN_INVALID | (endsAtExtraRoot ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0);
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS result{};
    result.cbSize = sizeof result;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policy, &result))
        return {TlsFailure::Untrusted, GetLastError(), TopIssuer(chain.Get())};
    TlsError error = FromPolicyError(result.dwError);
    if (error.failure == TlsFailure::Untrusted)
        error.detail = TopIssuer(chain.Get());
    if (error.failure != TlsFailure::None)
        return error;
    return CheckNames(NamesOf(cert.Get()), settings.host);
}

}  // namespace nmail
