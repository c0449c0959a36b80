// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/statement_cancel.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <libpq-fe.h>
#include <optional>
#include <string>

namespace snr::snrmap {

namespace {

constexpr int handled[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction earlier[std::size(handled)];
volatile std::sig_atomic_t noted = 0;
std::atomic<PGcancel*> request{nullptr};

// libpq's functions, from the library Qt's driver loaded: linked, libpq would load with
// Kerberos and LDAP at every start of the module, some 4 ms, also for SQLite.
struct Libpq {
    decltype(&PQgetCancel) get_cancel;
    decltype(&PQcancel) cancel;
    decltype(&PQfreeCancel) free_cancel;
    decltype(&PQsetNoticeProcessor) set_notice_processor;
};

const Libpq* loaded_libpq()
{
    static const std::optional<Libpq> libpq = []() -> std::optional<Libpq> {
        void* library = ::dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
        if (library == nullptr)
            return std::nullopt;
        const Libpq found{reinterpret_cast<decltype(&PQgetCancel)>(::dlsym(library, "PQgetCancel")),
                          reinterpret_cast<decltype(&PQcancel)>(::dlsym(library, "PQcancel")),
                          reinterpret_cast<decltype(&PQfreeCancel)>(::dlsym(library, "PQfreeCancel")),
                          reinterpret_cast<decltype(&PQsetNoticeProcessor)>(::dlsym(library, "PQsetNoticeProcessor"))};
        if (!found.get_cancel || !found.cancel || !found.free_cancel || !found.set_notice_processor)
            return std::nullopt;
        return found;
    }();
    return libpq ? &*libpq : nullptr;
}

// PQcancel may be called from a handler with its buffer on the handler's stack.
extern "C" void cancel_statement(int signal)
{
    const int saved = errno;
    noted = signal;
    if (PGcancel* cancel = request.load()) {
        char reason[256];
        loaded_libpq()->cancel(cancel, reason, sizeof reason);  // found before the request was set
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
        loaded_libpq()->free_cancel(cancel);
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
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    const Libpq* libpq = loaded_libpq();
    if (connection != nullptr && libpq != nullptr) {
        request.store(libpq->get_cancel(connection));
        libpq->set_notice_processor(connection, server_notice, nullptr);
    }
}

int StatementCancel::signal() const { return noted; }

}  // namespace snr::snrmap
