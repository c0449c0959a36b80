// SPDX-License-Identifier: BSD-3-Clause
// The node's receiving rate: phantom images stored over loopback in one association each
// round, into a spool on the disk of the temporary folder (each instance flushed and renamed).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sstream>
#include <thread>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>

#include "node/spool.h"
#include "node/storage_scp.h"
#include "tests/node/node_test_support.h"
#include "tests/support/temp_folder.h"
#include "tools/snrmap/snrmap_main.h"

namespace {

void ReceiveInstances(benchmark::State& state)
{
    ::setenv("TCP_NODELAY", "1", 0);  // as snrmap listen sets it
    snr::test::TempFolder tmp;
    std::ostringstream out, err;
    snr::snrmap::run_snrmap({"phantom", "--out", tmp.file("phantom"), "--repeats", "64"}, out, err, false);
    const std::vector<std::string> files = snr::test::files_under(tmp.file("phantom/nopi"));
    const int port = snr::test::free_loopback_port();
    snr::node::NodeLog log([](const std::string&) {});
    snr::node::Spool spool(tmp.file("spool"));
    snr::node::StorageScp scp(snr::node::ScpSettings{port, "SNRMAP", {}, 4}, spool, log);
    std::thread listening([&] { scp.run(); });
    snr::test::wait_for([&] { return snr::test::accepting(port); }, std::chrono::seconds(10));
    for (auto _ : state) {
        DcmSCU scu;
        scu.setPeerAETitle("SNRMAP");
        scu.setPeerHostName("127.0.0.1");
        scu.setPeerPort(static_cast<Uint16>(port));
        scu.addPresentationContext(UID_MRImageStorage, {UID_LittleEndianExplicitTransferSyntax});
        if (scu.initNetwork().bad() || scu.negotiateAssociation().bad()) {
            state.SkipWithError("no association");
            break;
        }
        for (const std::string& file : files) {
            Uint16 status = 0;
            scu.sendSTORERequest(scu.findAnyPresentationContextID(UID_MRImageStorage, ""), file.c_str(), nullptr, status);
        }
        scu.releaseAssociation();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(files.size()));
    scp.stop();
    listening.join();
}
BENCHMARK(ReceiveInstances)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

}  // namespace
