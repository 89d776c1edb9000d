#include "../Tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <string>

#include "Posix.h"

namespace Quorlin::os {
namespace {

using posix::AwaitReady;
using posix::Deadline;

constexpr std::uint32_t kCloseWaitMs = 200;  // for room to send close_notify in, and no more

Status Fail(int error) noexcept { return FromNative(static_cast<std::uint32_t>(error)); }

// The TLS state over the socket it owns. OpenSSL's own socket BIO writes with write(), which raises
// SIGPIPE on a closed connection; the BIO below sends with MSG_NOSIGNAL and keeps the errno of the
// call that failed, which OpenSSL's error queue does not tell.
struct Session {
    int fd = -1;
    SSL* ssl = nullptr;
    int lastErrno = 0;

    explicit Session(int socket) noexcept : fd(socket) {}
    ~Session()
    {
        SSL_free(ssl);
        if (fd >= 0)
            ::close(fd);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

Session& Of(BIO* bio) noexcept { return *static_cast<Session*>(BIO_get_data(bio)); }

// A failed transfer: retried later when the socket would block, kept as the session's errno otherwise.
int TransferFailed(BIO* bio, bool writing) noexcept
{
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        if (writing)
            BIO_set_retry_write(bio);
        else
            BIO_set_retry_read(bio);
    } else {
        Of(bio).lastErrno = errno;
    }
    return -1;
}

int BioWrite(BIO* bio, const char* data, int size) noexcept
{
    BIO_clear_retry_flags(bio);
    const ssize_t written = ::send(Of(bio).fd, data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
    return written >= 0 ? static_cast<int>(written) : TransferFailed(bio, true);
}

int BioRead(BIO* bio, char* buffer, int size) noexcept
{
    BIO_clear_retry_flags(bio);
    const ssize_t count = ::recv(Of(bio).fd, buffer, static_cast<std::size_t>(size), 0);
    return count >= 0 ? static_cast<int>(count) : TransferFailed(bio, false);
}

long BioControl(BIO*, int command, long, void*) noexcept { return command == BIO_CTRL_FLUSH ? 1 : 0; }

// Made once and kept for the life of the process.
BIO_METHOD* SocketMethod() noexcept
{
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quorlin socket");
        if (made) {
            BIO_meth_set_write(made, BioWrite);
            BIO_meth_set_read(made, BioRead);
            BIO_meth_set_ctrl(made, BioControl);
            BIO_meth_set_create(made, [](BIO* bio) {
                BIO_set_init(bio, 1);
                return 1;
            });
        }
        return made;
    }();
    return method;
}

std::string Reason(unsigned long code)
{
    const char* reason = ERR_reason_error_string(code);
    return reason ? reason : "TLS error " + std::to_string(code);
}

bool IsAddressLiteral(const char* name) noexcept
{
    unsigned char address[16];
    return ::inet_pton(AF_INET, name, address) == 1 || ::inet_pton(AF_INET6, name, address) == 1;
}

// Makes the certificates of `caFile` the only roots `context` trusts.
Status LoadRoots(SSL_CTX* context, const char* caFile, std::string& error)
{
    const std::string file = "cannot read CA file [" + std::string(caFile) + "]: ";
    std::unique_ptr<BIO, decltype(&BIO_free)> input(BIO_new_file(caFile, "r"), BIO_free);
    if (!input) {
        const int cause = errno ? errno : EIO;
        error = file + ErrorText(static_cast<std::uint32_t>(cause));
        return Fail(cause);
    }
    X509_STORE* roots = SSL_CTX_get_cert_store(context);
    int count = 0;
    while (X509* certificate = PEM_read_bio_X509(input.get(), nullptr, nullptr, nullptr)) {
        X509_STORE_add_cert(roots, certificate);
        X509_free(certificate);
        ++count;
    }
    // The reading ends with "no start line" past the last certificate; anything else is damage.
    const unsigned long last = ERR_peek_last_error();
    ERR_clear_error();
    if (ERR_GET_LIB(last) == ERR_LIB_SYS) {
        error = file + ErrorText(static_cast<std::uint32_t>(ERR_GET_REASON(last)));
        return Fail(ERR_GET_REASON(last));
    }
    if (count == 0 || (last != 0 && ERR_GET_REASON(last) != PEM_R_NO_START_LINE)) {
        error = file + (count == 0 ? "no certificate in it" : "a damaged certificate: " + Reason(last));
        return Fail(EINVAL);
    }
    return {};
}

// What a failed call on the session, with SSL_get_error's `code`, means: success after a wait when the
// call can be made again, the failure otherwise, with its reason in `why`.
Status Settle(Session& session, int code, const Deadline& deadline, std::string& why)
{
    if (code == SSL_ERROR_WANT_READ || code == SSL_ERROR_WANT_WRITE) {
        const Status ready = AwaitReady(session.fd, code == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline);
        if (!ready)
            why = ErrorText(ready.native);
        return ready;
    }
    if (session.lastErrno != 0) {
        why = ErrorText(static_cast<std::uint32_t>(session.lastErrno));
        return Fail(session.lastErrno);
    }
    const unsigned long last = ERR_peek_last_error();
    const int reason = ERR_GET_REASON(last);
    if (reason == SSL_R_CERTIFICATE_VERIFY_FAILED) {
        const long result = SSL_get_verify_result(session.ssl);
        why = std::string("certificate verify failed: ") + X509_verify_cert_error_string(result);
        return FromNative(posix::FromCertificate(result));
    }
    // An end of the stream without close_notify: OpenSSL reports it either way.
    if (last == 0 || reason == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
        why = "the connection was closed";
        return Fail(ECONNRESET);
    }
    why = Reason(last);
    return Fail(EPROTO);
}

// The state of a client of TLS 1.2 or later that checks the server against the roots and the name.
SSL* NewClient(const char* serverName, const char* caFile, std::string& error, Status& status)
{
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    if (!context || !SocketMethod()) {
        error = "cannot start TLS: " + Reason(ERR_peek_last_error());
        status = Fail(ENOMEM);
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE);
    if (status = LoadRoots(context.get(), caFile, error); !status)
        return nullptr;
    SSL* ssl = SSL_new(context.get());  // holds its own reference to the context
    if (!ssl) {
        error = "cannot start TLS: " + Reason(ERR_peek_last_error());
        status = Fail(ENOMEM);
        return nullptr;
    }
    X509_VERIFY_PARAM* checks = SSL_get0_param(ssl);
    if (IsAddressLiteral(serverName)) {
        X509_VERIFY_PARAM_set1_ip_asc(checks, serverName);  // SNI carries no addresses
    } else {
        SSL_set_tlsext_host_name(ssl, serverName);
        X509_VERIFY_PARAM_set_hostflags(checks, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(checks, serverName, 0);
    }
    return ssl;
}

}  // namespace

Status TlsConnect(SocketHandle socket, const char* serverName, const char* caFile, std::uint32_t timeoutMs, TlsHandle& session,
                  std::string& error)
{
    session = nullptr;
    error.clear();
    auto owned = std::make_unique<Session>(static_cast<int>(socket));
    if (!serverName || !*serverName || !caFile || !*caFile || socket == kNoSocket) {
        error = "cannot start TLS: no server name, CA file or connection given";
        return Fail(EINVAL);
    }
    ERR_clear_error();
    Status status;
    owned->ssl = NewClient(serverName, caFile, error, status);
    if (!owned->ssl)
        return status;
    BIO* transport = BIO_new(SocketMethod());
    if (!transport) {
        error = "cannot start TLS: " + Reason(ERR_peek_last_error());
        return Fail(ENOMEM);
    }
    BIO_set_data(transport, owned.get());
    SSL_set_bio(owned->ssl, transport, transport);

    const Deadline deadline(timeoutMs);
    std::string why;
    for (;;) {
        ERR_clear_error();
        owned->lastErrno = 0;
        const int result = SSL_connect(owned->ssl);
        if (result == 1)
            break;
        status = Settle(*owned, SSL_get_error(owned->ssl, result), deadline, why);
        if (!status) {
            if (status.kind == ErrorKind::TimedOut)
                why = "timed out after " + std::to_string(timeoutMs) + " ms";
            error = "TLS handshake with [" + std::string(serverName) + "]: " + why;
            ERR_clear_error();
            return status;
        }
    }
    session = owned.release();
    return {};
}

Status TlsSend(TlsHandle handle, const void* data, std::size_t size, std::uint32_t timeoutMs, std::size_t& sent)
{
    sent = 0;
    if (!handle)
        return Fail(ENOTCONN);
    Session& session = *static_cast<Session*>(handle);
    const Deadline deadline(timeoutMs);
    const char* bytes = static_cast<const char*>(data);
    std::string why;
    while (sent < size) {
        ERR_clear_error();
        session.lastErrno = 0;
        // After a wait the same call is made again, as OpenSSL wants: `sent` has not moved.
        const int written = SSL_write(session.ssl, bytes + sent, static_cast<int>(std::min<std::size_t>(size - sent, INT_MAX)));
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            continue;
        }
        if (const Status waited = Settle(session, SSL_get_error(session.ssl, written), deadline, why); !waited)
            return waited;
    }
    return {};
}

Status TlsReceive(TlsHandle handle, void* buffer, std::size_t capacity, std::size_t& received, std::uint32_t timeoutMs)
{
    received = 0;
    if (!handle)
        return Fail(ENOTCONN);
    Session& session = *static_cast<Session*>(handle);
    const Deadline deadline(timeoutMs);
    std::string why;
    for (;;) {
        ERR_clear_error();
        session.lastErrno = 0;
        const int count = SSL_read(session.ssl, buffer, static_cast<int>(std::min<std::size_t>(capacity, INT_MAX)));
        if (count > 0) {
            received = static_cast<std::size_t>(count);
            return {};
        }
        const int code = SSL_get_error(session.ssl, count);
        if (code == SSL_ERROR_ZERO_RETURN)
            return {};  // close_notify
        if (const Status waited = Settle(session, code, deadline, why); !waited)
            return waited;
    }
}

void TlsClose(TlsHandle handle) noexcept
{
    if (!handle)
        return;
    std::unique_ptr<Session> session(static_cast<Session*>(handle));
    // close_notify goes when there is room for it soon; the peer's own is not awaited.
    const Deadline deadline(kCloseWaitMs);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_shutdown(session->ssl);
        if (result >= 0 || SSL_get_error(session->ssl, result) != SSL_ERROR_WANT_WRITE ||
            !AwaitReady(session->fd, POLLOUT, deadline))
            break;
    }
    ERR_clear_error();
}

}  // namespace Quorlin::os
