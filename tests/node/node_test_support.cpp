// SPDX-License-Identifier: BSD-3-Clause
#include "tests/node/node_test_support.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>

#include "tests/support/tool_output.h"

namespace snr::test {

int free_loopback_port()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no loopback port");
    ::close(fd);
    return ntohs(address.sin_port);
}

bool wait_for(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool accepting(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    // Not to itself: with nothing listening, a connection from the same port meets itself.
    sockaddr_in own{};
    socklen_t length = sizeof own;
    if (connected && ::getsockname(fd, reinterpret_cast<sockaddr*>(&own), &length) == 0 && own.sin_port == address.sin_port)
        connected = false;
    if (fd >= 0)
        ::close(fd);
    return connected;
}

bool connected_to(int port)
{
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char local[16];
    std::snprintf(local, sizeof local, ":%04X ", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string number, from, to, state;
        fields >> number >> from >> to >> state;
        if ((from + " ").ends_with(local) && state == "01")
            return true;
    }
    return false;
}

bool store_files(int port, const std::vector<std::string>& files)
{
    DcmSCU scu;
    scu.setPeerAETitle("SNRMAP");
    scu.setPeerHostName("127.0.0.1");
    scu.setPeerPort(static_cast<Uint16>(port));
    scu.addPresentationContext(UID_MRImageStorage, {UID_LittleEndianExplicitTransferSyntax});
    if (scu.initNetwork().bad() || scu.negotiateAssociation().bad())
        return false;
    bool stored = true;
    for (const std::string& file : files) {
        Uint16 status = 0;
        const OFCondition sent =
            scu.sendSTORERequest(scu.findAnyPresentationContextID(UID_MRImageStorage, ""), file.c_str(), nullptr, status);
        stored = stored && sent.good() && status == 0;
    }
    scu.releaseAssociation();
    return stored;
}

std::vector<std::string> files_under(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    }
    return files;
}

NodeProcess::NodeProcess(const std::vector<std::string>& options, const std::string& log, int port) : log_(log)
{
    std::vector<std::string> argv = {SNRMAP_EXECUTABLE, "listen"};
    argv.insert(argv.end(), options.begin(), options.end());
    pid_ = start_program(argv, log);
    if (!wait_for([&] { return this->log().find("listening on port") != std::string::npos && accepting(port); },
                  std::chrono::seconds(10)))
        throw std::runtime_error("the node did not start: " + this->log());
}

NodeProcess::~NodeProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

int NodeProcess::stop()
{
    ::kill(pid_, SIGTERM);
    int status = 0;
    const bool ended = wait_for([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, std::chrono::seconds(10));
    if (!ended)
        return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string NodeProcess::log() const
{
    std::ifstream file(log_);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace snr::test
