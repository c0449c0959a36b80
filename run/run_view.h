// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace snr {

// A run's refusal of a file: the message a window shows, and the file's path (as given) with
// the reason, the message's text after the file's name.
struct FileRefusal {
    std::string message;
    std::string path;
    std::string reason;
};

// What a run shows while it goes: the windows with their controls, snrmap on its terminal.
class RunView {
public:
    virtual ~RunView() = default;
    virtual void refuse(const std::string& message) = 0;  // plain message box
    // A refusal of a file; the windows show its message as any other.
    virtual void refuse_file(const FileRefusal& refusal) { refuse(refusal.message); }
    // The result list refilled with these items, none selected (and the progress bar shown).
    virtual void begin(const std::vector<std::string>& items) = 0;
    virtual void progress(int /*position*/) {}
    // Where the inputs of the run differ (input_notices), once the run has its inputs: after
    // begin, also when there are none.
    virtual void notices(const std::vector<std::string>& /*texts*/) {}
};

// How a run takes its no-PI and PI halves: in turn, as the windows show them, or the PI half
// on a second thread beside the no-PI half. Together gives the same planes, the same first
// failure (the no-PI half's before the PI half's) and the same progress positions in the same
// order, only at other moments; but a failed run leaves other planes behind than in turn, so
// only snrmap takes it.
enum class Halves { InTurn, Together };

// A run's own check of its files before the list changes: a refusal, or nothing.
using RunCheck = std::function<std::optional<FileRefusal>()>;

// R as a run reads the text of its edit.
double reduction_rate(const std::string& r_text);

// The check of R and the refill of the list that both runs make: nothing when R is the text
// "0" or `check` refuses (refused, nothing changed); otherwise R as read with the g-factor, 0
// without it. Only this exact text is refused; zero in any other form fails later, at the
// g-factor.
std::optional<double> begin_run(RunView& view, const std::vector<std::string>& items, const std::string& r_text,
                                bool gfactor, const RunCheck& check = {});

}  // namespace snr
