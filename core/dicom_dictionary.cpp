// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_dictionary.h"

#include <cstdint>
#include <iterator>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdicent.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcdict.h>

namespace snr {

namespace {

struct Entry {
    std::uint16_t group, element, upper_group, upper_element;
    int vr, group_restriction, element_restriction, vm_min, vm_max;
    long name, version, private_creator;  // offsets into standard_texts; -1 for none
};

#include "standard_dictionary.inc"

// The texts are the table's own and live as long as the program.
const char* text_at(long offset) { return offset < 0 ? nullptr : standard_texts + offset; }

bool among(const Entry& entry, std::span<const DcmTagKey> keys)
{
    if (entry.group == 0x0002)
        return true;  // the file meta group
    for (const DcmTagKey& key : keys) {
        if (entry.group == key.getGroup() && entry.element == key.getElement() && entry.upper_group == entry.group &&
            entry.upper_element == entry.element)
            return true;
    }
    return false;
}

DcmDictEntry* new_entry(const Entry& entry)
{
    auto* added = new DcmDictEntry(entry.group, entry.element, entry.upper_group, entry.upper_element,
                                   DcmVR(static_cast<DcmEVR>(entry.vr)), text_at(entry.name), entry.vm_min,
                                   entry.vm_max, text_at(entry.version), OFFalse, text_at(entry.private_creator));
    added->setGroupRangeRestriction(static_cast<DcmDictRangeRestriction>(entry.group_restriction));
    added->setElementRangeRestriction(static_cast<DcmDictRangeRestriction>(entry.element_restriction));
    return added;
}

}  // namespace

void add_standard_dictionary(DcmDataDictionary& dictionary)
{
    for (const Entry& entry : standard_entries)
        dictionary.addEntry(new_entry(entry));
}

int standard_dictionary_size() { return static_cast<int>(std::size(standard_entries)); }

void add_standard_entries(DcmDataDictionary& dictionary, std::span<const DcmTagKey> keys)
{
    for (const Entry& entry : standard_entries) {
        if (among(entry, keys))
            dictionary.addEntry(new_entry(entry));
    }
}

bool has_standard_entries(const DcmDataDictionary& dictionary)
{
    // Rows of the table for the same key replace each other: a dictionary holds fewer entries
    // than the table has rows. Counted short, the whole dictionary was added again at every
    // call, deleting entries that other threads were using.
    static const int distinct = [] {
        DcmDataDictionary whole(OFFalse, OFFalse);
        add_standard_dictionary(whole);
        return whole.numberOfEntries();
    }();
    return dictionary.numberOfEntries() >= distinct;
}

}  // namespace snr
