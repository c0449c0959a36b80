// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "core/errors.h"
#include "tests/support/temp_folder.h"
#include "core/modules.h"
#include "tools/snrmap/report_module.h"

namespace snr {
namespace {

// The failure of loading the module NAME from FOLDER: its file, then the text.
std::pair<std::string, std::string> refusal(const std::string& folder, const std::string& name)
{
    ::setenv("SNR_MAPS_MODULES", folder.c_str(), 1);
    std::pair<std::string, std::string> failure;
    try {
        load_module(name);
    } catch (const Error& error) {
        failure = {error.subject(), error.what()};
    }
    ::unsetenv("SNR_MAPS_MODULES");
    return failure;
}

TEST(Modules, AModuleIsFoundByItsNameAndOneOfAnotherVersionOrNoneIsRefusedNamingIt)
{
    // Where this program lies no module is installed: those of the build tree are found.
    EXPECT_NE(snrmap::report_module().report_pdf, nullptr);
    EXPECT_EQ(&snrmap::report_module(), &snrmap::report_module());  // loaded once
    EXPECT_NE(find_module("snr-codecs"), nullptr);

    const std::string other = OTHER_VERSION_MODULE_FOLDER;
    EXPECT_EQ(refusal(other, "snrmap-other"),
              std::pair(other + "/snrmap-other.so", std::string("cannot load a module: not a module of snr-maps " SNRMAP_TEST_VERSION)));
    test::TempFolder tmp;
    EXPECT_EQ(refusal(tmp.path(), "snrmap-report").first, tmp.path() + "/snrmap-report.so");
    test::write_bytes(tmp.file("snrmap-report.so"), {'n', 'o', 't', ' ', 'E', 'L', 'F'});
    const auto [file, text] = refusal(tmp.path(), "snrmap-report");
    EXPECT_EQ(file, tmp.path() + "/snrmap-report.so");
    EXPECT_TRUE(text.starts_with("cannot load a module: ")) << text;
    EXPECT_EQ(find_module("snr-other"), nullptr);
}

}  // namespace
}  // namespace snr
