// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "widgets/dialogs.h"

namespace snr::test {

// Answers the dialogs from prepared names and records every box shown.
class FakeDialogs : public Dialogs {
public:
    std::optional<std::string> open_answer;
    std::optional<std::string> save_answer;
    std::vector<std::string> offered_names;
    std::vector<std::string> offered_filters;  // of each save dialog; "" for any file
    std::vector<std::string> messages;
    std::vector<std::string> errors;

    std::optional<std::string> open_file(const std::string& last_name) override
    {
        offered_names.push_back(last_name);
        return open_answer;
    }
    std::optional<std::string> save_file(const std::string& last_name, const SaveType* type = nullptr) override
    {
        offered_names.push_back(last_name);
        offered_filters.push_back(type != nullptr ? type->filter : "");
        return save_answer;
    }
    void message(const std::string& text) override { messages.push_back(text); }
    void error(const std::string& text) override { errors.push_back(text); }
};

}  // namespace snr::test
