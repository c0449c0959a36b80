// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "core/errors.h"

namespace snr::snrmap {

// The application object Qt needs (database drivers, fonts) for the time of one call into a
// module: App is QCoreApplication or QGuiApplication, the latter on the offscreen platform (no
// display needed). One the program already has serves if it is of that kind. Ended with the
// call, so that Qt and the libraries under it clean up before the program ends (left to the
// end of the process, the fonts would be let go without their cleanup).
template <class App>
class ModuleApplication {
public:
    ModuleApplication()
    {
        if (QCoreApplication::instance() != nullptr) {
            if (qobject_cast<App*>(QCoreApplication::instance()) == nullptr)
                throw Error("cannot draw: the program's Qt application object is not a graphical one");
            return;
        }
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // read by a graphical application alone
        qInstallMessageHandler(qt_message);
        application_ = new App(argc_, argv_);
    }
    ~ModuleApplication() { delete application_; }
    ModuleApplication(const ModuleApplication&) = delete;
    ModuleApplication& operator=(const ModuleApplication&) = delete;

private:
    // Qt's notes about its own set-up (no XDG_RUNTIME_DIR, a font substituted) say nothing a
    // user of snrmap could act on; its errors do.
    static void qt_message(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "snrmap: Qt: %s\n", message.toLocal8Bit().constData());
    }

    // Qt keeps the arguments for the application's life.
    int argc_ = 1;
    char name_[7] = "snrmap";
    char* argv_[2] = {name_, nullptr};
    App* application_ = nullptr;
};

}  // namespace snr::snrmap
