// The EEPROM state file. Any text as a file: reading never fails, skips at
// most one line per warning, and what was read, written out and read again is
// the same, with no warning the second time, as text and through a file; a
// file the load refuses is never changed by a save. Any two sets of changed
// words saved one after the other: the file then holds, word by word, the
// second's words, else the first's, and each chip the file lacked whole.
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
    const auto loaded = lumbra::loadEepromImages(savedPath(), warnings);
    if (!warnings.empty() || !loaded.writable)
        finding(what);
    return loaded.images;
}

void save(const lumbra::EepromChanges& changes)
{
    std::string error;
    if (lumbra::saveEepromWords(savedPath(), changes, error) != lumbra::Saved::Yes)
        finding("saving the words failed");
}

lumbra::EepromChanges fuzzedChanges(FuzzedDataProvider& in)
{
    lumbra::EepromChanges changes;
    const int chips = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < chips; ++i)
    {
        lumbra::ChangedWords change;
        change.mask = in.ConsumeIntegral<uint64_t>();
        for (auto& word : change.words)
            word = in.ConsumeIntegral<uint16_t>();
        changes[in.ConsumeIntegralInRange<int32_t>(1, 32)] = change;
    }
    return changes;
}

std::string fileText()
{
    FILE* file = std::fopen(savedPath().c_str(), "rb");
    std::string text;
    if (file == nullptr)
        return text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    std::fclose(file);
    return text;
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
        // The text as a file someone left: a save either refuses it untouched or it was
        // one the load took as the library's own.
        if (FILE* file = std::fopen(savedPath().c_str(), "wb"))
        {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
        std::vector<std::string> ignored;
        const bool own = lumbra::loadEepromImages(savedPath(), ignored).writable;
        std::string error;
        const auto saved = lumbra::saveEepromWords(savedPath(), {}, error);
        if (own != (saved == lumbra::Saved::Yes) || (!own && fileText() != text))
            finding("a save changed a file the load refused, or refused one the load took");
        unlink(savedPath().c_str());
        lumbra::EepromChanges whole;
        for (const auto& [chip, words] : images)
            whole[chip] = {~uint64_t{0}, words};
        save(whole);
        if (loadWithoutWarning("a file the library saved reads back with a warning") != images)
            finding("the images read from a text do not survive a save and a load");
        return 0;
    }
    const auto first = fuzzedChanges(in);
    const auto second = fuzzedChanges(in);
    save(first);
    save(second);
    EepromImages expected;
    for (const auto& [chip, change] : first)
        expected[chip] = change.words;
    for (const auto& [chip, change] : second)
    {
        if (!expected.count(chip))
        {
            expected[chip] = change.words;
            continue;
        }
        for (int word = 0; word < lumbra::Board::kEepromWords; ++word)
            if (change.mask >> word & 1)
                expected[chip][word] = change.words[word];
    }
    if (loadWithoutWarning("a file the library saved reads back with a warning") != expected)
        finding("a save lost or changed a word it did not change");
    return 0;
}
