// SPDX-License-Identifier: BSD-3-Clause
#include "node/storage_scp.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <thread>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/scpcfg.h>
#include <dcmtk/dcmnet/scpthrd.h>

#include "core/dicom_file_bytes.h"
#include "core/dicom_image.h"
#include "core/dicom_syntax.h"
#include "core/errors.h"

namespace snr::node {

namespace {

constexpr Uint16 status_success = 0x0000;
constexpr Uint16 status_out_of_resources = 0xA700;
constexpr Uint16 status_cannot_understand = 0xC000;

std::string text_of(DcmDataset& data, const DcmTagKey& key)
{
    OFString value;
    data.findAndGetOFString(key, value);
    return value.c_str();
}

}  // namespace

std::vector<std::string> accepted_transfer_syntaxes()
{
    // The compressed ones first: a sender that proposes its file's own syntax beside the
    // uncompressed ones then sends the file as it is, without converting it.
    std::vector<std::string> uids;
    for (const SyntaxUse wanted : {SyntaxUse::Decoded, SyntaxUse::Inflated, SyntaxUse::Native}) {
        if (wanted == SyntaxUse::Native)
            uids.insert(uids.end(), {UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax});
        for (int k = 0; k < 64; ++k) {
            const std::string uid = DcmXfer(static_cast<E_TransferSyntax>(k)).getXferID();
            if (!uid.empty() && transfer_syntax(uid).use == wanted &&
                std::find(uids.begin(), uids.end(), uid) == uids.end())
                uids.push_back(uid);
        }
    }
    return uids;
}

struct Context {
    ScpSettings settings;
    Spool& spool;
    NodeLog& log;
};

// One association on its own thread.
class StorageWorker : public DcmThreadSCP {
public:
    explicit StorageWorker(Context& context) : context_(context) {}

protected:
    OFBool checkCalledAETitleAccepted(const OFString& called) override { return called == context_.settings.aet.c_str(); }

    OFBool checkCallingAETitleAccepted(const OFString& calling) override
    {
        const auto& allow = context_.settings.allow;
        const bool accepted = allow.empty() || std::find(allow.begin(), allow.end(), calling.c_str()) != allow.end();
        if (!accepted)
            context_.log.line("association from " + std::string(calling.c_str()) + " refused: calling AE title not allowed");
        return accepted;
    }

    void notifyAssociationAcknowledge() override
    {
        stored_ = refused_ = 0;
        peer_ = std::string(getPeerAETitle().c_str()) + " (" + getPeerIP().c_str() + ")";
    }

    void notifyAbortRequest() override { aborted_ = true; }

    void notifyAssociationTermination() override
    {
        if (peer_.empty())
            return;
        context_.log.line("association from " + peer_ + ": " + std::to_string(stored_) + " stored, " +
                          std::to_string(refused_) + " refused" + (aborted_ ? ", aborted" : ""));
        peer_.clear();
        aborted_ = false;
    }

    OFCondition handleIncomingCommand(T_DIMSE_Message* message, const DcmPresentationContextInfo& info) override
    {
        if (message->CommandField != DIMSE_C_STORE_RQ)
            return DcmThreadSCP::handleIncomingCommand(message, info);
        T_DIMSE_C_StoreRQ& request = message->msg.CStoreRQ;
        DcmDataset* received = nullptr;
        T_ASC_PresentationContextID id = info.presentationContextID;
        const OFCondition condition = receiveSTORERequest(request, id, received);
        // A cut transfer stores nothing: only a whole data set is written.
        if (condition.bad()) {
            delete received;
            aborted_ = true;
            return condition;
        }
        DcmFileFormat file(received, OFFalse);  // the data set taken over, not copied
        const Uint16 status = store(file, request, DcmXfer(info.acceptedTransferSyntax.c_str()).getXfer());
        (status == status_success ? stored_ : refused_) += 1;
        return sendSTOREResponse(id, request, status);
    }

private:
    Uint16 store(DcmFileFormat& file, const T_DIMSE_C_StoreRQ& request, E_TransferSyntax xfer)
    {
        DcmDataset& data = *file.getDataset();
        const InstanceKey key{text_of(data, DCM_StudyInstanceUID), text_of(data, DCM_SeriesInstanceUID),
                              text_of(data, DCM_SOPInstanceUID)};
        if (!spool_name(key.study) || !spool_name(key.series) || key.instance != request.AffectedSOPInstanceUID ||
            !spool_name(key.instance))
            return status_cannot_understand;
        // This request's outermost handler: the status is the answer.
        try {
            context_.spool.store(key, dicom_file_bytes(file, xfer));
            return status_success;
        } catch (const Error& error) {
            context_.log.line("instance of study " + key.study + " not stored: " + error.what());
            return status_out_of_resources;
        }
    }

    Context& context_;
    std::string peer_;
    int stored_ = 0, refused_ = 0;
    bool aborted_ = false;
};

// The listening loop, as DCMTK's storescp has it: DCMTK's own pool corrupts the heap when a
// connection closes before its association request (a port probe).
struct StorageScp::Pool {
    explicit Pool(Context context) : context(std::move(context)) {}

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void reap(bool all)
    {
        for (auto worker = workers.begin(); worker != workers.end();) {
            if (all || *worker->done) {
                worker->thread.join();
                worker = workers.erase(worker);
            } else {
                ++worker;
            }
        }
    }

    void serve(T_ASC_Association* association)
    {
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers.push_back({std::thread([this, association, done] {
                               StorageWorker worker(context);
                               worker.setSharedConfig(DcmSharedSCPConfig(config));
                               worker.run(association);
                               *done = true;
                           }),
                           done});
    }

    Context context;
    DcmSCPConfig config;
    std::atomic<bool> stopped = false;
    std::list<Worker> workers;
};

StorageScp::StorageScp(ScpSettings settings, Spool& spool, NodeLog& log)
{
    prepare_dicom_writing();
    // One line of ours per association says what happened; the toolkit would add its own.
    OFLog::getLogger("dcmtk.dcmnet").setLogLevel(OFLogger::FATAL_LOG_LEVEL);
    pool_ = std::make_unique<Pool>(Context{std::move(settings), spool, log});
    const ScpSettings& chosen = pool_->context.settings;
    DcmSCPConfig& config = pool_->config;
    config.setPort(static_cast<Uint16>(chosen.port));
    config.setAETitle(chosen.aet.c_str());
    config.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    config.setDIMSETimeout(60);
    config.setACSETimeout(30);
    config.setHostLookupEnabled(OFFalse);
    OFList<OFString> native = {UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax};
    config.addPresentationContext(UID_VerificationSOPClass, native, ASC_SC_ROLE_DEFAULT);
    OFList<OFString> syntaxes;
    for (const std::string& uid : accepted_transfer_syntaxes())
        syntaxes.push_back(uid.c_str());
    for (const char* sop : {UID_MRImageStorage, UID_EnhancedMRImageStorage})
        config.addPresentationContext(sop, syntaxes, ASC_SC_ROLE_DEFAULT);
}

StorageScp::~StorageScp() = default;

void StorageScp::run()
{
    const int port = pool_->context.settings.port;
    T_ASC_Network* network = nullptr;
    const OFCondition opened = ASC_initializeNetwork(NET_ACCEPTOR, port, 30, &network);
    if (opened.bad())
        throw Error("port " + std::to_string(port) + " cannot be listened on: " + opened.text());
    while (!pool_->stopped) {
        T_ASC_Association* association = nullptr;
        const OFCondition received = ASC_receiveAssociation(network, &association, ASC_DEFAULTMAXPDU, nullptr,
                                                            nullptr, OFFalse, DUL_NOBLOCK, 1);  // a stop seen within 1 s
        pool_->reap(false);
        const auto full = [&] {
            return pool_->workers.size() >= static_cast<std::size_t>(pool_->context.settings.associations);
        };
        // The thread of an association its peer has released may still be ending: a new one is
        // refused as one too many only once none has ended within a second.
        for (int wait = 0; received.good() && full() && wait < 50; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            pool_->reap(false);
        }
        if (received.bad() || full()) {
            if (received.good()) {
                T_ASC_RejectParameters busy{ASC_RESULT_REJECTEDTRANSIENT, ASC_SOURCE_SERVICEPROVIDER_PRESENTATION_RELATED,
                                            ASC_REASON_SP_PRES_LOCALLIMITEXCEEDED};
                ASC_rejectAssociation(association, &busy);
            }
            if (received != DUL_NOASSOCIATIONREQUEST)
                ASC_dropSCPAssociation(association);
            ASC_destroyAssociation(&association);
            continue;
        }
        pool_->serve(association);
    }
    pool_->reap(true);
    ASC_dropNetwork(&network);
}

void StorageScp::stop() { pool_->stopped = true; }

}  // namespace snr::node
