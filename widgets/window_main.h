// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QApplication>
#include <QTimer>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/large_memory.h"
#include "widgets/form_widgets.h"
#include "window_model/window_command_line.h"

namespace snr {

// The main of a window program. "--help" and "--version" answer before the toolkit starts, so
// they need no display; the toolkit then takes its own options (-platform, -style, …), and the
// paths left are handed to the window's `open` once the window shows, as if chosen there.
template <class Form, class State>
int run_window(int argc, char* argv[], const WindowProgram& program,
               void (Form::*open)(const std::vector<std::string>&))
{
    auto read = [&] { return read_window_arguments(program, std::vector<std::string>(argv + 1, argv + argc)); };
    using Action = WindowArguments::Action;
    if (const auto early = read(); early.action == Action::Help || early.action == Action::Version) {
        std::cout << early.output;
        return 0;
    }

    QApplication application(argc, argv);
    const auto arguments = read();
    std::cerr << arguments.errors;
    if (arguments.action != Action::Open)
        return 2;
    // The desktop entry is named by the window's AppStream id (packaging/CMakeLists.txt).
    QGuiApplication::setDesktopFileName(QString::fromStdString("org.snr_maps." + program.name));
    form::install_font_substitution();
    form::install_japanese_qt_texts();
    // Process-wide state, alive for the whole run; its planes in huge pages, which come zeroed
    // far quicker than some thousand small ones.
    static auto state = make_large<State>();
    Form window(*state);
    window.show();
    QTimer::singleShot(0, &window, [&] { (window.*open)(arguments.paths); });
    return application.exec();
}

}  // namespace snr
