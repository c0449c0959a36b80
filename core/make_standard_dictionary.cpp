// SPDX-License-Identifier: BSD-3-Clause
// Build tool: writes the entries of the standard's data dictionary, as DCMTK's dictionary file
// gives them, as C++ initialisers. The programs build DCMTK's dictionary from them at start,
// several times faster than DCMTK parses the file. The texts are one array that the entries
// name by offset: a table of pointers would be relocated, page by page, at every start.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdicent.h>
#include <dcmtk/dcmdata/dcdict.h>

namespace {

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\\0\"";
}

class Texts {
public:
    // The offset of the text, -1 for none.
    long offset(const char* text)
    {
        if (text == nullptr)
            return -1;
        const auto [it, added] = offsets_.emplace(text, static_cast<long>(size_));
        if (added) {
            order_.push_back(text);
            size_ += order_.back().size() + 1;
        }
        return it->second;
    }
    const std::vector<std::string>& in_order() const { return order_; }

private:
    std::map<std::string, long> offsets_;
    std::vector<std::string> order_;
    std::size_t size_ = 0;
};

std::string entry_line(const DcmDictEntry& entry, Texts& texts)
{
    char line[160];
    std::snprintf(line, sizeof line, "{0x%04x, 0x%04x, 0x%04x, 0x%04x, %d, %d, %d, %d, %d, %ld, %ld, %ld},\n",
                  entry.getGroup(), entry.getElement(), entry.getUpperGroup(), entry.getUpperElement(),
                  static_cast<int>(entry.getEVR()), static_cast<int>(entry.getGroupRangeRestriction()),
                  static_cast<int>(entry.getElementRangeRestriction()), entry.getVMMin(), entry.getVMMax(),
                  texts.offset(entry.getTagName()), texts.offset(entry.getStandardVersion()),
                  texts.offset(entry.getPrivateCreator()));
    return line;
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
    // Repeating entries last and in their order: a narrower range stands before a wider one.
    Texts texts;
    std::string entries;
    for (auto it = dictionary.normalBegin(); it != dictionary.normalEnd(); ++it)
        entries += entry_line(**it, texts);
    for (auto it = dictionary.repeatingBegin(); it != dictionary.repeatingEnd(); ++it)
        entries += entry_line(**it, texts);

    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "// Made by make_standard_dictionary from %s.\n", path.c_str());
    std::fprintf(out, "constexpr char standard_texts[] =\n");
    for (const std::string& text : texts.in_order())
        std::fprintf(out, "    %s\n", quoted(text).c_str());
    std::fprintf(out, "    \"\";\n\nconstexpr Entry standard_entries[] = {\n%s};\n", entries.c_str());
    return std::fclose(out) == 0 ? 0 : 1;
}
