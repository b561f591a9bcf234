#include "host.h"
#include "operation_calls.h"
#include "readable_file.h"
#include "system_error.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace pulsaro {
namespace {

constexpr std::size_t kFieldBytes = 32;
constexpr ULONG kDigestBytes = 32;
// What BCryptVerifySignature answers for a signature the key did not make.
constexpr NTSTATUS kInvalidSignature = static_cast<NTSTATUS>(0xC000A000L);

// An algorithm provider, key or hash of CNG, released however the function leaves.
class Provider {
  public:
    explicit Provider(const wchar_t* algorithm)
        : status_(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0)) {}
    ~Provider() {
        if (BCRYPT_SUCCESS(status_)) BCryptCloseAlgorithmProvider(handle_, 0);
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    NTSTATUS status() const { return status_; }
    BCRYPT_ALG_HANDLE get() const { return handle_; }

  private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
    NTSTATUS status_;
};

struct KeyHandle {
    BCRYPT_KEY_HANDLE handle = nullptr;
    ~KeyHandle() {
        if (handle) BCryptDestroyKey(handle);
    }
};

struct HashHandle {
    BCRYPT_HASH_HANDLE handle = nullptr;
    ~HashHandle() {
        if (handle) BCryptDestroyHash(handle);
    }
};

OpResult cngFailure(const FailureOf& fail, const char* call, NTSTATUS status) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed with status 0x%08lX", call,
                  static_cast<unsigned long>(status));
    return fail(text, ErrorCode::system(static_cast<long>(status)));
}

OpResult sha256Of(HANDLE file, const FailureOf& fail, UCHAR (&digest)[kDigestBytes]) {
    const Provider sha256(BCRYPT_SHA256_ALGORITHM);
    if (!BCRYPT_SUCCESS(sha256.status())) {
        return cngFailure(fail, "BCryptOpenAlgorithmProvider", sha256.status());
    }
    HashHandle hash;
    if (const NTSTATUS status =
            BCryptCreateHash(sha256.get(), &hash.handle, nullptr, 0, nullptr, 0, 0);
        !BCRYPT_SUCCESS(status)) {
        return cngFailure(fail, "BCryptCreateHash", status);
    }
    constexpr DWORD kPiece = 1 << 20;
    std::vector<UCHAR> buffer(kPiece);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data(), kPiece, &got, nullptr)) {
            return systemFailure(fail, GetLastError());
        }
        if (got == 0) break;
        if (const NTSTATUS status = BCryptHashData(hash.handle, buffer.data(), got, 0);
            !BCRYPT_SUCCESS(status)) {
            return cngFailure(fail, "BCryptHashData", status);
        }
    }
    if (const NTSTATUS status = BCryptFinishHash(hash.handle, digest, kDigestBytes, 0);
        !BCRYPT_SUCCESS(status)) {
        return cngFailure(fail, "BCryptFinishHash", status);
    }
    return OpResult::success();
}

// The key as CNG imports it: a blob header, then X and Y.
std::vector<UCHAR> publicKeyBlob(const P256PublicKey& key) {
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kFieldBytes};
    std::vector<UCHAR> blob(sizeof header);
    std::memcpy(blob.data(), &header, sizeof header);
    blob.insert(blob.end(), key.begin(), key.end());
    return blob;
}

}  // namespace

OpResult VerifyFileSignature(std::string_view path, const P256Signature& signature,
                             std::span<const P256PublicKey> keys) noexcept {
    return runOperation(
        calls::verifyFileSignature(path), kOutOfMemory, [&](const FailureOf& fail) -> OpResult {
            Handle in;
            if (OpResult opened = openFileToRead(path, fail, in); !opened) return opened;
            UCHAR digest[kDigestBytes];
            if (OpResult hashed = sha256Of(in.get(), fail, digest); !hashed) return hashed;
            const Provider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
            if (!BCRYPT_SUCCESS(ecdsa.status())) {
                return cngFailure(fail, "BCryptOpenAlgorithmProvider", ecdsa.status());
            }
            // CNG reads the signature as r then s, the form it is given in.
            std::vector<UCHAR> rs(signature.begin(), signature.end());
            for (const P256PublicKey& key : keys) {
                std::vector<UCHAR> blob = publicKeyBlob(key);
                KeyHandle imported;
                if (const NTSTATUS status = BCryptImportKeyPair(
                        ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &imported.handle, blob.data(),
                        static_cast<ULONG>(blob.size()), 0);
                    !BCRYPT_SUCCESS(status)) {
                    return cngFailure(fail, "BCryptImportKeyPair", status);
                }
                const NTSTATUS status =
                    BCryptVerifySignature(imported.handle, nullptr, digest, kDigestBytes, rs.data(),
                                          static_cast<ULONG>(rs.size()), 0);
                if (BCRYPT_SUCCESS(status)) return fail.success();
                if (status != kInvalidSignature) {
                    return cngFailure(fail, "BCryptVerifySignature", status);
                }
            }
            return fail(FailedRule::SignatureMismatch, "the signature does not match");
        });
}

}  // namespace pulsaro
