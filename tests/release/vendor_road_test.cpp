// The vendor's road to a signed update: a key pair made by scripts/make_update_key.sh, a build
// that takes only public keys of the right kind (cmake/update_keys.cmake), and an update
// published by scripts/publish_update.sh on a server that takes uploads.

#include "ftp_server.h"
#include "hermetic.h"
#include "process_support.h"
#include "signed_updates.h"
#include "temp_drive.h"
#include "texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pulsaro;
using namespace pulsaro::test;

namespace {

bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(VendorScripts, EachExplainsItselfWhenAskedForHelp) {
    for (const char* script : {"make_update_key.sh", "sign_update.sh", "publish_update.sh"}) {
        const ScriptRun run = runScript(script, {"--help"});
        EXPECT_EQ(run.exitCode, 0) << script;
        EXPECT_TRUE(run.output.starts_with(std::string("Usage: ") + script + " ")) << run.output;
    }
    // The defaults of the publishing script are the product's own (the scheme in lower case).
    const std::string help = runScript("publish_update.sh", {"--help"}).output;
    const std::string remote(texts::kRemoteFile);
    for (const std::string& part : {"default ftp" + std::string(texts::kServerUrl.substr(3)) + ")",
                                    "default " + std::string(texts::kUserName),
                                    "default " + remote.substr(0, remote.rfind('/')) + ")"}) {
        EXPECT_TRUE(holds(help, part)) << part << "\n" << help;
    }
}

TEST(MakeUpdateKey, MakesAPrivateKeyOnlyItsOwnerReadsAndNeverOverwritesOne) {
    TempDrive t;
    const fs::path name = t.base() / "vendor_current";
    const ScriptRun made = runScript("make_update_key.sh", {name.string()});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const fs::path publicKey = name.string() + ".pub.pem";
    EXPECT_EQ(fs::status(name.string() + ".pem").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(holds(made.output, "fingerprint: sha256:" + fingerprintOf(publicKey)))
        << made.output;

    const std::string privateKey = readFile(name.string() + ".pem");
    const ScriptRun again = runScript("make_update_key.sh", {name.string()});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(readFile(name.string() + ".pem"), privateKey);
}

// The configuration reads each key file the way a build with PULSARO_UPDATE_PUBLIC_KEYS does,
// and refuses, naming it, every file that is not an ECDSA P-256 public key.
TEST(UpdateKeys, TheBuildTakesOnlyP256PublicKeysAndNamesAnyOtherFile) {
    TempDrive t;
    const fs::path script = t.base() / "read_keys.cmake";
    writeFile(script, "include(" PULSARO_SOURCE_DIR
                      "/cmake/update_keys.cmake)\n"
                      "pulsaro_update_keys_source(${CMAKE_CURRENT_BINARY_DIR}/keys.cpp ${KEYS})\n");
    const std::string current = testOnlyKey("test_only_current.pub.pem").string();
    const std::string backup = testOnlyKey("test_only_backup.pub.pem").string();
    std::string offCurve = readFile(current);
    offCurve[60] = offCurve[60] == 'A' ? 'B' : 'A';  // one digit of the point's X changed
    writeFile(t.base() / "off_curve.pub.pem", offCurve);
    const fs::path p384 = t.base() / "p384.pem";
    const std::string tools = pathHolding({"openssl"});
    ASSERT_EQ(runToEnd(toolPath("bash"),
                       {"-c",
                        "openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 | "
                        "openssl pkey -pubout -out \"$0\"",
                        p384.string()},
                       {"PATH=" + tools})
                  .exitCode,
              0);
    writeFile(t.base() / "text.pem", "a public key, honestly\n");
    struct Case {
        std::vector<std::string> keys;
        const char* why;  // nothing: taken
    };
    const Case cases[] = {
        {{current, backup}, nullptr},
        {{testOnlyKey("test_only_current.pem").string()},
         "does not start with -----BEGIN PUBLIC KEY"},
        {{(t.base() / "off_curve.pub.pem").string()}, "openssl cannot read it"},
        {{p384.string()}, "another kind or curve"},
        {{(t.base() / "text.pem").string()}, "does not start with -----BEGIN PUBLIC KEY"},
        {{(t.base() / "absent.pem").string()}, "there is no such file"},
        {{current, current}, "is the same key as"},
    };
    for (const Case& c : cases) {
        std::string keys;
        for (const std::string& key : c.keys) keys += (keys.empty() ? "" : ";") + key;
        SCOPED_TRACE(keys);
        fs::remove(t.base() / "keys.cpp");
        const Finished run = runToEnd(PULSARO_CMAKE, {"-DKEYS=" + keys, "-P", script.string()},
                                      {"PATH=" + tools}, t.base());
        // CMake folds long messages; the words are what count.
        std::string said = run.output;
        std::replace(said.begin(), said.end(), '\n', ' ');
        std::erase(said, ' ');
        if (!c.why) {
            EXPECT_EQ(run.exitCode, 0) << run.output;
            const std::string source = readFile(t.base() / "keys.cpp");
            EXPECT_TRUE(holds(source, "std::array<P256PublicKey, 2>")) << source;
            continue;
        }
        EXPECT_NE(run.exitCode, 0);
        std::string why = c.why;
        std::erase(why, ' ');
        EXPECT_TRUE(holds(said, why) && holds(said, c.keys.back())) << run.output;
        EXPECT_FALSE(fs::exists(t.base() / "keys.cpp"));
    }
}

// An update reaches its final names only once both files are on the server whole; a server that
// stores other bytes than were sent, and a signature the public key does not check, publish
// nothing, and the update already published stays.
TEST(PublishUpdate, PutsTheUpdateInPlaceOnlyWhenBothFilesAreUpWhole) {
    struct Case {
        const char* name;
        FtpFaults faults;
        const char* privateKey;
        const char* says;
        bool publishes;
    };
    const Case cases[] = {
        {"a sound server", {.allowUploads = true}, "test_only_current.pem", "published", true},
        {"a server that corrupts what it stores",
         {.allowUploads = true, .corruptUploads = true},
         "test_only_current.pem",
         "the upload was corrupted",
         false},
        {"signed with a key other than the public key given",
         {.allowUploads = true},
         "test_only_unknown.pem",
         "does not sign",
         false},
    };
    const std::string remote(texts::kRemoteFile);
    const std::string remoteName = remote.substr(remote.rfind('/') + 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive t;
        const fs::path update = t.base() / "Pulsaro_zentra.exe";
        const std::string app = patternBytes(1 << 20, 71);
        writeFile(update, app);
        ASSERT_EQ(runScript("sign_update.sh", {testOnlyKey(c.privateKey).string(), update.string()})
                      .exitCode,
                  0);
        FtpServer server(c.faults);
        server.putFile(remote, "the update published before");
        server.putFile(texts::kRemoteSignature, "its signature");
        const fs::path folder = server.root() / fs::path(remote).relative_path().parent_path();

        const ScriptRun run =
            runScript("publish_update.sh",
                      {"--server", server.url(), testOnlyKey("test_only_current.pub.pem").string(),
                       update.string()});

        EXPECT_EQ(run.exitCode, c.publishes ? 0 : 1) << run.output;
        EXPECT_TRUE(holds(run.output, c.says)) << run.output;
        EXPECT_EQ(listFolder(folder), (std::vector<std::string>{remoteName, remoteName + ".sig"}))
            << "no upload is left under its temporary name";
        EXPECT_TRUE(readFile(folder / remoteName) ==
                    (c.publishes ? app : "the update published before"));
        EXPECT_EQ(readFile(folder / (remoteName + ".sig")),
                  c.publishes ? readFile(update.string() + ".sig") : "its signature");
        // Both uploads went to temporary names, and were complete, before either was renamed.
        const std::vector<std::string> commands = server.commandsReceived();
        const auto firstRename = std::ranges::find_if(
            commands, [](const std::string& command) { return command.starts_with("RNTO "); });
        EXPECT_EQ(std::count_if(commands.begin(), firstRename,
                                [](const std::string& command) {
                                    return command.starts_with("STOR ") &&
                                           holds(command, ".uploading-");
                                }),
                  c.publishes || c.faults.corruptUploads ? 2 : 0);
        EXPECT_EQ(std::ranges::count_if(commands,
                                        [&](const std::string& command) {
                                            return command.starts_with("STOR ") &&
                                                   !holds(command, ".uploading-");
                                        }),
                  0);
        EXPECT_EQ(firstRename != commands.end(), c.publishes);
    }
}

}  // namespace
