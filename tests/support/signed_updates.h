#pragma once

// Signed updates, as the updaters built with the test-only keys (tests/keys) meet them on every
// host: one table of what the server holds beside the application and what must come of it.

#include "ftp_faults.h"
#include "ftp_server.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace pulsaro::test {

// What the server holds beside the application as its signature.
enum class Signature {
    ByCurrentKey,  // made with a key the updater holds
    ByBackupKey,   // made with the other key it holds
    ByUnknownKey,  // made with a key it does not hold
    None,
    Garbage,    // bytes that are no DER signature
    Oversized,  // a megabyte, where a signature has a few dozen bytes
};

struct SignedUpdateCase {
    const char* name;
    Signature signature;
    FtpFaults faults{};
    bool changedAfterSigning = false;  // one byte of the application changed once it was signed
    const char* why = nullptr;  // how the diagnostic line says why it was refused; none: installed
    bool installs() const { return why == nullptr; }
};

inline void PrintTo(const SignedUpdateCase& c, std::ostream* out) {
    *out << c.name;
}

const std::vector<SignedUpdateCase>& signedUpdateCases();

// A file of a test-only key pair in tests/keys: "test_only_current.pem", ...
std::filesystem::path testOnlyKey(const std::string& file);

// The signature a vendor makes of the bytes with a private key (scripts/sign_update.sh).
std::string vendorSignature(const std::filesystem::path& privateKey, const std::string& bytes);

// The line a refused update is said in by default, on every host: what could not be done and why.
std::string refusalLine(const SignedUpdateCase& c);

// Puts the application on the server, and beside it the signature the case gives it.
void serveSignedUpdate(const FtpServer& server, const SignedUpdateCase& c, const std::string& app);

// Whether a command the server received names the application's signature.
bool askedForTheSignature(const FtpServer& server);

// The fingerprint of a public key as --version gives it, made the way the documentation says.
std::string fingerprintOf(const std::filesystem::path& publicKey);

// What --version of the updater built with the test-only keys says, on every host.
std::string signedUpdaterVersion();

// A script of the repository's scripts/ run by bash to its end, with a PATH holding the tools it
// needs and nothing else of the test's environment changed.
struct ScriptRun {
    int exitCode = -1;
    std::string output;
};
ScriptRun runScript(const std::string& script, const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment = {});

}  // namespace pulsaro::test
