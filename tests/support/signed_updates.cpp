#include "signed_updates.h"

#include "about.h"
#include "hermetic.h"
#include "process_support.h"
#include "temp_drive.h"
#include "texts.h"

#include <stdlib.h>

#include <stdexcept>

namespace fs = std::filesystem;

namespace pulsaro::test {
namespace {

const std::string kRemoteSignature(texts::kRemoteSignature);

// What the vendor's scripts run besides bash.
const std::vector<std::string> kScriptTools = {"bash",   "openssl", "curl", "sha256sum", "cut",
                                               "mktemp", "cp",      "mv",   "rm",        "cmp"};

}  // namespace

const std::vector<SignedUpdateCase>& signedUpdateCases() {
    using S = Signature;
    constexpr const char* kNotSigned = "the update is not signed";
    constexpr const char* kMismatch = "the signature does not match";
    static const std::vector<SignedUpdateCase> cases = {
        {"SignedWithTheCurrentKey", S::ByCurrentKey},
        {"SignedWithTheBackupKey", S::ByBackupKey},
        {"NotSigned", S::None, {}, false, kNotSigned},
        {"SignedWithAnotherKey", S::ByUnknownKey, {}, false, kMismatch},
        {"GarbageSignature", S::Garbage, {}, false, "the signature is malformed"},
        {"OversizedSignatureReply", S::Oversized, {}, false, kNotSigned},
        {"SignatureTransferCut",
         S::ByCurrentKey,
         {.dropAfterBytes = 10, .dataFaultsOnlyOn = ".sig"},
         false,
         kNotSigned},
        {"SignatureTransferStalls",
         S::ByCurrentKey,
         {.stallAfterBytes = 10, .dataFaultsOnlyOn = ".sig"},
         false,
         kNotSigned},
        // The signature comes under the transfer's rules: whole by its stated size although the
        // final reply never comes; cut with no size stated and no final reply, it is none.
        {"SignatureWithoutFinalReply",
         S::ByCurrentKey,
         {.afterData = AfterData::Silence, .dataFaultsOnlyOn = ".sig"}},
        {"SignatureCutNoSizeStatedNoFinalReply",
         S::ByCurrentKey,
         {.dropAfterBytes = 10,
          .announceNoSize = true,
          .afterData = AfterData::Close,
          .dataFaultsOnlyOn = ".sig"},
         false,
         kNotSigned},
        {"ChangedByOneByteAfterSigning", S::ByCurrentKey, {}, true, kMismatch},
        // Before updates were signed, both hosts installed the cut file and said so.
        {"NoSizeStatedCutButReportedComplete",
         S::ByCurrentKey,
         {.announceNoSize = true, .cutAfterBytes = 1 << 20, .dataFaultsOnlyOn = ".exe"},
         false,
         kMismatch},
    };
    return cases;
}

std::string refusalLine(const SignedUpdateCase& c) {
    return R"(pulsaro_update: could not install "c:\pulsaro_zentra\_pulsaro\pulsaronew_zentra.exe")"
           " as the vendor's update: " +
           std::string(c.why);
}

fs::path testOnlyKey(const std::string& file) {
    return fs::path(PULSARO_SOURCE_DIR) / "tests" / "keys" / file;
}

ScriptRun runScript(const std::string& script, const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment) {
    const std::string path = pathHolding(kScriptTools);
    if (path.empty()) {
        throw std::runtime_error("the vendor's scripts need bash, openssl and curl installed");
    }
    std::vector<std::string> bashArguments{
        (fs::path(PULSARO_SOURCE_DIR) / "scripts" / script).string()};
    bashArguments.insert(bashArguments.end(), arguments.begin(), arguments.end());
    std::vector<std::string> changed = environment;
    changed.push_back("PATH=" + path);
    const Finished run = runToEnd(toolPath("bash"), bashArguments, changed);
    return {run.exitCode, run.output};
}

std::string vendorSignature(const fs::path& privateKey, const std::string& bytes) {
    std::string folder = (fs::temp_directory_path() / "pulsaro-sign-XXXXXX").string();
    if (!::mkdtemp(folder.data())) throw std::runtime_error("mkdtemp failed");
    const fs::path file = fs::path(folder) / "update.exe";
    writeFile(file, bytes);
    const ScriptRun signing = runScript("sign_update.sh", {privateKey.string(), file.string()});
    const std::string signature = signing.exitCode == 0 ? readFile(file.string() + ".sig") : "";
    fs::remove_all(folder);
    if (signing.exitCode != 0) throw std::runtime_error("sign_update.sh: " + signing.output);
    return signature;
}

void serveSignedUpdate(const FtpServer& server, const SignedUpdateCase& c, const std::string& app) {
    std::string served = app;
    if (c.changedAfterSigning)
        served[served.size() / 2] = static_cast<char>(~served[served.size() / 2]);
    server.putFile(texts::kRemoteFile, served);
    switch (c.signature) {
        case Signature::ByCurrentKey:
            return server.putFile(kRemoteSignature,
                                  vendorSignature(testOnlyKey("test_only_current.pem"), app));
        case Signature::ByBackupKey:
            return server.putFile(kRemoteSignature,
                                  vendorSignature(testOnlyKey("test_only_backup.pem"), app));
        case Signature::ByUnknownKey:
            return server.putFile(kRemoteSignature,
                                  vendorSignature(testOnlyKey("test_only_unknown.pem"), app));
        case Signature::None:
            return;
        case Signature::Garbage:
            return server.putFile(kRemoteSignature, patternBytes(70, 99));
        case Signature::Oversized:
            return server.putFile(kRemoteSignature, patternBytes(1 << 20, 98));
    }
}

bool askedForTheSignature(const FtpServer& server) {
    for (const std::string& command : server.commandsReceived()) {
        if (command.find("pulsaro_zentra.exe.sig") != std::string::npos) return true;
    }
    return false;
}

std::string fingerprintOf(const fs::path& publicKey) {
    const std::string path = pathHolding(kScriptTools);
    const Finished run =
        runToEnd(toolPath("bash"),
                 {"-c", "openssl pkey -pubin -in \"$0\" -outform DER | sha256sum | cut -c1-16",
                  publicKey.string()},
                 {"PATH=" + path});
    if (run.exitCode != 0) throw std::runtime_error("no fingerprint: " + run.output);
    return run.output.substr(0, 16);
}

std::string signedUpdaterVersion() {
    return "pulsaro_zentra_update.exe " + std::string(version()) +
           "\nUpdates are verified: this updater installs only what is signed with one of\n"
           "these keys (SHA-256 of each public key in DER, first 16 hex digits):\n"
           "  sha256:" +
           fingerprintOf(testOnlyKey("test_only_current.pub.pem")) +
           "\n  sha256:" + fingerprintOf(testOnlyKey("test_only_backup.pub.pem")) + "\n";
}

}  // namespace pulsaro::test
