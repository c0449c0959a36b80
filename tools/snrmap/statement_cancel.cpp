// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/statement_cancel.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <libpq-fe.h>
#include <string>

namespace snr::snrmap {

namespace {

constexpr int handled[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction earlier[std::size(handled)];
volatile std::sig_atomic_t noted = 0;
std::atomic<PGcancel*> request{nullptr};

// PQcancel may be called from a handler with its buffer on the handler's stack.
extern "C" void cancel_statement(int signal)
{
    const int saved = errno;
    noted = signal;
    if (PGcancel* cancel = request.load()) {
        char reason[256];
        PQcancel(cancel, reason, sizeof reason);
    }
    errno = saved;
}

// The server's notices ("WARNING:  terminating connection ...") on one line of ours.
extern "C" void server_notice(void*, const char* message)
{
    std::string line = "snrmap: PostgreSQL: ";
    for (const char* c = message; *c != '\0'; ++c) {
        const bool space = static_cast<unsigned char>(*c) <= ' ' || *c == 0x7F;
        if (!space)
            line += *c;
        else if (line.back() != ' ')
            line += ' ';
    }
    if (line.back() == ' ')
        line.pop_back();
    std::fprintf(stderr, "%s\n", line.c_str());
}

void forget_request()
{
    sigset_t all, before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &before);
    PGcancel* cancel = request.exchange(nullptr);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (cancel != nullptr)
        PQfreeCancel(cancel);
}

}  // namespace

StatementCancel::StatementCancel()
{
    noted = 0;
    struct sigaction action {};
    action.sa_handler = cancel_statement;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t k = 0; k < std::size(handled); ++k)
        ::sigaction(handled[k], &action, &earlier[k]);
}

StatementCancel::~StatementCancel()
{
    for (std::size_t k = 0; k < std::size(handled); ++k)
        ::sigaction(handled[k], &earlier[k], nullptr);
    forget_request();
}

void StatementCancel::watch(const QVariant& handle)
{
    forget_request();
    const char* type = handle.typeName();  // Qt names PGconn by its struct
    if (type == nullptr || (std::strcmp(type, "pg_conn*") != 0 && std::strcmp(type, "PGconn*") != 0))
        return;
    if (PGconn* connection = *static_cast<PGconn* const*>(handle.constData())) {
        request.store(PQgetCancel(connection));
        PQsetNoticeProcessor(connection, server_notice, nullptr);
    }
}

int StatementCancel::signal() const { return noted; }

}  // namespace snr::snrmap
