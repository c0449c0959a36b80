// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/errors.h"
#include "tests/support/temp_folder.h"
#include "tools/snrmap/modules.h"
#include "tools/snrmap/report_module.h"

namespace snr::snrmap {
namespace {

// The failure of loading the module NAME from FOLDER.
std::string refusal(const std::string& folder, const std::string& name)
{
    const std::string before = std::getenv("SNRMAP_MODULES") != nullptr ? std::getenv("SNRMAP_MODULES") : "";
    ::setenv("SNRMAP_MODULES", folder.c_str(), 1);
    std::string failure;
    try {
        load_module(name);
    } catch (const Error& error) {
        failure = error.what();
    }
    ::setenv("SNRMAP_MODULES", before.c_str(), 1);
    return failure;
}

TEST(Modules, AModuleIsFoundByItsNameAndOneOfAnotherSnrmapOrNoneIsRefusedNamingIt)
{
    ::setenv("SNRMAP_MODULES", SNRMAP_MODULES, 1);
    EXPECT_NE(report_module().report_pdf, nullptr);
    EXPECT_EQ(&report_module(), &report_module());  // loaded once

    const std::string other = OTHER_VERSION_MODULE_FOLDER;
    EXPECT_EQ(refusal(other, "snrmap-other"), "snrmap: cannot load a module: " + other +
                                                  "/snrmap-other.so: not a module of snrmap " SNRMAP_TEST_VERSION);
    test::TempFolder tmp;
    EXPECT_EQ(refusal(tmp.path(), "snrmap-report")
                  .rfind("snrmap: cannot load a module: " + tmp.path() + "/snrmap-report.so: ", 0),
              0u);
    test::write_bytes(tmp.file("snrmap-report.so"), {'n', 'o', 't', ' ', 'E', 'L', 'F'});
    EXPECT_EQ(refusal(tmp.path(), "snrmap-report")
                  .rfind("snrmap: cannot load a module: " + tmp.path() + "/snrmap-report.so: ", 0),
              0u);
}

}  // namespace
}  // namespace snr::snrmap
