// The EEPROM state file. Any bytes as a file: reading never fails, skips at
// most one line per warning, and what was read, saved and read again is the
// same, with no warning the second time. Any set of images: saved and read
// back, they are the same.
#include "state_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using lumbra::EepromImages;

namespace
{

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

// One folder of this process for the files a run writes.
const std::string& folder()
{
    static const std::string path = []
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lumbra-state-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            finding("cannot make a scratch folder");
        return pattern;
    }();
    return path;
}

EepromImages reload(const EepromImages& images, const std::string& path)
{
    if (!lumbra::saveEepromImages(path, images))
        finding("saving the images failed");
    std::vector<std::string> warnings;
    EepromImages again = lumbra::loadEepromImages(path, warnings);
    if (!warnings.empty())
        finding("a file the library saved reads back with a warning");
    return again;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string input = folder() + "/input";
    const std::string saved = folder() + "/saved";
    if (in.ConsumeBool())
    {
        const std::string bytes = in.ConsumeRemainingBytesAsString();
        std::ofstream(input, std::ios::binary | std::ios::trunc) << bytes;
        std::vector<std::string> warnings;
        const EepromImages images = lumbra::loadEepromImages(input, warnings);
        size_t lines = 1;
        for (char c : bytes)
            lines += c == '\n';
        if (warnings.size() > lines)
            finding("more warnings than lines");
        for (const auto& [chip, words] : images)
            if (chip < 1)
                finding("an image for a chip number below 1");
        if (reload(images, saved) != images)
            finding("the images read from a file do not survive a save and a read");
        return 0;
    }
    EepromImages images;
    const int chips = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < chips; ++i)
    {
        lumbra::Board::Eeprom words;
        for (auto& word : words)
            word = in.ConsumeIntegral<uint16_t>();
        images[in.ConsumeIntegralInRange<int32_t>(1, 32)] = words;
    }
    if (reload(images, saved) != images)
        finding("saved images do not read back equal");
    return 0;
}
