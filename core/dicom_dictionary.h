#pragma once

class DcmDataDictionary;

namespace snr {

// Adds the entries of DCMTK's standard data dictionary file, as it was when the programs were
// built, to `dictionary`: the same dictionary that loading the file gives, in a tenth of the time.
void add_standard_dictionary(DcmDataDictionary& dictionary);

// The number of entries added.
int standard_dictionary_size();

}  // namespace snr
