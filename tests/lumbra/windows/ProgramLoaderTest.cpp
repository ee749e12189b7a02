// The program's own loader (app/devctl/Loader_win32.cpp): a bare name is the
// DLL beside the program, never one the working folder offers.
#include "devctl/Loader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

namespace
{

std::filesystem::path programFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::wstring(path, length)).parent_path();
}

std::filesystem::path moduleFile(void* module)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(module), path, MAX_PATH);
    return std::filesystem::path(std::wstring(path, length));
}

class WorkingFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        folder_ = std::filesystem::temp_directory_path() /
                  ("tavrin-loader-" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(folder_);
        SetCurrentDirectoryW(folder_.c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    wchar_t previous_[MAX_PATH] = {};
    std::filesystem::path folder_;
};

TEST_F(WorkingFolder, BareNameOpensTheLibraryBesideTheProgramAndFindsItsFunctionsByPlainName)
{
    std::string error;
    void* library = Module1::loader::open("lumbra", error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_TRUE(std::filesystem::equivalent(moduleFile(library), programFolder() / "lumbra.dll"));
    EXPECT_NE(Module1::loader::symbol(library, "PciOpenDevice"), nullptr);
    EXPECT_EQ(Module1::loader::symbol(library, "NoSuchFunction"), nullptr);
}

TEST_F(WorkingFolder, DllPlantedInTheWorkingFolderIsNotLoaded)
{
    // A name that exists only in the working folder: the system's own search
    // would take it, the program's loader must not.
    std::filesystem::copy_file(programFolder() / "lumbra.dll", folder_ / "planted.dll");
    HMODULE searched = LoadLibraryW(L"planted.dll");
    ASSERT_NE(searched, nullptr) << "the system's search does not look in the working folder here";
    FreeLibrary(searched);

    std::string error;
    EXPECT_EQ(Module1::loader::open("planted", error), nullptr);
    EXPECT_NE(error.find("planted.dll"), std::string::npos) << error;
}

}  // namespace
