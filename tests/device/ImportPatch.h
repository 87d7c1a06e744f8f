#pragma once
// Redirects one imported function of this executable to a replacement for
// the lifetime of the object, by rewriting the import address table entry.
// Calls that the linked-in system code makes through that import are then
// seen by the test.
#include <windows.h>

#include <cstring>

class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement) {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto* descriptor =
            reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
        for (; descriptor->Name; ++descriptor) {
            if (_stricmp(reinterpret_cast<char*>(base + descriptor->Name), dll) != 0)
                continue;
            auto* names =
                reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
            auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++addresses) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                auto* byName =
                    reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) != 0)
                    continue;
                slot_ = reinterpret_cast<void**>(&addresses->u1.Function);
                original_ = *slot_;
                Write(replacement);
                return;
            }
        }
    }
    ~ImportPatch() {
        if (slot_)
            Write(original_);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool active() const { return slot_ != nullptr; }
    void* original() const { return original_; }

private:
    void Write(void* value) {
        DWORD old = 0;
        VirtualProtect(slot_, sizeof(*slot_), PAGE_READWRITE, &old);
        *slot_ = value;
        VirtualProtect(slot_, sizeof(*slot_), old, &old);
    }

    void** slot_ = nullptr;
    void* original_ = nullptr;
};
