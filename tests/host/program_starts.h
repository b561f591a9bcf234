#pragma once

// A drive with the recorder (args_recorder) at c:\tools\Recorder.exe, and what the programs the
// tests start through it record, for the tests of Shell on every host.

#include "common_support.h"
#include "temp_drive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace pulsaro::test {

inline std::filesystem::path recorderProgram() {
    return helperProgram("args_recorder");
}

// What the recorder wrote to `output`, once it holds the given text, or whatever is there at the
// deadline.
inline std::string recordHolding(const std::filesystem::path& output, const std::string& text) {
    std::string record;
    eventually([&] {
        record = std::filesystem::exists(output) ? readFile(output) : "";
        return record.find(text) != std::string::npos;
    });
    return record;
}

class ProgramStarts : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(drive.onDrive("tools"));
        std::filesystem::copy_file(recorderProgram(), drive.onDrive("tools/Recorder.exe"));
    }

    std::string recordHolding(const std::string& text) const {
        return test::recordHolding(output, text);
    }

    TempDrive drive;
    const std::filesystem::path output = drive.base() / "record.txt";
    ScopedEnv outputEnv_{"RECORDER_OUTPUT", output.string()};
};

}  // namespace pulsaro::test
