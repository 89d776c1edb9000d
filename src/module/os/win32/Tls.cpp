#include "../Tls.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#define SECURITY_WIN32
#include <security.h>
#include <wincrypt.h>
// SCH_CREDENTIALS is declared with the blacklists, and their strings need subauth.h.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <schannel.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "Win32.h"

namespace Quorlin::os {
namespace {

using win32::Deadline;

constexpr std::uint32_t kCloseWaitMs = 200;        // for room to send close_notify in, and no more
constexpr unsigned char kAlertRecord = 21;         // the content type of a TLS record that holds an alert
constexpr DWORD kIgnoreNameMismatch = 0x00001000;  // SECURITY_FLAG_IGNORE_CERT_CN_INVALID of wininet.h
constexpr DWORD kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;

Status Fail(DWORD error) noexcept { return FromNative(static_cast<std::uint32_t>(error)); }
Status Fail(SECURITY_STATUS error) noexcept { return FromNative(static_cast<std::uint32_t>(error)); }

template <class T, auto Free>
struct Freer {
    void operator()(T value) const noexcept { Free(value); }
};
void CloseStore(HCERTSTORE store) noexcept { ::CertCloseStore(store, 0); }
using UniqueStore = std::unique_ptr<void, Freer<HCERTSTORE, CloseStore>>;
using UniqueCertificate = std::unique_ptr<const CERT_CONTEXT, Freer<PCCERT_CONTEXT, ::CertFreeCertificateContext>>;
using UniqueChain = std::unique_ptr<const CERT_CHAIN_CONTEXT, Freer<PCCERT_CHAIN_CONTEXT, ::CertFreeCertificateChain>>;
using UniqueEngine = std::unique_ptr<void, Freer<HCERTCHAINENGINE, ::CertFreeCertificateChainEngine>>;

// The Schannel state over the socket it owns, with the bytes read from the socket but not yet
// decrypted and those decrypted but not yet handed out.
struct Session {
    SocketHandle socket;
    std::wstring target;  // the name sent as SNI, again at a renegotiation; empty for an address
    CredHandle credentials;
    CtxtHandle context;
    SecPkgContext_StreamSizes sizes = {};
    std::string incoming;
    std::string plain;
    std::size_t plainAt = 0;
    std::string record;   // the buffer EncryptMessage works in, kept for the next send
    bool closed = false;  // close_notify came

    explicit Session(SocketHandle connection) noexcept : socket(connection)
    {
        SecInvalidateHandle(&credentials);
        SecInvalidateHandle(&context);
    }
    ~Session()
    {
        if (SecIsValidHandle(&context))
            ::DeleteSecurityContext(&context);
        if (SecIsValidHandle(&credentials))
            ::FreeCredentialsHandle(&credentials);
        CloseSocket(socket);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

constexpr DWORD kModernProtocols = SP_PROT_TLS1_2 | SP_PROT_TLS1_3;

// Whether the credentials enable no protocol older than TLS 1.2.
bool OnlyModern(CredHandle& credentials) noexcept
{
    SecPkgCred_SupportedProtocols protocols = {};
    return ::QueryCredentialsAttributesW(&credentials, SECPKG_ATTR_SUPPORTED_PROTOCOLS, &protocols) == SEC_E_OK &&
           (protocols.grbitProtocol & ~kModernProtocols) == 0;
}

// SCH_CREDENTIALS (Windows 10 1809 and later) offers TLS 1.3 where the system has it; older systems
// only know SCHANNEL_CRED, which is kept to TLS 1.2 here. Wine 8 takes SCH_CREDENTIALS for an
// SCHANNEL_CRED and enables its defaults, SSL 3 to TLS 1.2: such credentials are not used. The server
// is checked by VerifyServer, not by Schannel against the system's store.
SECURITY_STATUS AcquireCredentials(CredHandle& credentials) noexcept
{
    constexpr DWORD flags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TLS_PARAMETERS parameters = {};
    parameters.grbitDisabledProtocols = ~static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT);
    SCH_CREDENTIALS modern = {};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = flags;
    modern.cTlsParameters = 1;
    modern.pTlsParameters = &parameters;
    wchar_t package[] = UNISP_NAME_W;
    SECURITY_STATUS status = ::AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &modern, nullptr,
                                                         nullptr, &credentials, nullptr);
    if (status == SEC_E_OK && OnlyModern(credentials))
        return status;
    if (status == SEC_E_OK)
        ::FreeCredentialsHandle(&credentials);
    SCHANNEL_CRED legacy = {};
    legacy.dwVersion = SCHANNEL_CRED_VERSION;
    legacy.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    legacy.dwFlags = flags;
    return ::AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &legacy, nullptr, nullptr, &credentials,
                                       nullptr);
}

// Reads what the socket has into the session's incoming bytes, waiting until the deadline at most.
// The end of the stream in the middle of the protocol is a lost connection.
Status ReadMore(Session& session, const Deadline& deadline)
{
    char buffer[16 * 1024];
    std::size_t count = 0;
    if (const Status status = ReceiveSome(session.socket, buffer, sizeof buffer, count, deadline.LeftMs()); !status)
        return status;
    if (count == 0)
        return Fail(static_cast<DWORD>(WSAECONNRESET));
    session.incoming.append(buffer, count);
    return {};
}

// Sends a token Schannel made and gives its memory back; a status of the sending.
Status SendToken(Session& session, SecBuffer& token, std::uint32_t timeoutMs)
{
    Status status;
    if (token.pvBuffer && token.cbBuffer > 0) {
        std::size_t sent = 0;
        status = SendAll(session.socket, token.pvBuffer, token.cbBuffer, timeoutMs, sent);
    }
    if (token.pvBuffer)
        ::FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
    return status;
}

// Runs InitializeSecurityContext over the incoming bytes until the handshake is done, sending its
// tokens; what was read beyond the handshake stays in `incoming`. A status of the transport in `io`
// when that failed, the SSPI status otherwise.
SECURITY_STATUS Handshake(Session& session, const Deadline& deadline, Status& io)
{
    wchar_t* target = session.target.empty() ? nullptr : session.target.data();
    for (;;) {
        SecBuffer input[2] = {{static_cast<ULONG>(session.incoming.size()), SECBUFFER_TOKEN, session.incoming.data()},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inputs = {SECBUFFER_VERSION, 2, input};
        SecBuffer output = {0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outputs = {SECBUFFER_VERSION, 1, &output};
        const bool first = !SecIsValidHandle(&session.context);
        DWORD flags = 0;
        const SECURITY_STATUS status = ::InitializeSecurityContextW(
            &session.credentials, first ? nullptr : &session.context, target, kContextRequest, 0, 0, first ? nullptr : &inputs, 0,
            first ? &session.context : nullptr, &outputs, &flags, nullptr);
        // A failure may come with an alert for the server: it goes too.
        if (io = SendToken(session, output, deadline.LeftMs()); !io)
            return status;
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            if (io = ReadMore(session, deadline); !io)
                return status;
            continue;
        }
        if (!first) {
            if (input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer > 0)
                session.incoming.erase(0, session.incoming.size() - input[1].cbBuffer);
            else
                session.incoming.clear();
        }
        if (status != SEC_I_CONTINUE_NEEDED)
            return status;
        if (session.incoming.empty()) {
            if (io = ReadMore(session, deadline); !io)
                return status;
        }
    }
}

bool IsAddressLiteral(const wchar_t* name, IN6_ADDR& address, int& family) noexcept
{
    family = ::InetPtonW(AF_INET, name, &address) == 1 ? AF_INET : ::InetPtonW(AF_INET6, name, &address) == 1 ? AF_INET6 : 0;
    return family != 0;
}

// Whether one of the certificate's subjectAltName IP entries is `address`. Not every system's SSL
// policy matches IP entries (Wine's does not), so the layer does it for address literals everywhere.
bool NamesAddress(PCCERT_CONTEXT certificate, const IN6_ADDR& address, int family) noexcept
{
    const CERT_INFO& info = *certificate->pCertInfo;
    const CERT_EXTENSION* extension = ::CertFindExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension);
    if (!extension)
        return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData, extension->Value.cbData,
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    const DWORD length = family == AF_INET ? 4 : 16;
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == length &&
                std::memcmp(entry.IPAddress.pbData, &address, length) == 0;
    }
    ::LocalFree(names);
    return found;
}

// The certificate error that stands for the trust status bits of a chain; 0 for none.
DWORD ChainError(DWORD status) noexcept
{
    HRESULT error = S_OK;
    if (status == CERT_TRUST_NO_ERROR)
        error = S_OK;
    else if (status & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC))
        error = CERT_E_CHAINING;
    else if (status & CERT_TRUST_IS_UNTRUSTED_ROOT)
        error = CERT_E_UNTRUSTEDROOT;
    else if (status & CERT_TRUST_IS_NOT_TIME_VALID)
        error = CERT_E_EXPIRED;
    else if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID)
        error = TRUST_E_CERT_SIGNATURE;
    else if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        error = CERT_E_WRONG_USAGE;
    else if (status & CERT_TRUST_IS_REVOKED)
        error = CRYPT_E_REVOKED;
    else if (status & CERT_TRUST_INVALID_BASIC_CONSTRAINTS)
        error = TRUST_E_BASIC_CONSTRAINTS;
    else
        error = CERT_E_CHAINING;
    return static_cast<DWORD>(error);
}

// Checks the server's certificate: a chain to one of `roots` only (an engine whose exclusive roots
// they are), for server authentication, naming `serverName`. 0 or the certificate error.
DWORD VerifyServer(const Session& session, HCERTSTORE roots, const std::wstring& serverName)
{
    PCCERT_CONTEXT received = nullptr;
    if (const SECURITY_STATUS status = ::QueryContextAttributesW(const_cast<CtxtHandle*>(&session.context),
                                                                 SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received);
        status != SEC_E_OK || !received)
        return static_cast<DWORD>(status != SEC_E_OK ? status : SEC_E_CERT_UNKNOWN);
    const UniqueCertificate server(received);

    CERT_CHAIN_ENGINE_CONFIG config = {};
    // The Windows 7 layout, which ends with the exclusive stores: Wine 8 refuses the longer one of
    // Windows 8 (E_INVALIDARG).
    config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, hExclusiveTrustedPeople) + sizeof config.hExclusiveTrustedPeople;
    config.hExclusiveRoot = roots;
    HCERTCHAINENGINE madeEngine = nullptr;
    if (!::CertCreateCertificateChainEngine(&config, &madeEngine))
        return ::GetLastError();
    const UniqueEngine engine(madeEngine);

    char serverAuthentication[] = szOID_PKIX_KP_SERVER_AUTH;
    char* usages[] = {serverAuthentication};
    CERT_CHAIN_PARA parameters = {};
    parameters.cbSize = sizeof parameters;
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT madeChain = nullptr;
    // The server's own store holds the intermediate certificates it sent.
    if (!::CertGetCertificateChain(madeEngine, server.get(), nullptr, server->hCertStore, &parameters, 0, nullptr, &madeChain))
        return ::GetLastError();
    const UniqueChain chain(madeChain);
    // The SSL policy of Wine 8 passes a chain that ends short of a root; the chain's own status does not.
    if (const DWORD trouble = ChainError(chain->TrustStatus.dwErrorStatus); trouble != 0)
        return trouble;

    IN6_ADDR address = {};
    int family = 0;
    const bool literal = IsAddressLiteral(serverName.c_str(), address, family);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = literal ? kIgnoreNameMismatch : 0;
    ssl.pwszServerName = const_cast<wchar_t*>(serverName.c_str());
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS result = {};
    result.cbSize = sizeof result;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &result))
        return ::GetLastError();
    if (result.dwError != 0)
        return result.dwError;
    if (literal && !NamesAddress(server.get(), address, family))
        return static_cast<DWORD>(CERT_E_CN_NO_MATCH);
    return 0;
}

// The certificates of the PEM file `caFile` in a store of their own; null with `error` set on failure.
UniqueStore LoadRoots(const char* caFile, std::string& error, Status& status)
{
    const std::string prefix = "cannot read CA file [" + std::string(caFile) + "]: ";
    const win32::UniqueHandle file(::CreateFileW(win32::Utf8ToWide(caFile).c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file.Valid() || !::GetFileSizeEx(file.Get(), &size)) {
        status = win32::LastError();
        error = prefix + ErrorText(status.native);
        return nullptr;
    }
    std::string text(static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, 16 << 20)), '\0');
    DWORD read = 0;
    if (!text.empty() && !::ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) {
        status = win32::LastError();
        error = prefix + ErrorText(status.native);
        return nullptr;
    }
    text.resize(read);

    UniqueStore roots(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!roots) {
        status = win32::LastError();
        error = prefix + ErrorText(status.native);
        return nullptr;
    }
    static constexpr char kBegin[] = "-----BEGIN CERTIFICATE-----";
    static constexpr char kEnd[] = "-----END CERTIFICATE-----";
    int count = 0;
    for (std::size_t at = text.find(kBegin); at != std::string::npos; at = text.find(kBegin, at)) {
        const std::size_t end = text.find(kEnd, at);
        const std::size_t length = end == std::string::npos ? text.size() - at : end + sizeof kEnd - 1 - at;
        DWORD derSize = 0;
        std::string der;
        bool decoded = ::CryptStringToBinaryA(text.data() + at, static_cast<DWORD>(length), CRYPT_STRING_BASE64HEADER, nullptr,
                                              &derSize, nullptr, nullptr);
        if (decoded) {
            der.resize(derSize);
            decoded = ::CryptStringToBinaryA(text.data() + at, static_cast<DWORD>(length), CRYPT_STRING_BASE64HEADER,
                                             reinterpret_cast<BYTE*>(der.data()), &derSize, nullptr, nullptr);
        }
        const UniqueCertificate certificate(
            decoded ? ::CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), derSize)
                    : nullptr);
        if (!certificate || !::CertAddCertificateContextToStore(roots.get(), certificate.get(), CERT_STORE_ADD_ALWAYS, nullptr)) {
            status = win32::LastError();
            error = prefix + "a damaged certificate: " + ErrorText(status.native);
            return nullptr;
        }
        ++count;
        at += length;
    }
    if (count == 0) {
        status = Fail(static_cast<DWORD>(ERROR_INVALID_DATA));
        error = prefix + "no certificate in it";
        return nullptr;
    }
    return roots;
}

}  // namespace

Status TlsConnect(SocketHandle socket, const char* serverName, const char* caFile, std::uint32_t timeoutMs, TlsHandle& session,
                  std::string& error)
{
    session = nullptr;
    error.clear();
    auto owned = std::make_unique<Session>(socket);
    if (!serverName || !*serverName || !caFile || !*caFile || socket == kNoSocket) {
        error = "cannot start TLS: no server name, CA file or connection given";
        return Fail(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    Status status;
    const UniqueStore roots = LoadRoots(caFile, error, status);
    if (!roots)
        return status;
    const std::string peer = "TLS handshake with [" + std::string(serverName) + "]: ";
    if (const SECURITY_STATUS acquired = AcquireCredentials(owned->credentials); acquired != SEC_E_OK) {
        SecInvalidateHandle(&owned->credentials);
        error = "cannot start TLS: " + ErrorText(static_cast<std::uint32_t>(acquired));
        return Fail(acquired);
    }
    const std::wstring name = win32::Utf8ToWide(serverName);
    IN6_ADDR address = {};
    int family = 0;
    if (!IsAddressLiteral(name.c_str(), address, family))
        owned->target = name;  // SNI carries no addresses
    const Deadline deadline(timeoutMs);
    Status io;
    const SECURITY_STATUS shaken = Handshake(*owned, deadline, io);
    if (!io) {
        error = peer +
                (io.kind == ErrorKind::TimedOut ? "timed out after " + std::to_string(timeoutMs) + " ms" : ErrorText(io.native));
        return io;
    }
    if (shaken != SEC_E_OK) {
        error = peer + ErrorText(static_cast<std::uint32_t>(shaken));
        return Fail(shaken);
    }
    // The credentials ask for TLS 1.2 or later; what was agreed is checked all the same.
    SecPkgContext_ConnectionInfo connection = {};
    if (::QueryContextAttributesW(&owned->context, SECPKG_ATTR_CONNECTION_INFO, &connection) != SEC_E_OK ||
        (connection.dwProtocol & kModernProtocols) == 0) {
        error = peer + "the server chose a protocol older than TLS 1.2";
        return Fail(SEC_E_ALGORITHM_MISMATCH);
    }
    if (const DWORD verified = VerifyServer(*owned, roots.get(), name); verified != 0) {
        error = peer + "certificate verify failed: " + ErrorText(verified);
        return Fail(verified);
    }
    if (const SECURITY_STATUS sized = ::QueryContextAttributesW(&owned->context, SECPKG_ATTR_STREAM_SIZES, &owned->sizes);
        sized != SEC_E_OK) {
        error = peer + ErrorText(static_cast<std::uint32_t>(sized));
        return Fail(sized);
    }
    session = owned.release();
    return {};
}

Status TlsSend(TlsHandle handle, const void* data, std::size_t size, std::uint32_t timeoutMs, std::size_t& sent)
{
    sent = 0;
    if (!handle)
        return Fail(static_cast<DWORD>(WSAENOTCONN));
    Session& session = *static_cast<Session*>(handle);
    const Deadline deadline(timeoutMs);
    const char* bytes = static_cast<const char*>(data);
    const SecPkgContext_StreamSizes& sizes = session.sizes;
    while (sent < size) {
        const std::size_t chunk = std::min<std::size_t>(size - sent, sizes.cbMaximumMessage);
        std::string& record = session.record;
        record.resize(sizes.cbHeader + chunk + sizes.cbTrailer);
        char* header = record.data();
        std::memcpy(header + sizes.cbHeader, bytes + sent, chunk);
        SecBuffer buffers[4] = {{sizes.cbHeader, SECBUFFER_STREAM_HEADER, header},
                                {static_cast<ULONG>(chunk), SECBUFFER_DATA, header + sizes.cbHeader},
                                {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, header + sizes.cbHeader + chunk},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc message = {SECBUFFER_VERSION, 4, buffers};
        if (const SECURITY_STATUS status = ::EncryptMessage(&session.context, 0, &message, 0); status != SEC_E_OK)
            return Fail(status);
        // The trailer may come out shorter than its room; the three parts stay contiguous.
        const std::size_t length = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        std::size_t written = 0;
        if (const Status status = SendAll(session.socket, header, length, deadline.LeftMs(), written); !status)
            return status;
        sent += chunk;
    }
    return {};
}

Status TlsReceive(TlsHandle handle, void* buffer, std::size_t capacity, std::size_t& received, std::uint32_t timeoutMs)
{
    received = 0;
    if (!handle)
        return Fail(static_cast<DWORD>(WSAENOTCONN));
    Session& session = *static_cast<Session*>(handle);
    const Deadline deadline(timeoutMs);
    while (session.plainAt == session.plain.size() && !session.closed) {
        SECURITY_STATUS status = SEC_E_INCOMPLETE_MESSAGE;
        const bool alert = !session.incoming.empty() && static_cast<unsigned char>(session.incoming[0]) == kAlertRecord;
        SecBuffer buffers[4] = {{static_cast<ULONG>(session.incoming.size()), SECBUFFER_DATA, session.incoming.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        if (!session.incoming.empty()) {
            SecBufferDesc message = {SECBUFFER_VERSION, 4, buffers};
            status = ::DecryptMessage(&session.context, &message, 0, nullptr);
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            if (const Status more = ReadMore(session, deadline); !more)
                return more;
            continue;
        }
        if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && status != SEC_I_RENEGOTIATE)
            return Fail(status);
        // The record is decrypted in place: its text is taken out before the bytes after it move up.
        session.plain.clear();
        session.plainAt = 0;
        std::size_t extra = 0;
        for (const SecBuffer& part : buffers) {
            if (part.BufferType == SECBUFFER_DATA)
                session.plain.assign(static_cast<const char*>(part.pvBuffer), part.cbBuffer);
            else if (part.BufferType == SECBUFFER_EXTRA)
                extra = part.cbBuffer;
        }
        session.incoming.erase(0, session.incoming.size() - extra);
        // Wine reports the peer's close_notify as SEC_E_OK with no data instead: in TLS 1.2 an alert
        // record that decrypts to nothing is that close.
        session.closed = status == SEC_I_CONTEXT_EXPIRED || (status == SEC_E_OK && alert && session.plain.empty());
        if (status == SEC_I_RENEGOTIATE) {
            // A handshake message after the handshake (a TLS 1.3 session ticket or key update, or a TLS 1.2
            // renegotiation): the bytes after the record go to the handshake, which then goes on.
            Status io;
            if (const SECURITY_STATUS shaken = Handshake(session, deadline, io); !io)
                return io;
            else if (shaken != SEC_E_OK)
                return Fail(shaken);
        }
    }
    const std::size_t count = std::min(capacity, session.plain.size() - session.plainAt);
    std::memcpy(buffer, session.plain.data() + session.plainAt, count);
    session.plainAt += count;
    received = count;
    return {};
}

void TlsClose(TlsHandle handle) noexcept
{
    if (!handle)
        return;
    const std::unique_ptr<Session> session(static_cast<Session*>(handle));
    DWORD shutdown = SCHANNEL_SHUTDOWN;
    SecBuffer control = {sizeof shutdown, SECBUFFER_TOKEN, &shutdown};
    SecBufferDesc controls = {SECBUFFER_VERSION, 1, &control};
    if (::ApplyControlToken(&session->context, &controls) != SEC_E_OK)
        return;
    SecBuffer output = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outputs = {SECBUFFER_VERSION, 1, &output};
    DWORD flags = 0;
    const SECURITY_STATUS status = ::InitializeSecurityContextW(
        &session->credentials, &session->context, nullptr, kContextRequest, 0, 0, nullptr, 0, nullptr, &outputs, &flags, nullptr);
    if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && output.pvBuffer) {
        ::FreeContextBuffer(output.pvBuffer);
        return;
    }
    SendToken(*session, output, kCloseWaitMs);
}

}  // namespace Quorlin::os
