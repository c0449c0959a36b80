// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "tests/support/temp_folder.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/dicom_file.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {
namespace {

namespace fs = std::filesystem;

using Outcome = test::SnrmapOutcome;

// The JSON text with its string literals taken out.
std::string outside_strings(const std::string& json)
{
    std::string rest;
    bool in_string = false;
    for (std::size_t k = 0; k < json.size(); ++k) {
        if (in_string) {
            if (json[k] == '\\')
                ++k;
            else if (json[k] == '"')
                in_string = false;
        } else if (json[k] == '"') {
            in_string = true;
        } else {
            rest += static_cast<char>(std::tolower(static_cast<unsigned char>(json[k])));
        }
    }
    return rest;
}

class SnrmapInputs : public ::testing::Test {
protected:
    test::TempFolder tmp;
    std::string out = tmp.file("out");

    Outcome run(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--out", out});
        return test::run_snrmap_here(args);
    }

    std::string series(const std::string& name, std::initializer_list<std::int16_t> values)
    {
        return test::write_series(tmp, name, values);
    }

    std::string dicom(const std::string& name, const StoredPixels& samples)
    {
        return test::write_dicom(tmp, name, samples);
    }

    std::string summary()
    {
        const auto bytes = test::read_bytes(out + "/summary.json");
        return std::string(bytes.begin(), bytes.end());
    }

    // A run that ends with the message, exit 1 and nothing written.
    void expect_failure(const std::vector<std::string>& args, const std::string& message)
    {
        const auto before = test::folder_entries(tmp.path());
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.code, 1) << message;
        EXPECT_EQ(outcome.err, message + "\n");
        EXPECT_EQ(test::folder_entries(tmp.path()), before) << message;
    }

    // A run that succeeds with only finite values in its planes and its summary.
    void expect_finite_output(const std::vector<std::string>& args)
    {
        fs::remove_all(out);
        const Outcome outcome = run(args);
        ASSERT_EQ(outcome.code, 0) << outcome.err;
        for (const auto& name : test::folder_entries(out)) {
            if (name.ends_with(".npy")) {
                const Plane plane = test::read_npy_plane(out + "/" + name);
                EXPECT_TRUE(std::all_of(plane.begin(), plane.end(), [](double v) { return std::isfinite(v); })) << name;
            }
        }
        const std::string numbers = outside_strings(summary());
        EXPECT_EQ(numbers.find("inf"), std::string::npos) << summary();
        EXPECT_EQ(numbers.find("nan"), std::string::npos) << summary();
    }
};

TEST_F(SnrmapInputs, NamesOfAnyBytesAreRead)
{
    const std::string japanese = series("撮像データ", {10, 12, 14});
    const std::string invalid = series("pi\xff\xfe", {10, 14, 18});
    out = tmp.file("結果\x80");
    ASSERT_EQ(run({"consecutive", japanese, invalid}).code, 0);
    EXPECT_NE(summary().find("\"nopi\": \"" + japanese + "\""), std::string::npos) << summary();
    EXPECT_NE(summary().find("\"pi\": \"" + tmp.path() + "/pi\\u00ff\\u00fe\""), std::string::npos) << summary();

    const std::string a = dicom("画像１.dcm", test::filled(100));
    const std::string b = dicom("image\xe3\x81.dcm", test::filled(90));  // a cut-off character
    fs::remove_all(out);
    ASSERT_EQ(run({"submap", a, b}).code, 0);
    EXPECT_NE(summary().find("\"nopi_1\": \"" + a + "\""), std::string::npos) << summary();
    EXPECT_NE(summary().find("image\\u00e3\\u0081.dcm"), std::string::npos) << summary();

    test::write_slice(tmp.file("生データ\xff.raw"), 100);  // no DICM marker
    expect_failure({"submap", a, tmp.file("生データ\xff.raw")},
                   "snrmap: " + tmp.file("生データ\xff.raw") + ": dicom画像ではありません!!");
}

TEST_F(SnrmapInputs, SpecialFilesGivenAsImagesNeverBlock)
{
    const std::string a = dicom("a.dcm", test::filled(100));
    ASSERT_EQ(::mkfifo(tmp.file("fifo").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(tmp.file("socket").size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, tmp.file("socket").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink("/dev/zero", tmp.file("zero"));
    fs::create_symlink(tmp.file("gone"), tmp.file("broken"));
    fs::create_symlink(tmp.file("loop"), tmp.file("loop"));
    tmp.folder("folder");
    std::string too_long = tmp.path();
    while (too_long.size() <= PATH_MAX)
        too_long += "/" + std::string(200, 'd');

    const std::pair<std::string, std::string> cases[] = {
        {tmp.file("fifo"), "dicom画像ではありません!!"},
        {tmp.file("socket"), "dicom画像ではありません!!"},
        {tmp.file("zero"), "dicom画像ではありません!!"},
        {"/dev/null", "dicom画像ではありません!!"},
        {tmp.file("folder"), "ファイルへのアクセスが拒否されました"},
        {tmp.file("broken"), "ファイルが見つかりません"},
        {tmp.file("loop"), "I/O エラー (1921)"},
        {too_long, "I/O エラー (206)"},
        {tmp.file(std::string(NAME_MAX + 1, 'n')), "I/O エラー (206)"},
    };
    for (const auto& [path, reason] : cases)
        expect_failure({"submap", a, path}, "snrmap: " + path + ": " + reason);
    ::close(sock);
}

TEST_F(SnrmapInputs, SlicesAndFoldersOfEveryKind)
{
    const std::string nopi = series("nopi", {10, 12, 14});
    const std::string with_fifo = series("with-fifo", {10, 12});
    ASSERT_EQ(::mkfifo((with_fifo + "/slice3").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(tmp.file("fifo").c_str(), 0600), 0);
    fs::create_symlink(tmp.file("gone"), tmp.file("broken"));
    fs::create_symlink(tmp.file("loop"), tmp.file("loop"));
    std::string too_long = tmp.path();
    while (too_long.size() <= PATH_MAX)
        too_long += "/" + std::string(200, 'd');
    // Ten thousand names of one empty file (links are made much faster than files): listed
    // whole, refused at the first.
    const std::string many = tmp.folder("many");
    test::write_bytes(tmp.file("empty"), {});
    for (int k = 0; k < 10000; ++k)
        ASSERT_EQ(::link(tmp.file("empty").c_str(), (many + "/" + std::to_string(k * 7919 % 10000)).c_str()), 0);

    // Each message names the file or folder as given: the slice, the input folder, the output.
    expect_failure({"consecutive", nopi, with_fifo}, "snrmap: " + with_fifo + "/slice3: I/O エラー (131)");
    expect_failure({"consecutive", tmp.file("fifo")},
                   "snrmap: " + tmp.file("fifo") + ": ファイル名の指定が間違っています");
    expect_failure({"consecutive", nopi, tmp.file("broken")},
                   "snrmap: " + tmp.file("broken") + ": ファイルが見つかりません");
    expect_failure({"consecutive", tmp.file("loop")}, "snrmap: " + tmp.file("loop") + ": I/O エラー (1921)");
    expect_failure({"consecutive", too_long}, "snrmap: " + too_long + ": I/O エラー (206)");
    expect_failure({"consecutive", many}, "snrmap: " + many + "/0: I/O エラー (131)");
    out = tmp.file("fifo");
    expect_failure({"consecutive", nopi}, "snrmap: " + out + ": ファイル名の指定が間違っています");
    out = too_long;
    expect_failure({"consecutive", nopi}, "snrmap: " + out + ": I/O エラー (206)");
}

TEST_F(SnrmapInputs, ExtremeValuesGiveFiniteOutputOrTheOverflowMessage)
{
    const std::string high = series("high", {32767, 32767, 32767});
    const std::string low = series("low", {-32768, -32768, -32768});
    const std::string wide = series("wide", {32767, -32768, 32767});
    const std::string wider = series("wider", {-32768, 32767, -32768, -32768});
    expect_finite_output({"consecutive", high, low});
    for (const char* r : {"1e-300", "1e300"})
        expect_finite_output({"consecutive", wide, wider, "--r", r});
    expect_finite_output(
        {"consecutive", wide, wider, "--scale-min", "1" + std::string(300, '0') + "." + std::string(98, '0') + "1"});
    expect_finite_output({"consecutive", wide, "--scale-step", "0." + std::string(398, '0') + "1"});

    StoredPixels checkerboard;
    for (int p = 0; p < plane_pixels; ++p)
        checkerboard[p] = (p / 256 + p % 256) % 2 == 0 ? 32767 : -32768;
    const std::string a = dicom("a.dcm", test::filled(32767));
    const std::string b = dicom("b.dcm", test::filled(-32768));
    const std::string c = dicom("c.dcm", checkerboard);
    for (const char* r : {"1e-300", "1e300"})
        expect_finite_output({"submap", a, c, c, b, "--r", r});

    fs::remove_all(out);
    const std::string overflow = "浮動小数点数のオーバーフロー";
    expect_failure({"consecutive", wide, wider, "--scale-step", "1e308"}, overflow);
    expect_failure({"consecutive", wide, "--scale-min", std::string(400, '9')}, overflow);
    expect_failure({"submap", a, c, c, b, "--scale-step", "1e308"}, overflow);
    expect_failure({"submap", a, c, "--scale-min", "-" + std::string(400, '9')}, overflow);
}

TEST_F(SnrmapInputs, ANewOutputFolderNamedAtTheLengthLimitIsMade)
{
    const std::string nopi = series("nopi", {10, 12, 14});
    out = tmp.file(std::string(NAME_MAX, 'o'));
    const Outcome outcome = run({"consecutive", nopi});
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_EQ(test::folder_entries(out).size(), 4u * 2 + 2);
    EXPECT_EQ(test::folder_entries(tmp.path()).size(), 2u);
}

}  // namespace
}  // namespace snr::snrmap
