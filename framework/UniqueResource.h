#pragma once
// Move-only owners of Win32 resources, one type per kind of handle. The
// invalid value is part of the type, and the resource is released on every
// way out of the scope that owns it.
#include <windows.h>

#include <utility>

template <typename Traits> class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value owned) : value(owned) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value get() const { return value; }
    bool valid() const { return value != Traits::invalid(); }
    explicit operator bool() const { return valid(); }

    // Gives up ownership without releasing.
    Value release() { return std::exchange(value, Traits::invalid()); }

    void reset(Value replacement = Traits::invalid()) {
        Value old = std::exchange(value, replacement);
        if (old != Traits::invalid())
            Traits::close(old);
    }

    // For APIs that write the handle through an out parameter.
    Value* put() {
        reset();
        return &value;
    }

private:
    Value value = Traits::invalid();
};

struct FileHandleTraits {
    using Value = HANDLE;
    static Value invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Value v) { ::CloseHandle(v); }
};

struct KernelHandleTraits {
    using Value = HANDLE;
    static Value invalid() { return nullptr; }
    static void close(Value v) { ::CloseHandle(v); }
};

struct FindHandleTraits {
    using Value = HANDLE;
    static Value invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Value v) { ::FindClose(v); }
};

struct LocalMemoryTraits {
    using Value = HLOCAL;
    static Value invalid() { return nullptr; }
    static void close(Value v) { ::LocalFree(v); }
};

struct RegKeyTraits {
    using Value = HKEY;
    static Value invalid() { return nullptr; }
    static void close(Value v) { ::RegCloseKey(v); }
};

struct ModuleTraits {
    using Value = HMODULE;
    static Value invalid() { return nullptr; }
    static void close(Value v) { ::FreeLibrary(v); }
};

struct MappedViewTraits {
    using Value = void*;
    static Value invalid() { return nullptr; }
    static void close(Value v) { ::UnmapViewOfFile(v); }
};

// CreateFileW results: INVALID_HANDLE_VALUE when invalid.
using UniqueFile = UniqueResource<FileHandleTraits>;
// Threads, events, processes: null when invalid.
using UniqueHandle = UniqueResource<KernelHandleTraits>;
// FindFirstFileW searches.
using UniqueFind = UniqueResource<FindHandleTraits>;
// Buffers that the system hands over for LocalFree.
using UniqueLocal = UniqueResource<LocalMemoryTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
// MapViewOfFile views.
using UniqueMappedView = UniqueResource<MappedViewTraits>;
