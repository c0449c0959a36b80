// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace snr {

// A kind of file a save dialog asks for: the filter it offers, and the suffix (without its
// dot) that it adds to a name chosen without it.
struct SaveType {
    std::string filter;
    std::string suffix;
};

inline const SaveType pdf_file{"PDF ファイル (*.pdf)", "pdf"};

// Every dialog and message box a window shows; tests install a fake.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // File-open / file-save dialog offering `last_name`; nothing when cancelled. Without a
    // type, the save dialog takes any name.
    virtual std::optional<std::string> open_file(const std::string& last_name) = 0;
    virtual std::optional<std::string> save_file(const std::string& last_name, const SaveType* type = nullptr) = 0;
    virtual void message(const std::string& text) = 0;  // plain box, OK button
    virtual void error(const std::string& text) = 0;    // error icon, OK button
};

// The real dialogs, titled with the program name.
class QtDialogs : public Dialogs {
public:
    QtDialogs(QWidget* parent, std::string program_name);
    std::optional<std::string> open_file(const std::string& last_name) override;
    std::optional<std::string> save_file(const std::string& last_name, const SaveType* type = nullptr) override;
    void message(const std::string& text) override;
    void error(const std::string& text) override;

private:
    QWidget* parent_;
    std::string program_name_;
};

}  // namespace snr
