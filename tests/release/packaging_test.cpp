// The build as a packager and a user meet it: the installed tree and its launcher, the .deb and
// the .tar.gz, and a build that carries the vendor's files instead of the stand-ins.

#include "dist_files.h"
#include "hermetic.h"
#include "process_support.h"
#include "temp_drive.h"
#include "xvfb_display.h"

#include <QImage>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>

namespace fs = std::filesystem;
using namespace pulsaro::test;
using namespace std::chrono_literals;

namespace {

const fs::path kBuild = PULSARO_BUILD_DIR;
const std::string kVersion = PULSARO_VERSION;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        result.push_back(text.substr(start, end - start));
    }
    return result;
}

bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A program started and ended by the test, whatever happens in between.
class Started {
  public:
    Started(const fs::path& program, const std::vector<std::string>& environment,
            const fs::path& folder)
        : pid_(::fork()) {
        if (pid_ != 0) return;
        for (const std::string& entry : environment) ::putenv(const_cast<char*>(entry.c_str()));
        if (::chdir(folder.c_str()) == 0) ::execl(program.c_str(), program.c_str(), nullptr);
        ::_exit(127);
    }
    ~Started() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;

  private:
    pid_t pid_;
};

// The distribution folder's files as installed below a folder, and the regsvr32 stand-in.
std::vector<std::string> distributionIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const DistFile& f : kDistFiles) names.push_back(folder + f.source);
    names.push_back(folder + "setup_pulsaro_zentra");
    names.push_back(folder + "system_standins/regsvr32");
    return names;
}

TEST(Installed, TheLauncherStartsTheSetupFromItsPrivateFolderWhichInstallsTheTree) {
    XvfbDisplay x;
    const std::string launcherPath = pathHolding({"readlink", "dirname"});
    if (!x.running() || toolPath("xdotool").empty() || launcherPath.empty()) {
        GTEST_SKIP() << "needs Xvfb, xdotool and coreutils (Debian xvfb, xdotool)";
    }
    TempDrive t;
    const fs::path prefix = t.base() / "usr";
    const Finished install = runToEnd(PULSARO_CMAKE, {"--install", kBuild, "--prefix", prefix});
    ASSERT_EQ(install.exitCode, 0) << install.output;

    const fs::path privateFolder = prefix / "libexec" / "pulsaro-zentra";
    for (const std::string& file : distributionIn(privateFolder.string() + "/")) {
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    }
    EXPECT_EQ(listFolder(prefix / "bin"), std::vector<std::string>{"pulsaro-zentra-setup"})
        << "nothing else on PATH, the regsvr32 stand-in least of all";
    const QImage icon(QString::fromStdString(
        (prefix / "share/icons/hicolor/48x48/apps/pulsaro-zentra-setup.png").string()));
    EXPECT_EQ(icon.size(), QSize(48, 48));
    EXPECT_TRUE(fs::is_regular_file(prefix / "share/doc/pulsaro-zentra/copyright"));
    const fs::path entry = prefix / "share/applications/pulsaro-zentra-setup.desktop";
    if (const std::string validate = toolPath("desktop-file-validate"); !validate.empty()) {
        const Finished valid = runToEnd(validate, {entry});
        EXPECT_EQ(valid.exitCode, 0) << valid.output;
        EXPECT_EQ(valid.output, "");
    }
    EXPECT_TRUE(holds(readFile(entry), "\nExec=pulsaro-zentra-setup\n"));
    const Finished help = runToEnd(prefix / "bin" / "pulsaro-zentra-setup", {"--help"},
                                   {"PATH=" + launcherPath, "DISPLAY", "WAYLAND_DISPLAY"});
    EXPECT_EQ(help.exitCode, 0) << help.output;
    EXPECT_TRUE(help.output.starts_with("Usage: pulsaro-zentra-setup ["))
        << help.output << "the help names the command the user typed";

    // Started from elsewhere, as a menu starts it: the setup must still find its files.
    const Started setup(prefix / "bin" / "pulsaro-zentra-setup",
                        {"PATH=" + launcherPath, "DISPLAY=" + x.display(), "QT_QPA_PLATFORM=xcb",
                         "PULSARO_DRIVE_C=" + t.drive().string()},
                        t.base());
    const std::string window = x.waitForWindow("^Form1$", 30s);
    ASSERT_FALSE(window.empty()) << "the setup window did not open";
    x.xdotool({"mousemove", "--window", window, "76", "136", "click", "1"});  // Passo 1
    x.xdotool({"mousemove", "--window", window, "76", "192", "click", "1"});  // Passo 2
    const fs::path list = t.onDrive("windows/system32/pulsaro_registered_controls.txt");
    ASSERT_TRUE(eventually([&] { return linesOf(list).size() == 3; }, 30s))
        << "Passo 2 did not register the three controls with the stand-in";
    for (const DistFile& f : kDistFiles) {
        SCOPED_TRACE(f.installed);
        ASSERT_TRUE(fs::is_regular_file(t.onDrive(f.installed)));
        EXPECT_EQ(readFile(t.onDrive(f.installed)), readFile(privateFolder / f.source));
    }
}

TEST(Packages, TheDebHoldsTheInstallationWithItsDependenciesTheArchiveTheDistribution) {
    const std::string packagingPath =
        pathHolding({"dpkg", "dpkg-deb", "dpkg-shlibdeps", "objdump", "file", "tar"});
    if (packagingPath.empty()) {
        GTEST_SKIP() << "needs dpkg-dev, binutils and file to make a .deb";
    }
    TempDrive t;
    const fs::path out = t.base() / "packages";
    const std::vector<std::string> environment = {"PATH=" + packagingPath};
    const Finished made = runToEnd(
        PULSARO_CPACK, {"--config", kBuild / "CPackConfig.cmake", "-B", out.string()}, environment);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const Finished arch = runToEnd(toolPath("dpkg"), {"--print-architecture"}, environment);
    const fs::path deb =
        out / ("pulsaro-zentra_" + kVersion + "_" + lines(arch.output).at(0) + ".deb");
    const fs::path archive = out / ("pulsaro-zentra-" + kVersion + "-distribution.tar.gz");

    const auto field = [&](const char* name) {
        return runToEnd(toolPath("dpkg-deb"), {"--field", deb, name}, environment).output;
    };
    const std::string depends = field("Depends");
    for (const char* package :
         {"qt6-wayland", "fonts-liberation", "libqt6widgets6 (", "libcurl4 (", "libc6 ("}) {
        EXPECT_TRUE(holds(depends, package)) << package << " missing from " << depends;
    }
    EXPECT_EQ(field("Suggests"), "wine\n") << "our stand-ins need no Wine";

    const std::string contents =
        runToEnd(toolPath("dpkg-deb"), {"--contents", deb}, environment).output;
    std::vector<std::string> expected = distributionIn("./usr/libexec/pulsaro-zentra/");
    expected.insert(
        expected.end(),
        {"./usr/bin/pulsaro-zentra-setup", "./usr/share/applications/pulsaro-zentra-setup.desktop",
         "./usr/share/icons/hicolor/48x48/apps/pulsaro-zentra-setup.png",
         "./usr/share/doc/pulsaro-zentra/copyright"});
    for (const std::string& file : expected) {
        EXPECT_TRUE(holds(contents, " " + file + "\n")) << file;
    }
    EXPECT_FALSE(holds(contents, "./usr/bin/regsvr32"));

    const Finished listed = runToEnd(PULSARO_CMAKE, {"-E", "tar", "tf", archive});
    ASSERT_EQ(listed.exitCode, 0) << listed.output;
    std::vector<std::string> names = lines(listed.output);
    std::erase_if(names, [](const std::string& name) { return name.ends_with("/"); });
    std::vector<std::string> distribution =
        distributionIn("pulsaro-zentra-" + kVersion + "-distribution/");
    std::ranges::sort(names);
    std::ranges::sort(distribution);
    EXPECT_EQ(names, distribution);
}

TEST(VendorFiles, TakeThePlaceOfTheStandInsAndAMissingOneStopsTheConfiguration) {
    const std::string compilerPath = pathHolding({"as", "ld"});
    if (compilerPath.empty()) GTEST_SKIP() << "needs binutils to configure a build";
    TempDrive t;
    const fs::path vendor = t.base() / "vendor";
    fs::create_directories(vendor);
    // Files from a Windows machine come in any letter case.
    const std::map<std::string, std::string> files = {{"pulsaro_zentra.EXE", windowsProgramBytes()},
                                                      {"mswinsck.ocx", "vendor winsock"},
                                                      {"MSINET.OCX", "vendor inet"},
                                                      {"MSCOMCTL.OCX", "vendor comctl"},
                                                      {"AAA_QV.XLS", "vendor workbook"},
                                                      {"coordinate_minipad.txt", "vendor pad"},
                                                      {"pulsaro_tol.txt", "vendor tolerances"},
                                                      {"pulsaro_cfg_web2.txt", "vendor web"},
                                                      {"Buy.wav", "vendor buy"},
                                                      {"alarm.wav", "vendor alarm"}};
    for (const auto& [name, bytes] : files) writeFile(vendor / name, bytes);
    fs::rename(vendor / "alarm.wav", t.base() / "alarm.wav");
    const fs::path build = t.base() / "build";
    const std::vector<std::string> configure = {"-S",
                                                PULSARO_SOURCE_DIR,
                                                "-B",
                                                build.string(),
                                                "-G",
                                                PULSARO_GENERATOR,
                                                "-DCMAKE_MAKE_PROGRAM=" PULSARO_MAKE_PROGRAM,
                                                "-DCMAKE_CXX_COMPILER=" PULSARO_CXX_COMPILER,
                                                "-DBUILD_TESTING=OFF",
                                                "-DPULSARO_VENDOR_FILES_DIR=" + vendor.string()};
    const std::vector<std::string> environment = {"PATH=" + compilerPath};

    const Finished missing = runToEnd(PULSARO_CMAKE, configure, environment);
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_TRUE(holds(missing.output, "lacks: alarm.wav\n")) << missing.output;

    fs::rename(t.base() / "alarm.wav", vendor / "alarm.wav");
    const Finished configured = runToEnd(PULSARO_CMAKE, configure, environment);
    ASSERT_EQ(configured.exitCode, 0) << configured.output;
    // Only the vendor's files, which a plain build builds: the programs beside them are the same in
    // every build.
    const Finished built = runToEnd(
        PULSARO_CMAKE, {"--build", build.string(), "--target", "pulsaro_distribution_files"},
        environment);
    ASSERT_EQ(built.exitCode, 0) << built.output;
    for (const auto& file : files) {
        const QString name = QString::fromStdString(file.first);
        const auto same = std::ranges::find_if(kDistFiles, [&](const DistFile& f) {
            return name.compare(QString::fromUtf8(f.source), Qt::CaseInsensitive) == 0;
        });
        ASSERT_NE(same, kDistFiles.end()) << file.first;
        EXPECT_EQ(readFile(build / "dist" / same->source), file.second) << same->source;
    }
    EXPECT_TRUE(holds(readFile(build / "CPackConfig.cmake"),
                      "set(CPACK_DEBIAN_PACKAGE_RECOMMENDS \"wine\")"))
        << "the vendor's application is a Windows program: Wine is recommended";
}

// Only a build that cross-builds the Windows programs (or is given their build tree) has a .zip
// to look at; the sanitized build does not, and must not count that as a skip.
#ifdef PULSARO_WINDOWS_BUILD_DIR
// The .zip a Windows user receives: one folder with the two programs, the eleven files the setup
// installs, a readme that says what to do and the licence, both with Windows' line ends.
TEST(WindowsZip, HoldsTheDistributionAReadmeAndTheLicence) {
    const fs::path windowsBuild = PULSARO_WINDOWS_BUILD_DIR;
    TempDrive t;
    const fs::path out = t.base() / "packages";
    const Finished made = runToEnd(
        PULSARO_CPACK, {"--config", windowsBuild / "CPackConfig.cmake", "-B", out.string()});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string folder = "pulsaro-zentra-" + kVersion + "-windows/";
    const fs::path zip = out / ("pulsaro-zentra-" + kVersion + "-windows.zip");

    const Finished listed = runToEnd(PULSARO_CMAKE, {"-E", "tar", "tf", zip});
    ASSERT_EQ(listed.exitCode, 0) << listed.output;
    std::vector<std::string> names = lines(listed.output);
    std::erase_if(names, [](const std::string& name) { return name.ends_with("/"); });
    std::vector<std::string> expected;
    for (const char* name : {"setup_pulsaro_zentra.exe", "README.txt", "LICENSE.txt"}) {
        expected.push_back(folder + name);
    }
    for (const DistFile& f : kDistFiles) expected.push_back(folder + f.source);
    std::ranges::sort(names);
    std::ranges::sort(expected);
    EXPECT_EQ(names, expected);

    const Finished unpacked = runToEnd(PULSARO_CMAKE, {"-E", "tar", "xf", zip}, {}, t.base());
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.output;
    const std::string readme = readFile(t.base() / folder / "README.txt");
    for (const char* says :
         {"Unpack the whole .zip", "run setup_pulsaro_zentra.exe from there", "\"Passo 1\"",
          "\"Passo 2\"", "\"Avvia Pulsaro\"",
          "run C:\\pulsaro_zentra\\_pulsaro\\pulsaro_zentra_update.exe", "LICENSE.txt"}) {
        EXPECT_TRUE(holds(readme, says)) << says;
    }
    std::string licence = readFile(t.base() / folder / "LICENSE.txt");
    for (const std::string* text : std::initializer_list<const std::string*>{&readme, &licence}) {
        EXPECT_EQ(std::ranges::count(*text, '\n'), std::ranges::count(*text, '\r'))
            << "every line ends in CR LF";
    }
    std::erase(licence, '\r');
    EXPECT_EQ(licence, readFile(fs::path(PULSARO_SOURCE_DIR) / "LICENSE"));
}

// The .zip needs none of the test tools: a Windows build without the tests configures where
// GoogleTest is nowhere to be found (with the tests it does not), and can make the package.
TEST(WindowsZip, ItsBuildNeedsNoTestTools) {
    const std::string crossPath =
        pathHolding({"x86_64-w64-mingw32-g++-posix", "x86_64-w64-mingw32-windres", "python3"});
    ASSERT_FALSE(crossPath.empty()) << "the Windows build was made with mingw-w64";
    TempDrive t;
    for (const bool testing : {false, true}) {
        SCOPED_TRACE(testing ? "with the tests" : "without the tests");
        const fs::path build = t.base() / (testing ? "with" : "without");
        const Finished configured =
            runToEnd(PULSARO_CMAKE,
                     {"-S", PULSARO_SOURCE_DIR, "-B", build.string(), "-G", PULSARO_GENERATOR,
                      "-DCMAKE_MAKE_PROGRAM=" PULSARO_MAKE_PROGRAM,
                      "-DCMAKE_TOOLCHAIN_FILE=" PULSARO_SOURCE_DIR "/cmake/mingw-w64-x86_64.cmake",
                      testing ? "-DBUILD_TESTING=ON" : "-DBUILD_TESTING=OFF",
                      "-DPULSARO_GTEST_SOURCE_DIR=" + (t.base() / "no-googletest").string()},
                     {"PATH=" + crossPath});
        EXPECT_EQ(configured.exitCode == 0, !testing) << configured.output;
        if (!testing) {
            EXPECT_TRUE(holds(readFile(build / "build.ninja"), "\nbuild package: "));
        }
    }
}
#endif

}  // namespace
