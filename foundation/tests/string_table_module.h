// A resource-only module carrying a chosen string table (and any other
// resources a test builds), for tests of the resource loaders: a copy of the
// running test program whose resources are replaced, loaded as a data file.
#pragma once

#include "tl_language.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// A resource of any type given by its bytes.
struct RawResource {
    WORD type;
    WORD id;
    std::vector<BYTE> data;
};

class StringTableModule {
public:
    // Each entry maps a string identifier to its text.
    explicit StringTableModule(const std::map<UINT, std::wstring>& strings,
                               const std::vector<RawResource>& others = {}) {
        WCHAR folder[MAX_PATH], self[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"vst", 0, path_);
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        if (!CopyFileW(self, path_, FALSE)) return;
        HANDLE update = BeginUpdateResourceW(path_, TRUE);
        if (!update) return;
        std::map<UINT, std::vector<WORD>> blocks;
        for (UINT block = 0; block < 4096; ++block) {
            bool used = false;
            for (UINT k = 0; k < 16; ++k) used = used || strings.count(block * 16 + k);
            if (!used) continue;
            std::vector<WORD>& data = blocks[block + 1];
            for (UINT k = 0; k < 16; ++k) {
                auto found = strings.find(block * 16 + k);
                std::wstring text = found == strings.end() ? std::wstring() : found->second;
                data.push_back(static_cast<WORD>(text.size()));
                data.insert(data.end(), text.begin(), text.end());
            }
        }
        for (auto& block : blocks)
            UpdateResourceW(update, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(block.first),
                            MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), block.second.data(),
                            static_cast<DWORD>(block.second.size() * sizeof(WORD)));
        for (const RawResource& other : others)
            UpdateResourceW(update, MAKEINTRESOURCEW(other.type), MAKEINTRESOURCEW(other.id),
                            MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), const_cast<BYTE*>(other.data.data()),
                            static_cast<DWORD>(other.data.size()));
        if (!EndUpdateResourceW(update, FALSE)) return;
        module_ = LoadLibraryExW(path_, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~StringTableModule() {
        if (module_) FreeLibrary(module_);
        DeleteFileW(path_);
    }
    StringTableModule(const StringTableModule&) = delete;
    StringTableModule& operator=(const StringTableModule&) = delete;

    HMODULE module() const { return module_; }

private:
    WCHAR path_[MAX_PATH] = {0};
    HMODULE module_ = nullptr;
};

// Installs a StringTableModule as the resource module for the whole test
// program, before any test asks for the language. Its string 1 must list two
// languages, English and Esperanto.
class ResourceModuleEnvironment : public ::testing::Environment {
public:
    explicit ResourceModuleEnvironment(const std::map<UINT, std::wstring>& strings,
                                       const std::vector<RawResource>& others = {})
        : strings_(strings), others_(others) {}
    void SetUp() override {
        table_ = new StringTableModule(strings_, others_);
        ASSERT_NE(nullptr, table_->module());
        SetResourceModule(table_->module());
        ASSERT_EQ(2u, GetLanguageCount());
    }
    void TearDown() override {
        SetResourceModule(nullptr);
        delete table_;
        table_ = nullptr;
    }

private:
    std::map<UINT, std::wstring> strings_;
    std::vector<RawResource> others_;
    StringTableModule* table_ = nullptr;
};
