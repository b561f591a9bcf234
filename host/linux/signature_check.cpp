#include "host.h"
#include "operation_calls.h"
#include "readable_file.h"
#include "system_error.h"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace pulsaro {
namespace {

constexpr std::size_t kFieldBytes = 32;
constexpr std::size_t kDigestBytes = 32;

// A P-256 public key as OpenSSL reads it (SubjectPublicKeyInfo): this header, then X and Y.
constexpr unsigned char kKeyInfoHeader[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                            0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                            0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

struct OpenSslFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
    void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
    void operator()(BIGNUM* number) const { BN_free(number); }
};
template <class T>
using Owned = std::unique_ptr<T, OpenSslFree>;

// OpenSSL's reason for its last failure, which it then forgets.
OpResult openSslFailure(const FailureOf& fail, const char* call) {
    char text[256] = "no reason given";
    if (const unsigned long error = ERR_get_error()) ERR_error_string_n(error, text, sizeof text);
    ERR_clear_error();
    return fail(std::string(call) + " failed: " + text, ErrorCode::system(EPROTO));
}

OpResult sha256Of(int fd, const FailureOf& fail, unsigned char (&digest)[kDigestBytes]) {
    const Owned<EVP_MD_CTX> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return openSslFailure(fail, "EVP_DigestInit_ex");
    }
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return systemFailure(fail, errno);
        }
        if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got)) != 1) {
            return openSslFailure(fail, "EVP_DigestUpdate");
        }
    }
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1 || length != kDigestBytes) {
        return openSslFailure(fail, "EVP_DigestFinal_ex");
    }
    return OpResult::success();
}

// OpenSSL takes the signature in DER again; written from r and s, it is always well-formed.
std::vector<unsigned char> derOf(const P256Signature& signature) {
    const Owned<ECDSA_SIG> pair(ECDSA_SIG_new());
    Owned<BIGNUM> r(BN_bin2bn(signature.data(), kFieldBytes, nullptr));
    Owned<BIGNUM> s(BN_bin2bn(signature.data() + kFieldBytes, kFieldBytes, nullptr));
    if (!pair || !r || !s || ECDSA_SIG_set0(pair.get(), r.get(), s.get()) != 1) return {};
    r.release();  // the pair owns them now
    s.release();
    const int length = i2d_ECDSA_SIG(pair.get(), nullptr);
    if (length <= 0) return {};
    std::vector<unsigned char> der(static_cast<std::size_t>(length));
    unsigned char* out = der.data();
    i2d_ECDSA_SIG(pair.get(), &out);
    return der;
}

Owned<EVP_PKEY> keyOf(const P256PublicKey& key) {
    std::vector<unsigned char> info(std::begin(kKeyInfoHeader), std::end(kKeyInfoHeader));
    info.insert(info.end(), key.begin(), key.end());
    const unsigned char* in = info.data();
    return Owned<EVP_PKEY>(d2i_PUBKEY(nullptr, &in, static_cast<long>(info.size())));
}

// 1 when the key made the signature over the digest, 0 when it did not, -1 on OpenSSL's failure.
int verifiedBy(const P256PublicKey& key, const std::vector<unsigned char>& der,
               const unsigned char (&digest)[kDigestBytes]) {
    const Owned<EVP_PKEY> publicKey = keyOf(key);
    if (!publicKey) return -1;
    const Owned<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new(publicKey.get(), nullptr));
    if (!context || EVP_PKEY_verify_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) != 1) {
        return -1;
    }
    const int verified =
        EVP_PKEY_verify(context.get(), der.data(), der.size(), digest, kDigestBytes);
    return verified == 1 ? 1 : verified == 0 ? 0 : -1;
}

}  // namespace

OpResult VerifyFileSignature(std::string_view path, const P256Signature& signature,
                             std::span<const P256PublicKey> keys) noexcept {
    return runOperation(
        calls::verifyFileSignature(path), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            Fd in;
            if (OpResult opened = openFileToRead(path, fail, in); !opened) return opened;
            unsigned char digest[kDigestBytes];
            if (OpResult hashed = sha256Of(in.get(), fail, digest); !hashed) return hashed;
            const std::vector<unsigned char> der = derOf(signature);
            if (der.empty()) return openSslFailure(fail, "i2d_ECDSA_SIG");
            for (const P256PublicKey& key : keys) {
                const int verified = verifiedBy(key, der, digest);
                if (verified == 1) return fail.success();
                if (verified < 0) return openSslFailure(fail, "EVP_PKEY_verify");
                // A mismatch may leave an error on OpenSSL's queue, which is no failure of this
                // host.
                ERR_clear_error();
            }
            return fail(FailedRule::SignatureMismatch, "the signature does not match");
        });
}

}  // namespace pulsaro
