// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <span>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctagkey.h>

class DcmDataDictionary;

namespace snr {

// Adds the entries of DCMTK's standard data dictionary file, as it was when the programs were
// built, to `dictionary`: the same dictionary that loading the file gives, in a tenth of the time.
void add_standard_dictionary(DcmDataDictionary& dictionary);

// The number of entries added.
int standard_dictionary_size();

// Adds the standard's entries for the file meta group and for `keys`.
void add_standard_entries(DcmDataDictionary& dictionary, std::span<const DcmTagKey> keys);

// Whether `dictionary` holds the standard's entries, not only some.
bool has_standard_entries(const DcmDataDictionary& dictionary);

}  // namespace snr
