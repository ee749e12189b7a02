// The EEPROM state file. Any text as a file: reading never fails, skips at
// most one line per warning, and what was read, written out and read again is
// the same, with no warning the second time, as text and through a file. Any
// two sets of images saved one after the other: the file then holds the
// second set and every chip of the first that the second does not replace.
#include "state_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
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

// One folder of this process for the file a run writes.
const std::string& savedPath()
{
    static const std::string path = []
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lumbra-state-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            finding("cannot make a scratch folder");
        return pattern + "/state";
    }();
    return path;
}

EepromImages loadWithoutWarning(const char* what)
{
    std::vector<std::string> warnings;
    EepromImages images = lumbra::loadEepromImages(savedPath(), warnings);
    if (!warnings.empty())
        finding(what);
    return images;
}

EepromImages fuzzedImages(FuzzedDataProvider& in)
{
    EepromImages images;
    const int chips = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < chips; ++i)
    {
        lumbra::Board::Eeprom words;
        for (auto& word : words)
            word = in.ConsumeIntegral<uint16_t>();
        images[in.ConsumeIntegralInRange<int32_t>(1, 32)] = words;
    }
    return images;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    unlink(savedPath().c_str());
    if (in.ConsumeBool())
    {
        const std::string text = in.ConsumeRemainingBytesAsString();
        std::vector<std::string> warnings;
        const EepromImages images = lumbra::parseEepromImages(text, "fuzz", warnings);
        size_t lines = 1;
        for (char c : text)
            lines += c == '\n';
        if (warnings.size() > lines)
            finding("more warnings than lines");
        for (const auto& [chip, words] : images)
            if (chip < 1)
                finding("an image for a chip number below 1");
        std::vector<std::string> again;
        if (lumbra::parseEepromImages(lumbra::formatEepromImages(images), "fuzz", again) != images ||
            !again.empty())
            finding("the images read from a text do not survive writing them out and reading them again");
        if (!lumbra::saveEepromImages(savedPath(), images))
            finding("saving the images failed");
        if (loadWithoutWarning("a file the library saved reads back with a warning") != images)
            finding("the images read from a text do not survive a save and a load");
        return 0;
    }
    const EepromImages first = fuzzedImages(in);
    const EepromImages second = fuzzedImages(in);
    if (!lumbra::saveEepromImages(savedPath(), first) || !lumbra::saveEepromImages(savedPath(), second))
        finding("saving the images failed");
    EepromImages both = second;
    both.insert(first.begin(), first.end());
    if (loadWithoutWarning("a file the library saved reads back with a warning") != both)
        finding("a save lost or changed a chip it did not replace");
    return 0;
}
