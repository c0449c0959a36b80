// SPDX-License-Identifier: BSD-3-Clause
// snrmap and the results history: --record, `history`, `trend` through the module, as a user
// runs them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {
namespace {

using Outcome = test::SnrmapOutcome;

class SnrmapHistory : public ::testing::Test {
protected:
    test::TempFolder tmp;
    std::string out = tmp.file("out");
    std::string db = "sqlite:" + tmp.file("history.sqlite");

    void SetUp() override
    {
        ::unsetenv("SNR_MAPS_DB");
    }

    static Outcome run(const std::vector<std::string>& args) { return test::run_snrmap_here(args); }

    // A folder of DICOM slices of one scanner, every pixel of a slice holding its value.
    std::string series(const std::string& name, std::initializer_list<std::int16_t> values)
    {
        const std::string folder = tmp.folder(name);
        test::DicomOptions options;
        options.manufacturer = "Maker";
        options.model = "Model 3T";
        int k = 0;
        for (std::int16_t value : values)
            test::write_dicom(folder + "/IM" + std::to_string(++k), test::filled(value), options);
        return folder;
    }

    // Two recorded runs of the consecutive method; the second's SNR is a third lower.
    void record_two(const std::vector<std::string>& where)
    {
        const std::string nopi = series("nopi", {100, 110, 90, 100}), pi = series("pi", {100, 120, 80, 100});
        const std::string worse = series("worse", {100, 115, 85, 100});
        for (const auto& [folder, output] : {std::pair{nopi, out}, std::pair{worse, tmp.file("out2")}}) {
            std::vector<std::string> args{"consecutive", folder, pi, "--out", output, "--record"};
            args.insert(args.end(), where.begin(), where.end());
            const Outcome recorded = run(args);
            ASSERT_EQ(recorded.code, 0) << recorded.err;
        }
    }
};

TEST_F(SnrmapHistory, RecordsTheRunWithTheDigestsOfItsFiles)
{
    const std::string nopi = series("nopi", {100, 110, 90, 100}), pi = series("pi", {100, 120, 80, 100});
    const Outcome recorded = run({"consecutive", nopi, pi, "--out", out, "--record", "--db", db, "--roi", "10,10,5,5"});
    ASSERT_EQ(recorded.code, 0) << recorded.err;
    EXPECT_EQ(recorded.out, "run 1 recorded in " + db + "\n");
    EXPECT_EQ(recorded.err, "");

    const Outcome listed = run({"history", "--db", db, "--format", "csv"});
    EXPECT_EQ(listed.code, 0);
    EXPECT_NE(listed.out.find(",snrmap " SNRMAP_TEST_VERSION ",consecutive,true,2,60,20,Maker,Model 3T,,,,,,,0," + out +
                              "\n"),
              std::string::npos)
        << listed.out;

    // Every plane file, by a SHA-256 of another implementation.
    int files = 0;
    int argc = 1;
    char name[] = "test", *argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);  // snrmap's ended with its command
    {
        QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "digests");
        database.setDatabaseName(QString::fromStdString(tmp.file("history.sqlite")));
        ASSERT_TRUE(database.open());
        QSqlQuery query("SELECT name, sha256 FROM plane_files", database);
        while (query.next()) {
            QFile file(QString::fromStdString(out) + "/" + query.value(0).toString());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << query.value(0).toString().toStdString();
            EXPECT_EQ(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex(),
                      query.value(1).toString().toLatin1());
            ++files;
        }
    }
    QSqlDatabase::removeDatabase("digests");
    EXPECT_EQ(files, 18);  // nine planes with the g-factor, a picture and a raw file each
}

TEST_F(SnrmapHistory, ARefusedRunRecordsNothingAndAFailedRecordingComesLast)
{
    const std::string nopi = series("nopi", {100, 110, 90, 100}), pi = series("pi", {100, 120, 80, 100});
    const Outcome refused = run({"consecutive", nopi, pi, "--out", out, "--r", "0", "--record", "--db", db});
    EXPECT_EQ(refused.code, 1);
    EXPECT_FALSE(std::filesystem::exists(tmp.file("history.sqlite")));

    test::write_bytes(tmp.file("history.sqlite"), std::vector<std::uint8_t>(2048, 'x'));
    const Outcome failed = run({"consecutive", nopi, pi, "--out", out, "--record", "--db", db});
    EXPECT_EQ(failed.code, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "snrmap: history database " + db + ": cannot open: file is not a database\n");
    EXPECT_TRUE(std::filesystem::exists(out + "/summary.json"));
    EXPECT_TRUE(std::filesystem::exists(out + "/gfactor_map.npy"));

    // Without its module snrmap does not start a run it could not record (a program of its
    // own: this one has loaded the module).
    const std::string unloaded = "SNR_MAPS_MODULES=" + tmp.path() + " " + SNRMAP_EXECUTABLE + " consecutive " + nopi +
                                 " " + pi + " --out " + tmp.file("out2") + " --record 2>" + tmp.file("err.txt");
    EXPECT_EQ(WEXITSTATUS(std::system(unloaded.c_str())), 1);
    const auto message = test::read_bytes(tmp.file("err.txt"));
    EXPECT_EQ(std::string(message.begin(), message.end())
                  .rfind("snrmap: " + tmp.path() + "/snrmap-history.so: cannot load a module: ", 0),
              0u);
    EXPECT_FALSE(std::filesystem::exists(tmp.file("out2")));
}

TEST_F(SnrmapHistory, ListsAndFollowsRunsInTheUsersOwnHistory)
{
    ::setenv("XDG_DATA_HOME", tmp.file("data").c_str(), 1);
    record_two({});
    EXPECT_TRUE(std::filesystem::exists(tmp.file("data/snr-maps/history.sqlite")));

    const Outcome listed = run({"history", "--scanner", "maker"});
    EXPECT_EQ(listed.code, 0);
    EXPECT_EQ(listed.out.substr(0, listed.out.find('\n')),
              "run  time                       method       R  scanner         coil  protocol  notices  output");
    EXPECT_EQ(listed.out.find("\n2  "), listed.out.find('\n'));  // newest first
    EXPECT_EQ(run({"history", "--coil", "body"}).out.find('\n') + 1, run({"history", "--coil", "body"}).out.size());

    const Outcome beyond = run({"trend", "--item", "snr_nopi", "--tolerance", "5"});
    EXPECT_EQ(beyond.code, exit_beyond) << beyond.err;
    EXPECT_NE(beyond.out.find("baseline: run 1 ("), std::string::npos) << beyond.out;
    EXPECT_NE(beyond.out.find("beyond\n"), std::string::npos) << beyond.out;
    const Outcome within = run({"trend", "--item", "snr_nopi", "--tolerance", "50", "--format", "csv"});
    EXPECT_EQ(within.code, 0);
    EXPECT_EQ(within.out.substr(0, within.out.find('\n')), "run,time,value,change_percent,beyond");
    const Outcome missing = run({"trend", "--item", "snr_none"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find(": no recorded run has the item 'snr_none'\n"), std::string::npos) << missing.err;

    // The variable names another history.
    ::setenv("SNR_MAPS_DB", db.c_str(), 1);
    EXPECT_EQ(run({"history", "--format", "json"}).err, "snrmap: no history at " + db + "\n");
    ::setenv("SNR_MAPS_DB", "mysql://db/h", 1);
    EXPECT_EQ(run({"history"}).err.rfind("snrmap: SNR_MAPS_DB: database URL 'mysql://db/h': ", 0), 0u);
    ::unsetenv("SNR_MAPS_DB");
    ::unsetenv("XDG_DATA_HOME");
}

// Texts of any length are kept whole; hostile ones reach a table only as visible escapes.
TEST_F(SnrmapHistory, KeepsLongTextsWholeAndShowsControlCharactersAsEscapes)
{
    std::string description;
    while (description.size() < 10000)
        description += "ﾍｯﾄﾞ 32ch ";
    description += "end";  // DICOM pads a text with a blank, which is not kept
    const std::string hostile = "QA\x1b]0;owned\x07\r\nfake row\xe2\x80\xae";
    const std::string folder = tmp.folder("nopi");
    test::DicomOptions options;
    options.series_description = description;
    options.elements = {{0x0018, 0x1030, hostile}};  // Protocol Name
    for (std::int16_t value : {100, 110, 90, 100})
        test::write_dicom(folder + "/IM" + std::to_string(value), test::filled(value), options);
    ASSERT_EQ(run({"consecutive", folder, "--out", out, "--record", "--db", db}).code, 0);

    const auto summary = test::read_bytes(out + "/summary.json");
    EXPECT_NE(std::string(summary.begin(), summary.end()).find(description), std::string::npos);
    EXPECT_NE(run({"history", "--db", db, "--format", "csv"}).out.find(description), std::string::npos);
    const std::string table = run({"history", "--db", db}).out;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2) << table;
    EXPECT_EQ(table.find_first_of("\x1b\x07\r"), std::string::npos) << table;
    EXPECT_NE(table.find("QA\\x1B]0;owned\\x07\\x0D\\x0Afake row\\u202E"), std::string::npos) << table;
}

// Reading makes nothing: a history that is not there is named, and its folder is not made.
TEST_F(SnrmapHistory, ReadingAMissingHistorySaysSoAndMakesNothing)
{
    const std::string nowhere = "sqlite:" + tmp.file("no/such/history.sqlite");
    for (const char* command : {"history", "trend"}) {
        std::vector<std::string> args{command, "--db", nowhere};
        if (std::string(command) == "trend")
            args.insert(args.end(), {"--item", "snr_nopi"});
        const Outcome missing = run(args);
        EXPECT_EQ(missing.code, 1);
        EXPECT_EQ(missing.err, "snrmap: no history at " + nowhere + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(tmp.file("no")));

    record_two({"--db", db});
    const Outcome absent = run({"trend", "--item", "snr_nopi", "--baseline", "999", "--db", db});
    EXPECT_EQ(absent.err, "snrmap: history database " + db + ": no run 999 in the history\n");
}

// The chart, drawn by the program itself (it makes a graphical application of its own): its
// table shows each run as the text table does.
TEST_F(SnrmapHistory, DrawsTheTrendAsAPdf)
{
    record_two({"--db", db});
    const std::string pdf = tmp.file("trend.pdf");
    const std::string command = std::string(SNRMAP_EXECUTABLE) + " trend --item snr_nopi --tolerance 5 --db '" + db +
                                "' --report '" + pdf + "' >/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), exit_beyond);
    const std::string page = test::pdf_lines(pdf, 1, 1);
    EXPECT_NE(page.find("経時変化: snr_nopi (PIなし SNR map)、平均"), std::string::npos) << page;
    EXPECT_NE(page.find("許容範囲: 基準値の ±5 %"), std::string::npos) << page;

    // The text table's rows, "2  TIME  VALUE  CHANGE  beyond", each cell one space apart.
    std::istringstream table(run({"trend", "--item", "snr_nopi", "--tolerance", "5", "--db", db}).out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(table, line);) {
        if (line.rfind("1 ", 0) == 0 || line.rfind("2 ", 0) == 0) {
            line.erase(std::unique(line.begin(), line.end(), [](char a, char b) { return a == ' ' && b == ' '; }),
                       line.end());
            rows.push_back(line);
        }
    }
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[1].substr(rows[1].size() - 7), " beyond") << rows[1];
    EXPECT_NE(page.find(rows[0] + " □ 基準"), std::string::npos) << rows[0] << "\n" << page;
    EXPECT_NE(page.find(rows[1].substr(0, rows[1].size() - 7) + " ▲ 範囲外"), std::string::npos) << rows[1] << "\n"
                                                                                                 << page;
}

}  // namespace
}  // namespace snr::snrmap
