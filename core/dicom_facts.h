// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcspchrs.h>

#include "core/dicom_image.h"

namespace snr {

// An element of an item whose value was loaded: one that was not is far too long for any
// attribute the reader looks at, and asking for it would load the whole of it.
DcmElement* loaded_element(DcmItem& item, const DcmTagKey& key);

// The whole text of an element (values joined by backslashes); empty when absent.
std::string text_of(DcmItem& item, const DcmTagKey& key);
std::optional<unsigned> unsigned_short(DcmItem& item, const DcmTagKey& key);

// The facts of the frames of an image. An enhanced image keeps some of them in functional
// groups: a frame's own (Per-frame Functional Groups Sequence) come before the shared ones,
// and those before the attributes of the data set itself.
class FrameFacts {
public:
    explicit FrameFacts(DcmItem& data);

    // Whether the file has functional groups for each of its `frames` frames, or none at all.
    bool groups_fit(int frames) const;
    int per_frame_items() const { return per_frame_count_; }

    // The attributes of `frame` (as written, each text whole) into `attributes`, whose transfer
    // syntax stays.
    void fill(int frame, DicomAttributes& attributes) const;
    // The same for frame 0; an image of one frame without per-frame groups gives its texts away
    // (no other frame will ask for them).
    void fill_first(DicomAttributes& attributes);

private:
    // The file's texts are kept in UTF-8: those of the VRs a character set applies to are
    // converted from the file's Specific Character Set.
    void select_character_set(const std::string& named);
    std::string text(DcmElement& element) const;
    // The functional groups that apply to a frame, nearest first: its own item, the shared one
    // (either may be null).
    using Groups = std::array<DcmItem*, 2>;
    Groups groups_of(int frame) const;
    void apply_groups(int frame, DicomAttributes& attributes) const;
    void take_transformation(const Groups& groups, DicomAttributes& attributes) const;
    // An element of the first item of the nearest functional group that holds it; empty when
    // none does.
    std::string group_text(const Groups& groups, const DcmTagKey& group, const DcmTagKey& key) const;

    std::shared_ptr<DcmSpecificCharacterSet> charset_;  // none: the texts are ASCII or UTF-8
    bool japanese_ = false;                             // converted by japanese_to_utf8
    DicomAttributes top_;  // of the data set, outside the functional groups
    std::string acquisition_datetime_;
    DcmItem* shared_ = nullptr;
    DcmSequenceOfItems* per_frame_ = nullptr;
    int per_frame_count_ = 0;
    bool several_frames_ = false;  // Number of Frames is written and not 1
};

// The elements the facts come from, for the reader's dictionary.
std::vector<DcmTagKey> fact_elements();

}  // namespace snr
