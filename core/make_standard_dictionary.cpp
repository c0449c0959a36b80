// Build tool: writes the entries of the standard's data dictionary, as DCMTK's dictionary file
// gives them, as C++ initialisers. The programs build DCMTK's dictionary from them at start,
// several times faster than DCMTK parses the file.
#include <cstdio>
#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdicent.h>
#include <dcmtk/dcmdata/dcdict.h>

namespace {

std::string quoted(const char* text)
{
    if (text == nullptr)
        return "nullptr";
    std::string out = "\"";
    for (; *text != '\0'; ++text) {
        if (*text == '"' || *text == '\\')
            out += '\\';
        out += *text;
    }
    return out + "\"";
}

void write_entry(std::FILE* out, const DcmDictEntry& entry)
{
    std::fprintf(out, "{0x%04x, 0x%04x, 0x%04x, 0x%04x, %d, %d, %d, %d, %d, %s, %s, %s},\n", entry.getGroup(),
                 entry.getElement(), entry.getUpperGroup(), entry.getUpperElement(), static_cast<int>(entry.getEVR()),
                 static_cast<int>(entry.getGroupRangeRestriction()),
                 static_cast<int>(entry.getElementRangeRestriction()), entry.getVMMin(), entry.getVMMax(),
                 quoted(entry.getTagName()).c_str(), quoted(entry.getStandardVersion()).c_str(),
                 quoted(entry.getPrivateCreator()).c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_standard_dictionary OUTPUT\n");
        return 2;
    }
    // The first of DCMTK's default dictionaries is the standard's own.
    const std::string defaults = DCM_DICT_DEFAULT_PATH;
    const std::string path = defaults.substr(0, defaults.find(ENVIRONMENT_PATH_SEPARATOR));
    DcmDataDictionary dictionary(OFFalse, OFFalse);
    if (!dictionary.loadDictionary(path.c_str())) {
        std::fprintf(stderr, "make_standard_dictionary: cannot load %s\n", path.c_str());
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "// Made by make_standard_dictionary from %s.\n", path.c_str());
    // Repeating entries last and in their order: a narrower range stands before a wider one.
    for (auto it = dictionary.normalBegin(); it != dictionary.normalEnd(); ++it)
        write_entry(out, **it);
    for (auto it = dictionary.repeatingBegin(); it != dictionary.repeatingEnd(); ++it)
        write_entry(out, **it);
    return std::fclose(out) == 0 ? 0 : 1;
}
