// SPDX-License-Identifier: BSD-3-Clause
#include "node/outbox.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>

#include "core/dicom_image.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/path.h"

namespace snr::node {

namespace fs = std::filesystem;

namespace {

constexpr const char* batch_prefix = "batch-";

std::vector<std::string> batches_in(const std::string& root)
{
    std::vector<std::string> batches;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(root, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(batch_prefix))
            batches.push_back(entry.path().string());
    }
    std::sort(batches.begin(), batches.end());
    return batches;
}

}  // namespace

Destination parse_destination(const std::string& text)
{
    const auto at = text.find('@');
    const auto colon = text.rfind(':');
    Destination to;
    if (at == std::string::npos || colon == std::string::npos || colon < at)
        throw Error("wants AET@HOST:PORT, not '" + text + "'");
    to.aet = text.substr(0, at);
    to.host = text.substr(at + 1, colon - at - 1);
    const std::string port = text.substr(colon + 1);
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), to.port);
    if (to.aet.empty() || to.aet.size() > 16 || to.host.empty() || error != std::errc() ||
        end != port.data() + port.size() || to.port < 1 || to.port > 65535)
        throw Error("wants AET@HOST:PORT (an AE title of 1 to 16 characters, a port from 1 to 65535), not '" + text + "'");
    return to;
}

Outbox::Outbox(std::string root, Destination to, std::string our_aet, NodeLog& log, Clock::duration first_wait,
               Clock::duration longest_wait)
    : root_(std::move(root)), to_(std::move(to)), our_aet_(std::move(our_aet)), log_(log), first_wait_(first_wait),
      longest_wait_(longest_wait)
{
    prepare_dicom_writing();
    if (sys().mkdir(root_.c_str(), 0755) != 0 && errno != EEXIST)
        raise_io_error(errno, root_);
    // A batch never renamed into place was never promised to anyone.
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(root_, error)) {
        if (entry.path().filename().string().starts_with(".new-"))
            fs::remove_all(entry.path(), error);
    }
}

void Outbox::add(const std::vector<std::string>& files)
{
    if (files.empty())
        return;
    const auto stamp = std::chrono::system_clock::now().time_since_epoch().count();
    std::string name;
    {
        const std::lock_guard lock(mutex_);
        name = std::to_string(stamp) + "-" + std::to_string(added_++);
    }
    const std::string building = join_path(root_, ".new-" + name);
    const std::string batch = join_path(root_, batch_prefix + name);
    if (sys().mkdir(building.c_str(), 0755) != 0)
        raise_io_error(errno, building);
    int k = 0;
    for (const std::string& file : files) {
        std::error_code error;
        const std::string copy = join_path(building, std::to_string(k++) + ".dcm");
        fs::copy_file(file, copy, error);
        if (error)
            raise_io_error(error.value(), file);
        flush_to_disk(copy);
    }
    // Whole on disk before it is a batch: a batch is sent as it is found after a crash.
    flush_to_disk(building);
    if (sys().rename(building.c_str(), batch.c_str()) != 0)
        raise_io_error(errno, batch);
    flush_to_disk(root_);
    const std::lock_guard lock(mutex_);
    wake_.notify_all();
}

std::size_t Outbox::pending() const { return batches_in(root_).size(); }

void Outbox::run()
{
    std::unique_lock lock(mutex_);
    while (!stopped_) {
        lock.unlock();
        send_due();
        lock.lock();
        Clock::time_point next = Clock::now() + std::chrono::seconds(1);
        for (const auto& [batch, retry] : retries_)
            next = std::min(next, retry.due);
        wake_.wait_until(lock, next);
    }
}

void Outbox::stop()
{
    const std::lock_guard lock(mutex_);
    stopped_ = true;
    wake_.notify_all();
}

void Outbox::send_due()
{
    for (const std::string& batch : batches_in(root_)) {
        {
            const std::lock_guard lock(mutex_);
            if (stopped_)
                return;
            const auto retry = retries_.find(batch);
            if (retry != retries_.end() && retry->second.due > Clock::now())
                continue;
        }
        const bool sent = send(batch);
        const std::lock_guard lock(mutex_);
        if (sent) {
            retries_.erase(batch);
            std::error_code ignored;
            fs::remove_all(batch, ignored);
            continue;
        }
        auto [retry, first] = retries_.try_emplace(batch, Retry{Clock::now(), first_wait_});
        if (!first)
            retry->second.wait = std::min(retry->second.wait * 2, longest_wait_);
        retry->second.due = Clock::now() + retry->second.wait;
    }
}

bool Outbox::send(const std::string& batch)
{
    struct Item {
        std::string path, sop_class;
    };
    std::vector<Item> items;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(batch, error)) {
        DcmFileFormat file;
        OFString sop_class;
        if (file.loadFile(entry.path().c_str()).good() &&
            file.getMetaInfo()->findAndGetOFString(DCM_MediaStorageSOPClassUID, sop_class).good())
            items.push_back({entry.path().string(), sop_class.c_str()});
    }
    const std::string name = file_name_part(batch);
    DcmSCU scu;
    scu.setAETitle(our_aet_.c_str());
    scu.setPeerAETitle(to_.aet.c_str());
    scu.setPeerHostName(to_.host.c_str());
    scu.setPeerPort(static_cast<Uint16>(to_.port));
    scu.setConnectionTimeout(10);
    scu.setACSETimeout(30);
    scu.setDIMSETimeout(60);
    scu.setDIMSEBlockingMode(DIMSE_NONBLOCKING);
    const OFList<OFString> syntaxes = {UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax};
    std::vector<std::string> classes;
    for (const Item& item : items) {
        if (std::find(classes.begin(), classes.end(), item.sop_class) == classes.end()) {
            classes.push_back(item.sop_class);
            scu.addPresentationContext(item.sop_class.c_str(), syntaxes);
        }
    }
    OFCondition condition = scu.initNetwork();
    if (condition.good())
        condition = scu.negotiateAssociation();
    if (condition.bad()) {
        log_.line("results " + name + " not sent to " + to_.aet + ": " + condition.text() + "; tried again later");
        return false;
    }
    std::size_t stored = 0;
    for (const Item& item : items) {
        const T_ASC_PresentationContextID id = scu.findAnyPresentationContextID(item.sop_class.c_str(), "");
        Uint16 status = 0xFFFF;
        if (id != 0 && scu.sendSTORERequest(id, item.path.c_str(), nullptr, status).good() &&
            (status == 0 || (status & 0xF000) == 0xB000))
            ++stored;
    }
    scu.releaseAssociation();
    const bool all = stored == items.size();
    log_.line("results " + name + ": " + std::to_string(stored) + " of " + std::to_string(items.size()) +
              " stored by " + to_.aet + (all ? "" : "; tried again later"));
    return all;
}

}  // namespace snr::node
