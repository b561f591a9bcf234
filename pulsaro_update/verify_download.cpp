#include "host.h"
#include "layout.h"
#include "texts.h"
#include "update_form.h"

#include <string>

namespace pulsaro::update {
namespace {

// A DER signature of P-256 is 72 bytes at most; a reply much larger is no signature, and is
// refused before it is read.
constexpr std::int64_t kLongestSignatureReply = 512;

}  // namespace

using namespace pulsaro::layout;

std::string Form1::SignatureCommand() {
    std::string command = "get  ";
    command.append(texts::kRemoteSignature).append(" ").append(kSignatureTarget);
    return command;
}

bool Form1::VerifyDownload(Action& run) {
    if (updateKeys_.empty()) return true;
    const bool verified = run(CheckSignature());
    run(KillFiles(kSignatureTarget));
    return verified;
}

// One reason for each way a download fails to be the vendor's, in the words the diagnostic gives.
OpResult Form1::CheckSignature() {
    const FailureOf failure("CheckSignature", inQuotes(kDownloadTarget),
                            "install " + inQuotes(kDownloadTarget) + " as the vendor's update");
    std::int64_t length = 0;
    if (OpResult downloaded = FileLen(kDownloadTarget, length); !downloaded) return downloaded;
    Inet1.setMaximumSize(kLongestSignatureReply);
    OpResult fetched = Inet1.Execute(Inet1.URL(), SignatureCommand());
    if (fetched) fetched = WaitUntilIdle();
    Inet1.setMaximumSize(std::nullopt);
    std::string der;
    if (fetched) fetched = ReadSmallFile(kSignatureTarget, kLongestSignatureReply, der);
    if (!fetched) {
        return failure(FailedRule::NotSigned,
                       "the update is not signed: no signature came from the server (" +
                           fetched.reason() + ")");
    }
    const std::optional<P256Signature> signature = parseDerSignature(der);
    if (!signature) {
        return failure(FailedRule::MalformedSignature,
                       "the signature is malformed: not an ECDSA P-256 signature in DER");
    }
    const OpResult verified = VerifyFileSignature(kDownloadTarget, *signature, updateKeys_);
    if (verified.code() == ErrorCode::rule(FailedRule::SignatureMismatch)) {
        return failure(FailedRule::SignatureMismatch,
                       "the signature does not match: the download is not what one of the "
                       "vendor's keys signed");
    }
    if (!verified) return verified;
    return failure.success();
}

}  // namespace pulsaro::update
